// Admission (duplicate folding, the limit, the queue and its keys), the
// outgoing identifiers, and ProcDNSAnswer: parsing, caching, and delivery to
// the waiting request.
#include <cmath>
#include <set>

#include "dns/tables.h"
#include "query/outgoing_ids.h"
#include "query/request_queue.h"
#include "query_fixture.h"

namespace vell::test {
namespace {

class RequestQueueTest : public QueryTest {
 protected:
  RequestQueueTest() { Add(ExampleZone(), "www.example.com.", kTypeA, "192.0.2.80"); }
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

OutgoingQuery Outgoing(int32_t id) { return {1111, "192.0.2.1", 53, id, {"www.example.com.", 1, 1}}; }

TEST(OutgoingIdsTest, IdentifiersAreUniqueWhileOpenAndUncorrelated) {
  FakeClock clock(46000);
  OutgoingIds ids(clock);
  constexpr int kCount = 10000;
  std::vector<double> drawn;
  for (int i = 0; i < kCount; ++i) {
    const int32_t id = ids.Next();
    ASSERT_TRUE(id >= 0 && id <= 65535) << id;
    ids.Opened(Outgoing(id));
    drawn.push_back(id);
  }
  EXPECT_EQ(std::set<double>(drawn.begin(), drawn.end()).size(), static_cast<size_t>(kCount));
  // The lag-1 correlation of 10,000 independent draws lies within 0.05 of 0,
  // their mean within 1000 of the middle (both five standard deviations).
  double mean = 0, lagged = 0, variance = 0;
  for (double d : drawn) mean += d / kCount;
  for (int i = 0; i < kCount; ++i) {
    variance += (drawn[i] - mean) * (drawn[i] - mean);
    if (i > 0) lagged += (drawn[i] - mean) * (drawn[i - 1] - mean);
  }
  EXPECT_LT(std::fabs(lagged / variance), 0.05);
  EXPECT_NEAR(mean, 32767.5, 1000);
}

TEST(OutgoingIdsTest, OnlyAnExactEchoOfAnOpenQueryIsAnswered) {
  FakeClock clock(46000);
  OutgoingIds ids(clock);
  ids.Opened(Outgoing(7));
  OutgoingQuery forged[] = {Outgoing(8), Outgoing(7), Outgoing(7), Outgoing(7), Outgoing(7), Outgoing(7)};
  forged[1].local_port = 2222;
  forged[2].ip = "192.0.2.2";
  forged[3].port = 5353;
  forged[4].question.type = 28;
  forged[5].question.name = "www.example.net.";
  for (const OutgoingQuery& f : forged) EXPECT_FALSE(ids.Answered(f));
  OutgoingQuery upper = Outgoing(7);
  upper.question.name = "WWW.Example.COM.";
  EXPECT_TRUE(ids.Answered(upper));
  EXPECT_FALSE(ids.Answered(Outgoing(7)));  // closed by the first answer
  // One unanswered for ten seconds is forgotten by the sweep, which runs
  // once a second: here the one a second after it was still open.
  clock.AdvanceSeconds(0.5);
  ids.Opened(Outgoing(9));
  clock.AdvanceSeconds(9.5);
  ids.Next();
  clock.AdvanceSeconds(1);
  ids.Next();
  EXPECT_FALSE(ids.Answered(Outgoing(9)));
}

// A response to an A question for www.example.org. with id 0x0777; the
// question comes twice, and the second is read past.
std::string Response(int an, int ns, int ar, const std::string& records, int flags1 = 0x84) {
  return Octets({0x07,      0x77, flags1, 0x00, 0, 2, 0, an, 0,    ns, 0, ar, 3, "www", 7,
                 "example", 3,    "org",  0,    0, 1, 0, 1,  0xC0, 12, 0, 1,  0, 1}) +
         records;
}

// A record owned by the question's name (a pointer to offset 12).
std::string RecordAt12(int type, int rclass, uint32_t ttl, const std::string& rdata) {
  const auto octet = [&](int shift) { return static_cast<int>((ttl >> shift) & 0xFF); };
  return Octets({0xC0, 12, 0, type, 0, rclass, octet(24), octet(16), octet(8), octet(0), 0,
                 static_cast<int>(rdata.size())}) +
         rdata;
}

class ResponseTest : public QueryTest {
 protected:
  // A client's query waiting for the outgoing query 0x0777.
  void WaitFor0777() {
    q.Requests.QueTCPRequest(1, true, Question{"www.example.org.", kTypeA, 1}, std::nullopt, "10.0.0.50", 1);
    ProcDNSRequest(q, "10.0.0.1", 1001, Query(0x0101, "www.example.org.", kTypeA));
    clDNSRequest& waiting = *q.Requests.Active().at(0);
    waiting.InitRequest();
    waiting.State = RequestState::kWaitingForServer;
    waiting.OpenRqOut.push_back({0x0777, "192.0.2.99"});
    ctx.log.LogBuffer.clear();
  }
};

// Long TTLs are cut to a week, other classes skipped, names in record data
// decoded against the whole message.
TEST_F(ResponseTest, RecordsOfAResponseAreCachedAsRead) {
  ctx.settings.LOGDETAIL = true;
  WaitFor0777();
  ProcDNSAnswer(q, "192.0.2.99",
                Response(4, 0, 0,
                         RecordAt12(kTypeA, 1, 0x7F000000, Octets({192, 0, 2, 1})) +
                             RecordAt12(kTypeA, 3, 600, Octets({192, 0, 2, 2})) +
                             RecordAt12(kTypeCNAME, 1, 600, Octets({3, "web", 0xC0, 16})) +
                             RecordAt12(kTypeMX, 1, 600, Octets({0, 5, 2, "mx", 0xC0, 16}))));
  const RecordPtr a = Cached("www.example.org.", kTypeA);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->TTL(ctx.clock), 604800);
  EXPECT_EQ(a->Data, Octets({192, 0, 2, 1}));
  EXPECT_NE(Cached("www.example.org.", kTypeCNAME, "web.example.org."), nullptr);
  EXPECT_NE(Cached("www.example.org.", kTypeMX, Octets({0, 5, "mx.example.org."})), nullptr);
  const std::vector<std::string> logged = Logged();
  ASSERT_GE(logged.size(), 2u);
  EXPECT_THAT(std::vector(logged.begin(), logged.begin() + 2),
              ElementsAre("Reply from 192.0.2.99 about A-record for www.example.org.:",
                          "-> Answer: A-record for www.example.org. = 192.0.2.1"));
}

TEST_F(ResponseTest, ACutResponseKeepsWhatWasReadIsNotCachedAndStillReachesItsRequest) {
  WaitFor0777();
  const std::string answer = RecordAt12(kTypeA, 1, 600, Octets({192, 0, 2, 7}));
  ProcDNSAnswer(q, "192.0.2.99", Response(1, 1, 0, answer + Octets({0xC0, 12, 0, 2, 0, 1, 0})));
  EXPECT_TRUE(ctx.Cache.Records().empty());
  EXPECT_THAT(Logged(), Contains("-> Incomplete..."));
  const Message r = OnlyReply();
  EXPECT_EQ(r.header.id, 0x0101);
  EXPECT_FALSE(r.header.AA());  // answers learnt from others are never authoritative
  EXPECT_THAT(Datas(r.answer), ElementsAre("192.0.2.7"));
  // Huge counts over short data, which no request waits for.
  ctx.log.LogBuffer.clear();
  ProcDNSAnswer(q, "192.0.2.99", Octets({0, 1, 0x80, 0, 0x7F, 0xFF, 0x7F, 0xFF, 0x7F, 0xFF, 0x7F, 0xFF, 0}));
  EXPECT_EQ(Logged().back(), "-> Incomplete...");
  EXPECT_TRUE(ctx.Cache.Records().empty());
}

// Behind the endpoint's gate (OutgoingIds), the waiting request checks the
// identifier and question once more.
TEST_F(ResponseTest, ResponsesAreMatchedByIdentifierAndQuestion) {
  WaitFor0777();
  std::string other_id = Response(1, 0, 0, RecordAt12(kTypeA, 1, 600, Octets({192, 0, 2, 7})));
  std::string other_type = other_id;
  other_id[1] = 0x78;
  other_type[30] = kTypeMX;
  ProcDNSAnswer(q, "192.0.2.99", other_id);
  ProcDNSAnswer(q, "192.0.2.99", other_type);
  EXPECT_TRUE(sender.answers.empty());
  EXPECT_EQ(q.Requests.Active().at(0)->State, RequestState::kWaitingForServer);
}

// Notify and other opcodes are only logged; the rest is offered to the
// transfer client. Nothing of it is cached.
TEST_F(ResponseTest, ResponsesNoRequestWaitsForAreLoggedOrOfferedToTheTransferClient) {
  ProcDNSAnswer(q, "192.0.2.99", Response(0, 0, 0, "", 0xA0));
  std::string refused = Response(0, 0, 0, "", 0xA0);
  refused[3] = 5;
  ProcDNSAnswer(q, "192.0.2.99", refused);
  ProcDNSAnswer(q, "192.0.2.99", Response(0, 0, 0, "", 0x90));
  EXPECT_THAT(
      Logged(),
      ElementsAre("Notification Acknowledgement from 192.0.2.99",
                  "Reply from 192.0.2.99 about Notification:", "-> Header: " + RCodeN(ctx.errors, 5),
                  "Reply from 192.0.2.99 about Server Status Request: Ignored - No matching requests."));
  EXPECT_TRUE(soa_check.offered.empty());
  const std::string soa =
      RecordAt12(kTypeSOA, 1, 600, Octets({2, "ns", 0xC0, 16, 4, "host", 0xC0, 16, 0, 0, 0x30, 0x39, 0, 0,
                                           0, 1,    0,    0,  0, 2,      0,    0,  0, 3, 0,    0,    0, 4}));
  ProcDNSAnswer(q, "192.0.2.99", Response(1, 0, 0, soa));
  ASSERT_EQ(soa_check.offered.size(), 1u);
  const clDNSAnswer& offered = soa_check.offered[0];
  EXPECT_EQ(offered.Id, 0x0777);
  ASSERT_EQ(offered.Section2.size(), 1u);
  EXPECT_EQ(offered.Section2[0]->Name, "www.example.org.");
  EXPECT_EQ(ReadSoaData(offered.Section2[0]->Data).serial, 12345);
  EXPECT_TRUE(ctx.Cache.Records().empty());
}

}  // namespace
}  // namespace vell::test
