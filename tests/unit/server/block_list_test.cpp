// The flood guard on the fake clock, blocks.dat parsing, and the dialog's list rules.
#include "server/block_list.h"

#include <gtest/gtest.h>

#include "server/block_dialog.h"
#include "test_support.h"

namespace vell {
namespace {

// One datagram per letter of `from` ('a', 'b': two addresses, 'n': a no-block
// one; 'A': 'a' a second late), `step` seconds apart; the 1-based numbers dropped.
std::vector<int> Send(test::TestContext& t, const std::string& from, double step) {
  std::vector<int> dropped;
  for (size_t i = 0; i < from.size(); ++i) {
    if (i > 0) t.clock.AdvanceSeconds(step + (from[i] == 'A' ? 1 : 0));
    const char* ip = from[i] == 'b' ? "10.0.0.2" : from[i] == 'n' ? "10.0.0.5" : "10.0.0.1";
    if (!t.ctx.blocks.FloodCheck(ip)) dropped.push_back(static_cast<int>(i + 1));
  }
  return dropped;
}

TEST(FloodCheck, Runs) {
  const std::string a10(10, 'a');
  const std::tuple<short, std::string, double, std::vector<int>> cases[] = {
      // level, senders, seconds apart, dropped
      {10, a10 + "a", 0.09, {11}},                          // eleven in one second
      {10, a10 + a10, 0.2, {}},                             // twenty at five per second
      {10, "abababababababababababababababab", 0.001, {}},  // two alternating, however fast
      {10, a10 + "b" + a10 + "a", 0.01, {22}},              // another address restarts the run
      {10, std::string(50, 'n'), 0.001, {}},                // no-block address
      {0, a10 + a10, 0.001, {}},                            // level 0: the guard is off
      {1, "aa", 0, {2}},
      {10, a10 + "A" + a10, 0.05, {21}},  // the run restarts at a late one, not after it
  };
  for (const auto& [level, from, step, dropped] : cases) {
    test::TestContext t;
    t.ctx.log.KeepLog = true;
    t.ctx.settings.BOMBLEVEL = level;
    t.ctx.settings.NOBLOCK = {"10.0.0.5"};
    EXPECT_EQ(Send(t, from, step), dropped) << from;
    EXPECT_EQ(t.ctx.blocks.Blocks.size(), dropped.size()) << from;
    EXPECT_EQ(t.ctx.log.LogBuffer.size(), dropped.size()) << from;  // no-block passes unlogged
  }
}

TEST(BlockList, LoadCleansLinesAndRefusalsAreLoggedOnlyWithLogBlock) {
  test::TestContext t;
  t.ctx.log.KeepLog = true;
  t.ctx.blocks.LoadBlocks();  // no file: nothing, silently
  t.dir.Write("blocks.dat", "; comment\r\n   ; indented\r\n\r\n 010.0.0.1 \r\njunk\r\n");
  t.ctx.blocks.LoadBlocks();
  EXPECT_EQ(t.ctx.blocks.Blocks, (std::vector<std::string>{"0.0.0.0", "10.0.0.1", "0.0.0.0"}));
  t.ctx.settings.LOGBLOCK = false;
  EXPECT_TRUE(t.ctx.blocks.Blocked("10.0.0.1", "Request from "));
  t.ctx.settings.LOGBLOCK = true;
  EXPECT_TRUE(t.ctx.blocks.Blocked("10.0.0.1", "Request from "));
  EXPECT_FALSE(t.ctx.blocks.Blocked("10.0.0.2", "Request from "));
  EXPECT_EQ(t.ctx.log.LogBuffer.size(), 1u);
}

TEST(BlockDialog, ListRulesRateBoxAndOk) {
  std::vector<std::string> noblock, blocked{"10.0.0.1"};
  const bool done[] = {BlockListAdd(noblock, ""),           BlockListAdd(noblock, "10.0.0.2"),
                       BlockListAdd(noblock, "10.0.0.2"),   BlockListMove(blocked, noblock, 0),
                       BlockListMove(blocked, noblock, 0),  BlockListRemove(noblock, "10.0.0.2"),
                       BlockListRemove(noblock, "10.0.0.2")};
  EXPECT_EQ(std::vector<bool>(std::begin(done), std::end(done)),
            std::vector<bool>({false, true, false, true, false, true, false}));
  EXPECT_EQ(noblock, (std::vector<std::string>{"10.0.0.1"}));
  EXPECT_EQ(RateBoxText(0) + "|" + RateBoxText(1) + "|" + RateBoxText(25), "|1|25");
  for (const auto& [typed, shown] : {std::pair{"-12.7", "12"}, {"0.4", ""}, {"abc", ""}, {"7 a", "7"}}) {
    EXPECT_EQ(RateBoxLeave(typed), shown) << typed;
  }
  test::TestContext t;
  t.ctx.settings.BOMBLEVEL = 5;
  t.ctx.settings.NOBLOCK = {"10.0.0.5"};
  t.ctx.blocks.Blocks = {"10.0.0.6"};
  BlockDialog dialog = BlockDialog::Open(t.ctx.settings, t.ctx.blocks);
  EXPECT_EQ(dialog.rate, "5");
  dialog.rate = "";
  BlockListMove(dialog.blocks, dialog.noblock, 0);
  dialog.Ok(t.ctx.settings, t.ctx.blocks);
  EXPECT_EQ(t.ctx.settings.BOMBLEVEL, 0);
  EXPECT_EQ(t.ctx.settings.NOBLOCK, (std::vector<std::string>{"10.0.0.5", "10.0.0.6"}));
  EXPECT_TRUE(t.ctx.blocks.Blocks.empty());
}

}  // namespace
}  // namespace vell
