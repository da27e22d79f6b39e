#include "core/platform/command_runner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "loop_runner.h"
#include "temp_dir.h"

namespace vell {
namespace {

TEST(ProcessRunner, ReturnsExitStatusOrMinusOne) {
  EventLoop loop;
  ProcessRunner runner(loop);
  EXPECT_EQ(runner.Run({"sh", "-c", "echo hidden; exit 3"}), 3);
  EXPECT_EQ(runner.Run({"sh", "-c", "kill -9 $$"}), -1);
  EXPECT_EQ(runner.Run({"/nonexistent/program"}), -1);
  EXPECT_EQ(runner.Run({}), -1);
}

// Neither running nor waiting: gone, or a zombie not reaped yet.
bool Alive(const std::string& pidfile) {
  std::string pid, skip, state;
  std::ifstream(pidfile) >> pid;
  std::ifstream stat("/proc/" + pid + "/stat");
  return stat >> skip >> skip >> state && state != "Z";
}

TEST(ProcessRunner, StartedCommandsEndOnTheLoopAndNoneOutlivesItsLimitOrTheRunner) {
  testing::TempDir dir;
  EventLoop loop;
  std::vector<int> ended;
  {
    ProcessRunner runner(loop);
    const auto done = [&](int status) { ended.push_back(status); };
    runner.Start({"/nonexistent/program"}, 5000, done);
    runner.Start({"sh", "-c", "sleep 0.2; exit 3"}, 5000, done);
    // Past its limit: the shell and the sleep it started are killed.
    runner.Start({"sh", "-c", "sleep 30 & echo $! > \"$1\"; wait", "sh", dir.File("a")}, 400, done);
    runner.Start({"sh", "-c", "echo $$ > \"$1\"; exec sleep 30", "sh", dir.File("b")}, 60000, done);
    EXPECT_EQ(ended, std::vector{-1});
    EXPECT_TRUE(test::RunUntil(loop, [&] { return ended.size() == 3; }));
    EXPECT_EQ(ended, (std::vector{-1, 3, -1}));
    // The sleep dies when it is next scheduled, maybe after the shell.
    EXPECT_TRUE(test::RunUntil(loop, [&] { return !Alive(dir.File("a")); }));
    EXPECT_TRUE(Alive(dir.File("b")));
  }
  EXPECT_FALSE(Alive(dir.File("b")));
  EXPECT_EQ(ended.size(), 3U);
}

}  // namespace
}  // namespace vell
