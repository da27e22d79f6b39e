// The flood guard on the fake clock, blocks.dat, and the dialog's list rules.
#include "server/block_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "server/block_dialog.h"
#include "test_support.h"

namespace vell {
namespace {

class BlockListTest : public ::testing::Test {
 protected:
  BlockListTest() {
    t.ctx.log.KeepLog = true;
    t.ctx.settings.BOMBLEVEL = 10;
  }
  // Sends one datagram per entry of `from`, `step` seconds apart; returns
  // the (1-based) datagram numbers the guard dropped.
  std::vector<int> Send(const std::vector<std::string>& from, double step) {
    std::vector<int> dropped;
    for (size_t i = 0; i < from.size(); ++i) {
      if (i > 0) t.clock.AdvanceSeconds(step);
      if (!blocks().FloodCheck(from[i])) dropped.push_back(static_cast<int>(i + 1));
    }
    return dropped;
  }
  std::vector<std::string> Logged() const {
    std::vector<std::string> texts;
    for (const auto& line : t.ctx.log.LogBuffer) texts.push_back(line.substr(11));
    return texts;
  }
  BlockList& blocks() { return t.ctx.blocks; }
  test::TestContext t;
};

std::vector<std::string> Repeat(const std::string& ip, size_t n) { return std::vector<std::string>(n, ip); }

std::vector<std::string> Alternate(size_t n) {
  std::vector<std::string> from;
  for (size_t i = 0; i < n; ++i) from.push_back(i % 2 == 0 ? "10.0.0.1" : "10.0.0.2");
  return from;
}

TEST_F(BlockListTest, FloodGuardRuns) {
  struct Case {
    const char* what;
    short level;
    std::vector<std::string> from;
    double step;
    std::vector<int> dropped;
  } cases[] = {
      {"eleven in one second: the 11th", 10, Repeat("10.0.0.1", 11), 0.09, {11}},
      {"ten in one second pass", 10, Repeat("10.0.0.1", 10), 0.1, {}},
      {"twenty at five per second", 10, Repeat("10.0.0.1", 20), 0.2, {}},
      {"two alternating, however fast", 10, Alternate(100), 0.001, {}},
      {"level 0 turns the guard off", 0, Repeat("10.0.0.1", 100), 0.001, {}},
      {"level 1: the second at once", 1, Repeat("10.0.0.1", 2), 0, {2}},
  };
  for (const Case& c : cases) {
    test::TestContext fresh;
    fresh.ctx.settings.BOMBLEVEL = c.level;
    std::vector<int> dropped;
    for (size_t i = 0; i < c.from.size(); ++i) {
      if (i > 0) fresh.clock.AdvanceSeconds(c.step);
      if (!fresh.ctx.blocks.FloodCheck(c.from[i])) dropped.push_back(static_cast<int>(i + 1));
    }
    EXPECT_EQ(dropped, c.dropped) << c.what;
    EXPECT_EQ(fresh.ctx.blocks.Blocks.size(), c.dropped.size()) << c.what;
  }
}

TEST_F(BlockListTest, BlockingIsLoggedAlwaysAndTheAddressListed) {
  t.ctx.settings.LOGBLOCK = false;  // governs only the refusal lines
  EXPECT_EQ(Send(Repeat("10.0.0.9", 11), 0.05), (std::vector<int>{11}));
  EXPECT_EQ(blocks().Blocks, (std::vector<std::string>{"10.0.0.9"}));
  EXPECT_EQ(Logged(),
            (std::vector<std::string>{"IP address 10.0.0.9 blocked (more than 10 Requests per second)"}));
  // Later datagrams meet the block list first.
  EXPECT_TRUE(blocks().Blocked("10.0.0.9", "Request from "));
  EXPECT_EQ(Logged().size(), 1u);
  t.ctx.settings.LOGBLOCK = true;
  EXPECT_TRUE(blocks().Blocked("10.0.0.9", "Request from "));
  EXPECT_EQ(Logged().back(), "Request from 10.0.0.9 on Block list. Ignored!");
  EXPECT_FALSE(blocks().Blocked("10.0.0.1", "Request from "));
}

TEST_F(BlockListTest, TrackerRestartsAfterASecondAndOnAnotherAddress) {
  Send(Repeat("10.0.0.1", 10), 0.1);  // 0.9 s
  t.clock.AdvanceSeconds(0.2);        // the 11th comes 1.1 s after the first
  EXPECT_TRUE(blocks().FloodCheck("10.0.0.1"));
  EXPECT_EQ(blocks().BombCount, 1);
  EXPECT_EQ(blocks().BombTime, t.clock.Now());
  // The new run counts from that datagram: nine more pass, the tenth is
  // dropped.
  EXPECT_EQ(Send(Repeat("10.0.0.1", 10), 0.05), (std::vector<int>{10}));

  blocks().Blocks.clear();
  Send(Repeat("10.0.0.3", 10), 0.01);
  EXPECT_TRUE(blocks().FloodCheck("10.0.0.2"));  // another address starts a new run
  EXPECT_EQ(blocks().BombIP, "10.0.0.2");
  EXPECT_EQ(blocks().BombCount, 1);
  EXPECT_TRUE(blocks().FloodCheck("10.0.0.3"));
  EXPECT_TRUE(blocks().Blocks.empty());
}

TEST_F(BlockListTest, NoBlockAddressPassesUnloggedWhileItsCountGrows) {
  t.ctx.settings.NOBLOCK = {"10.0.0.5"};
  EXPECT_TRUE(Send(Repeat("10.0.0.5", 50), 0.001).empty());
  EXPECT_EQ(blocks().BombCount, 50);
  EXPECT_TRUE(blocks().Blocks.empty());
  EXPECT_TRUE(Logged().empty());
}

TEST_F(BlockListTest, BlockFileRoundTripAndItsLines) {
  blocks().Blocks = {"10.0.0.1", "192.0.2.7", "10.0.0.1"};
  blocks().SaveBlocks();
  EXPECT_EQ(t.dir.Read("blocks.dat"),
            "; Vellion - IP address blocks\r\n10.0.0.1\r\n192.0.2.7\r\n10.0.0.1\r\n");
  blocks().Blocks = {"172.16.0.1"};
  blocks().LoadBlocks();  // appends; duplicates stay
  EXPECT_EQ(blocks().Blocks, (std::vector<std::string>{"172.16.0.1", "10.0.0.1", "192.0.2.7", "10.0.0.1"}));

  t.dir.Write("blocks.dat", "; comment\r\n   ; indented comment\r\n\r\n 010.1.2.3 \r\njunk\r\n");
  blocks().Blocks.clear();
  blocks().LoadBlocks();
  EXPECT_EQ(blocks().Blocks, (std::vector<std::string>{"0.0.0.0", "10.1.2.3", "0.0.0.0"}));
}

TEST_F(BlockListTest, MissingBlockFileLoadsNothingSilently) {
  blocks().LoadBlocks();
  EXPECT_TRUE(blocks().Blocks.empty());
  EXPECT_TRUE(Logged().empty());
  EXPECT_FALSE(std::filesystem::exists(t.dir.File("support.txt")));
}

TEST(BlockDialog, ListRules) {
  std::vector<std::string> noblock, blocked{"10.0.0.1"};
  EXPECT_FALSE(BlockListAdd(noblock, ""));
  EXPECT_TRUE(BlockListAdd(noblock, "10.0.0.2"));
  EXPECT_FALSE(BlockListAdd(noblock, "10.0.0.2"));
  EXPECT_TRUE(BlockListMove(blocked, noblock, 0));
  EXPECT_FALSE(BlockListMove(blocked, noblock, 0));
  EXPECT_EQ(noblock, (std::vector<std::string>{"10.0.0.2", "10.0.0.1"}));
  EXPECT_TRUE(BlockListRemove(noblock, "10.0.0.2"));
  EXPECT_FALSE(BlockListRemove(noblock, "10.0.0.2"));
  EXPECT_EQ(noblock, (std::vector<std::string>{"10.0.0.1"}));
  EXPECT_TRUE(blocked.empty());
}

TEST(BlockDialog, RateBoxAndOk) {
  EXPECT_EQ(RateBoxText(0), "");
  EXPECT_EQ(RateBoxText(-3), "");
  EXPECT_EQ(RateBoxText(25), "25");
  const std::pair<const char*, const char*> leave[] = {
      {"-12.7", "12"}, {"0", ""}, {"0.4", ""}, {"abc", ""}, {"7 per second", "7"}, {"", ""}};
  for (const auto& [typed, shown] : leave) EXPECT_EQ(RateBoxLeave(typed), shown) << typed;

  test::TestContext t;
  t.ctx.settings.BOMBLEVEL = 5;
  t.ctx.settings.NOBLOCK = {"10.0.0.5"};
  t.ctx.blocks.Blocks = {"10.0.0.6"};
  BlockDialog dialog = BlockDialog::Open(t.ctx.settings, t.ctx.blocks);
  EXPECT_EQ(dialog.rate, "5");
  dialog.rate = "";
  BlockListMove(dialog.blocks, dialog.noblock, 0);
  BlockDialog(dialog).Ok(t.ctx.settings, t.ctx.blocks);  // what Cancel would drop
  EXPECT_EQ(t.ctx.settings.BOMBLEVEL, 0);
  EXPECT_EQ(t.ctx.settings.NOBLOCK, (std::vector<std::string>{"10.0.0.5", "10.0.0.6"}));
  EXPECT_TRUE(t.ctx.blocks.Blocks.empty());
}

}  // namespace
}  // namespace vell
