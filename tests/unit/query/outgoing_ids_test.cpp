// The outgoing identifiers: random, unique among the open queries, and the
// gate that lets in only what echoes an open query.
#include "query/outgoing_ids.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "core/clock.h"

namespace vell {
namespace {

OutgoingQuery Query(int32_t id) { return {1111, "192.0.2.1", 53, id, {"www.example.com.", 1, 1}}; }

TEST(OutgoingIdsTest, IdentifiersAreUniqueWhileOpenAndUncorrelated) {
  FakeClock clock(46000);
  OutgoingIds ids(clock);
  constexpr int kCount = 10000;
  std::vector<double> drawn;
  for (int i = 0; i < kCount; ++i) {
    const int32_t id = ids.Next();
    ASSERT_GE(id, 0);
    ASSERT_LE(id, 65535);
    ids.Opened(Query(id));
    drawn.push_back(id);
  }
  EXPECT_EQ(std::set<double>(drawn.begin(), drawn.end()).size(), static_cast<size_t>(kCount));
  // Successive identifiers: the lag-1 correlation of 10,000 independent
  // draws lies within 0.05 of 0 (five standard deviations).
  double mean = 0;
  for (double d : drawn) mean += d / kCount;
  double lagged = 0;
  double variance = 0;
  for (int i = 0; i < kCount; ++i) {
    variance += (drawn[i] - mean) * (drawn[i] - mean);
    if (i > 0) lagged += (drawn[i] - mean) * (drawn[i - 1] - mean);
  }
  EXPECT_LT(std::fabs(lagged / variance), 0.05);
  EXPECT_NEAR(mean, 32767.5, 1000);  // about 5 standard deviations of the mean
}

TEST(OutgoingIdsTest, OnlyAnExactEchoOfAnOpenQueryIsAnswered) {
  FakeClock clock(46000);
  OutgoingIds ids(clock);
  ids.Opened(Query(7));
  OutgoingQuery other_socket = Query(7);
  other_socket.local_port = 2222;
  OutgoingQuery other_server = Query(7);
  other_server.ip = "192.0.2.2";
  OutgoingQuery other_port = Query(7);
  other_port.port = 5353;
  OutgoingQuery other_type = Query(7);
  other_type.question.type = 28;
  OutgoingQuery other_name = Query(7);
  other_name.question.name = "www.example.net.";
  for (const OutgoingQuery& forged :
       {Query(8), other_socket, other_server, other_port, other_type, other_name}) {
    EXPECT_FALSE(ids.Answered(forged));
  }
  OutgoingQuery upper = Query(7);
  upper.question.name = "WWW.Example.COM.";
  EXPECT_TRUE(ids.Answered(upper));
  EXPECT_FALSE(ids.Answered(Query(7)));  // closed by the first answer
  // One unanswered for ten seconds is forgotten by the sweep, which runs
  // once a second: here the one a second after it was still open.
  clock.AdvanceSeconds(0.5);
  ids.Opened(Query(9));
  clock.AdvanceSeconds(9.5);
  ids.Next();
  clock.AdvanceSeconds(1);
  ids.Next();
  EXPECT_FALSE(ids.Answered(Query(9)));
}

}  // namespace
}  // namespace vell
