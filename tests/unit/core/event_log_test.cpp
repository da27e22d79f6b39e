#include "core/event_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "test_support.h"

namespace vell {
namespace {

using test::TestContext;

class EventLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    t.ctx.log.KeepLog = true;
    t.ctx.log.window = &window;
    t.ctx.state.WindowOpen[kLogWindow] = true;
  }
  TestContext t;
  std::vector<std::string> shown;
  LogWindow window{[this](const std::string& line) { shown.push_back(line); }};
};

TEST_F(EventLogTest, LevelsAreFilteredBySettingsAndNothingIsKeptWhileTheLogWindowIsClosed) {
  Settings& s = t.ctx.settings;
  s.LOGDETAIL = false;
  for (int level = 0; level < 4; ++level) t.ctx.log.AddLine(level, "detail off " + std::to_string(level));
  s.LOGDETAIL = true;
  s.LOGINONLY = true;
  for (int level = 0; level < 4; ++level) t.ctx.log.AddLine(level, "in only " + std::to_string(level));
  s.LOGINONLY = false;
  for (int level = 0; level < 4; ++level) t.ctx.log.AddLine(level, "all " + std::to_string(level));
  t.ctx.log.KeepLog = false;
  t.ctx.state.WindowOpen[kLogWindow] = false;
  t.ctx.log.AddLine(0, "unseen");

  const std::vector<std::string> expected = {
      "10:00:00   detail off 0", "10:00:00   detail off 2", "10:00:00   in only 0", "10:00:00   in only 1",
      "10:00:00   all 0",        "10:00:00   all 1",        "10:00:00   all 2",     "10:00:00   all 3"};
  EXPECT_EQ(std::vector<std::string>(t.ctx.log.LogBuffer.begin(), t.ctx.log.LogBuffer.end()), expected);
  EXPECT_EQ(shown, expected);
}

TEST_F(EventLogTest, BufferAndWindowKeepTheLatest150Lines) {
  for (int i = 1; i <= 151; ++i) t.ctx.log.AddLine(0, "line " + std::to_string(i));
  ASSERT_EQ(t.ctx.log.LogBuffer.size(), 150u);
  EXPECT_EQ(t.ctx.log.LogBuffer.front(), "10:00:00   line 2");
  EXPECT_EQ(t.ctx.log.LogBuffer.back(), "10:00:00   line 151");
  ASSERT_EQ(window.ListDNS().size(), 150u);
  EXPECT_EQ(window.ListDNS().front(), "10:00:00   line 2");
}

// A line that cannot be written is dropped (the buffer still has it) and the
// file is tried again; the file changes at the first line of a new day, and
// a deleted log directory is made again then, not before.
TEST_F(EventLogTest, DailyFileIsRetriedSwitchedAtMidnightAndItsDirectoryMadeAgain) {
  t.ctx.settings.WRITELOG = true;
  std::filesystem::create_directories(t.dir.File("logs/20261205.log"));  // a directory in the way
  t.ctx.log.AddLine(0, "lost");
  EXPECT_EQ(t.ctx.log.LogDate, "");
  std::filesystem::remove(t.dir.File("logs/20261205.log"));
  t.ctx.log.AddLine(0, "kept");
  EXPECT_EQ(t.ctx.log.LogBuffer.size(), 2u);
  t.clock.Set(FromCalendar({2026, 12, 5, 23, 59, 59}));
  t.ctx.log.AddLine(0, "late");
  t.clock.AdvanceSeconds(2);
  t.ctx.log.AddLine(0, "early");
  EXPECT_EQ(t.dir.Read("logs/20261205.log"), "10:00:00   kept\r\n23:59:59   late\r\n");
  EXPECT_EQ(t.dir.Read("logs/20261206.log"), "00:00:01   early\r\n");
  EXPECT_EQ(t.ctx.log.LogDate, "20261206");

  std::filesystem::remove_all(t.dir.File("logs"));
  t.ctx.log.AddLine(0, "two");  // still the open, unlinked file
  EXPECT_FALSE(std::filesystem::exists(t.dir.File("logs")));
  t.clock.AdvanceSeconds(86400);
  t.ctx.log.AddLine(0, "three");
  EXPECT_EQ(t.dir.Read("logs/20261207.log"), "00:00:01   three\r\n");
}

}  // namespace
}  // namespace vell
