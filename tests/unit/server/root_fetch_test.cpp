#include "server/root_fetch.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace vell {
namespace {

TEST(RootFetch, RunsOneAtATimeAndLoadsOnlyWhatEndedWell) {
  test::TestContext t;
  t.ctx.log.KeepLog = true;
  FakeRunner runner;
  int loads = 0;
  RootFetch fetch(t.ctx.env, runner, "fetch", [&] { ++loads; });
  for (const int status : {0, 1, -1}) {
    fetch.Start();
    fetch.Start();
    runner.started.back()(status);
  }
  const std::vector<std::string> command{"/bin/sh", "-c", "cd \"$1\" && fetch", "sh", t.ctx.home};
  EXPECT_EQ(runner.commands, std::vector(3, command));
  EXPECT_EQ(loads, 1);
  const std::string busy = "Root hints fetch already running.", failed = "Root hints fetch failed.";
  EXPECT_EQ(test::LogTexts(t.ctx), (std::vector{busy, busy, failed, busy, failed}));
}

}  // namespace
}  // namespace vell
