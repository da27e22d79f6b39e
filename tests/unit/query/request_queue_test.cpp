// Admission: duplicate folding, the limit, the queue run and the keys.
#include "query/request_queue.h"

#include "query_fixture.h"

namespace vell::test {
namespace {

using ::testing::ElementsAre;

class RequestQueueTest : public QueryTest {
 protected:
  RequestQueueTest() {
    auto zone = ExampleZone();
    Add(zone, "www.example.com.", kTypeA, "192.0.2.80");
  }
  // A TCP query waits in the queue until the queue is run.
  void QueueTcp(const std::string& name, int32_t type = kTypeA) {
    q.Requests.QueTCPRequest(99, true, Question{name, type, 1}, std::nullopt, "10.0.0.50", 3);
  }
};

TEST_F(RequestQueueTest, IdenticalQueriesAreAnsweredTogetherEachWithItsOwnId) {
  QueueTcp("www.example.com.");
  ProcDNSRequest(q, "10.0.0.1", 1001, Query(0x1111, "www.example.com.", kTypeA));
  ProcDNSRequest(q, "10.0.0.2", 1002, Query(0x2222, "www.example.com.", kTypeA));
  // Not the same question: RD clear, and another type.
  ProcDNSRequest(q, "10.0.0.3", 1003, Query(0x3333, "www.example.com.", kTypeA, 1, 0x00));
  ProcDNSRequest(q, "10.0.0.4", 1004, Query(0x4444, "www.example.com.", kTypeMX));

  // The queue ran after the last two, which were answered on their own; the
  // two duplicates came with the TCP query (whose connection does not exist).
  ASSERT_EQ(sender.answers.size(), 4u);
  std::vector<std::string> replies;
  for (const auto& sent : sender.answers) {
    const Message r = ReadReply(sent.msg);
    replies.push_back(sent.ip + ":" + std::to_string(sent.port) + " " + std::to_string(r.header.id) + " " +
                      std::to_string(r.question.type) + " " + std::to_string(r.header.ancount));
  }
  EXPECT_THAT(replies, ElementsAre("10.0.0.3:1003 13107 1 1", "10.0.0.1:1001 4369 1 1",
                                   "10.0.0.2:1002 8738 1 1", "10.0.0.4:1004 17476 15 0"));
  EXPECT_TRUE(q.Requests.Active().empty());
}

TEST_F(RequestQueueTest, OverTheLimitARequestIsDroppedUnanswered) {
  ctx.settings.MAXACTDNSREQ = 1;
  QueueTcp("www.example.com.");
  ProcDNSRequest(q, "10.0.0.1", 1001, Query(1, "other.example.com.", kTypeA));
  EXPECT_TRUE(sender.answers.empty());
  EXPECT_THAT(Logged(), ElementsAre("Request from 10.0.0.1 for A-record for other.example.com.",
                                    "*** Request dropped!"));
  EXPECT_EQ(q.Requests.Active().size(), 1u);

  // Answered requests still in the collection do not count.
  q.Requests.Active()[0]->State = RequestState::kAnswered;
  ProcDNSRequest(q, "10.0.0.1", 1001, Query(2, "other.example.com.", kTypeA));
  EXPECT_EQ(sender.answers.size(), 1u);
  EXPECT_TRUE(q.Requests.Active().empty());
}

TEST_F(RequestQueueTest, QueuedRequestsGetKeysInOrderWrappingAfterAMillionAndLeaveWhenProcessed) {
  QueueTcp("www.example.com.");
  QueueTcp("www.example.com.", kTypeMX);
  ASSERT_EQ(q.Requests.Active().size(), 2u);
  EXPECT_EQ(q.Requests.Active()[0]->RequestKey, "K0000001");
  EXPECT_EQ(q.Requests.Active()[1]->RequestKey, "K0000002");
  q.Requests.ProcRequestQue();
  EXPECT_TRUE(q.Requests.Active().empty());
  EXPECT_FALSE(q.Requests.Busy());
  for (int i = 3; i < 999999; ++i) q.Requests.NewKey();
  EXPECT_EQ(q.Requests.NewKey(), "K0999999");
  EXPECT_EQ(q.Requests.NewKey(), "K0000000");
}

TEST_F(RequestQueueTest, TimedOutRequestsWithoutServersEndInServerFailure) {
  QueueTcp("nowhere.test.");
  ProcDNSRequest(q, "10.0.0.1", 1001, Query(0x0707, "nowhere.test.", kTypeA));
  clDNSRequest& waiting = *q.Requests.Active()[0];
  waiting.InitRequest();
  waiting.State = RequestState::kWaitingForServer;
  waiting.TimeOut = ctx.Now() + Seconds(0.5);
  q.Requests.RequestTimeOuts();
  EXPECT_TRUE(sender.answers.empty());

  t.clock.AdvanceSeconds(1);
  q.Requests.RequestTimeOuts();
  ASSERT_EQ(sender.answers.size(), 1u);
  const Message r = ReadReply(sender.answers[0].msg);
  EXPECT_EQ(r.header.id, 0x0707);
  EXPECT_EQ(r.header.RCode(), 2);
}

}  // namespace
}  // namespace vell::test
