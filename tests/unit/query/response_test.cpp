// ProcDNSAnswer: parsing, caching, and delivery to the waiting request.
#include "dns/tables.h"
#include "query/request_queue.h"
#include "query/soa_check.h"
#include "query_fixture.h"

namespace vell::test {
namespace {

using ::testing::ElementsAre;

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

const RecordPtr* Cached(const Context& ctx, const std::string& name, int32_t type) {
  for (const RecordPtr& r : ctx.Cache.Records().items()) {
    if (r->Name == name && r->RecType == type) return &r;
  }
  return nullptr;
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

TEST_F(ResponseTest, LongTtlsAreCutToAWeekAndOtherClassesSkippedSilently) {
  ctx.settings.LOGDETAIL = true;
  WaitFor0777();
  const std::string a_in = RecordAt12(kTypeA, 1, 0x7F000000, Octets({192, 0, 2, 1}));
  const std::string a_chaos = RecordAt12(kTypeA, 3, 600, Octets({192, 0, 2, 2}));
  ProcDNSAnswer(q, "192.0.2.99", Response(2, 0, 0, a_in + a_chaos));
  const RecordPtr* cached = Cached(ctx, "www.example.org.", kTypeA);
  ASSERT_NE(cached, nullptr);
  EXPECT_EQ((*cached)->TTL(ctx.clock), 604800);
  EXPECT_EQ((*cached)->Data, Octets({192, 0, 2, 1}));
  const std::vector<std::string> logged = Logged();
  ASSERT_GE(logged.size(), 2u);
  EXPECT_THAT(std::vector(logged.begin(), logged.begin() + 2),
              ElementsAre("Reply from 192.0.2.99 about A-record for www.example.org.:",
                          "-> Answer: A-record for www.example.org. = 192.0.2.1"));
}

TEST_F(ResponseTest, NamesInRecordDataAreDecodedAgainstTheWholeMessage) {
  const std::string cname = RecordAt12(kTypeCNAME, 1, 600, Octets({3, "web", 0xC0, 16}));
  const std::string mx = RecordAt12(kTypeMX, 1, 600, Octets({0, 5, 2, "mx", 0xC0, 16}));
  WaitFor0777();
  ProcDNSAnswer(q, "192.0.2.99", Response(2, 0, 0, cname + mx));
  ASSERT_NE(Cached(ctx, "www.example.org.", kTypeCNAME), nullptr);
  EXPECT_EQ((*Cached(ctx, "www.example.org.", kTypeCNAME))->Data, "web.example.org.");
  EXPECT_EQ((*Cached(ctx, "www.example.org.", kTypeMX))->Data, Octets({0, 5, "mx.example.org."}));
}

TEST_F(ResponseTest, ACutResponseKeepsWhatWasReadIsNotCachedAndStillReachesItsRequest) {
  WaitFor0777();
  const std::string answer = RecordAt12(kTypeA, 1, 600, Octets({192, 0, 2, 7}));
  const std::string cut_authority = Octets({0xC0, 12, 0, 2, 0, 1, 0});
  ProcDNSAnswer(q, "192.0.2.99", Response(1, 1, 0, answer + cut_authority));
  EXPECT_TRUE(ctx.Cache.Records().empty());
  EXPECT_THAT(Logged(), ::testing::Contains("-> Incomplete..."));
  ASSERT_EQ(sender.answers.size(), 1u);
  const Message r = ReadReply(sender.answers[0].msg);
  EXPECT_EQ(r.header.id, 0x0101);
  EXPECT_FALSE(r.header.AA());  // answers learnt from others are never authoritative
  EXPECT_THAT(Datas(r.answer), ElementsAre("192.0.2.7"));
}

// Behind the endpoint's gate (OutgoingIds), the waiting request checks the
// identifier and question once more.
TEST_F(ResponseTest, ResponsesAreMatchedByIdentifierAndQuestion) {
  WaitFor0777();
  std::string other_id = Response(1, 0, 0, RecordAt12(kTypeA, 1, 600, Octets({192, 0, 2, 7})));
  other_id[1] = 0x78;
  ProcDNSAnswer(q, "192.0.2.99", other_id);
  std::string other_type = Response(1, 0, 0, RecordAt12(kTypeA, 1, 600, Octets({192, 0, 2, 7})));
  other_type[30] = kTypeMX;
  ProcDNSAnswer(q, "192.0.2.99", other_type);
  EXPECT_TRUE(sender.answers.empty());
  EXPECT_EQ(q.Requests.Active().at(0)->State, RequestState::kWaitingForServer);
}

TEST_F(ResponseTest, NotifyAndOtherOpcodeRepliesAreOnlyLogged) {
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
  EXPECT_TRUE(ctx.Cache.Records().empty());
}

TEST_F(ResponseTest, HugeCountsOverShortDataEndAsIncomplete) {
  const std::string msg = Octets({0, 1, 0x80, 0, 0x7F, 0xFF, 0x7F, 0xFF, 0x7F, 0xFF, 0x7F, 0xFF, 0});
  ProcDNSAnswer(q, "192.0.2.99", msg);
  EXPECT_EQ(Logged().back(), "-> Incomplete...");
  EXPECT_TRUE(ctx.Cache.Records().empty());
}

TEST_F(ResponseTest, ResponsesNoRequestWaitsForAreOfferedToTheTransferClientAndNeverCached) {
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
