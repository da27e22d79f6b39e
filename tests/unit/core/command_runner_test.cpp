#include "core/platform/command_runner.h"

#include <gtest/gtest.h>

namespace vell {
namespace {

TEST(ProcessRunner, ReturnsExitStatusOrMinusOne) {
  ProcessRunner runner;
  EXPECT_EQ(runner.Run({"sh", "-c", "echo hidden; exit 3"}), 3);
  EXPECT_EQ(runner.Run({"sh", "-c", "kill -9 $$"}), -1);
  EXPECT_EQ(runner.Run({"/nonexistent/program"}), -1);
  EXPECT_EQ(runner.Run({}), -1);
}

}  // namespace
}  // namespace vell
