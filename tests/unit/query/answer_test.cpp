// Replies assembled from local data: sections, CNAMEs, AUTOCNAME,
// ROUNDROBIN and TTLs.
#include "core/text.h"
#include "query/reply_writer.h"
#include "query/request.h"
#include "query_fixture.h"

namespace vell::test {
namespace {

using ::testing::ElementsAre;

class AnswerTest : public QueryTest {
 protected:
  AnswerTest() : zone(ExampleZone()) {}

  // The reply to a client of the origin given, as written.
  std::string Written(RequestOrigin origin, const std::string& name, int32_t type) {
    clDNSRequest request(q, std::move(origin), 1, false, Question{LowerCase(name), type, kClassIN, name});
    return WriteReply(q, request,
                      *ctx.AuthData.Ask(LowerCase(name), type, Recursion::kNotDesired, LookupKind::kFull));
  }
  Message AskOverTcp(const std::string& name, int32_t type) {
    return ReadReply(Written(TcpClient{"10.0.0.9", 1, std::nullopt}, name, type));
  }

  ZonePtr zone;
};

TEST_F(AnswerTest, CnamesAreFollowedOnceAndAutoCnameMakesTheTargetsRecordsTheAliass) {
  auto other = AddZone("other.org.");
  Add(zone, "www.example.com.", kTypeCNAME, "web.other.org.", 300);
  Add(other, "web.other.org.", kTypeA, "198.51.100.1");
  Add(other, "web.other.org.", kTypeA, "198.51.100.2");
  Add(zone, "a.example.com.", kTypeCNAME, "b.example.com.");
  Add(zone, "b.example.com.", kTypeCNAME, "a.example.com.");
  Add(zone, "alias.example.com.", kTypeCNAME, "host.example.com.", 300);
  Add(zone, "host.example.com.", kTypeA, "192.0.2.10", 600);
  Add(zone, "host.example.com.", kTypeA, "192.0.2.11", 60);
  Add(zone, "c1.example.com.", kTypeCNAME, "c2.example.com.");
  Add(zone, "c2.example.com.", kTypeCNAME, "c3.example.com.");
  Add(zone, "c3.example.com.", kTypeA, "192.0.2.12");
  Add(zone, "self.example.com.", kTypeA, "192.0.2.20", 900);
  Add(zone, "self.example.com.", kTypeCNAME, "self.example.com.", 120);
  const std::vector<std::string> www_cname{"www.example.com. 5 300 web.other.org."};
  const struct {
    bool autocname;
    std::string name;
    int32_t type;
    std::vector<std::string> answer;  // "owner type TTL data"
  } rows[] = {
      {false,
       "www.example.com.",
       kTypeA,
       {"www.example.com. 5 300 web.other.org.", "web.other.org. 1 3600 198.51.100.2",
        "web.other.org. 1 3600 198.51.100.1"}},
      {false, "www.example.com.", kTypeANY, www_cname},  // ANY and CNAME stop at the CNAME
      {false, "www.example.com.", kTypeCNAME, www_cname},
      {false,
       "a.example.com.",
       kTypeA,
       {"a.example.com. 5 3600 b.example.com.", "b.example.com. 5 3600 a.example.com."}},
      // The smaller TTL carries on to the records after it.
      {true,
       "alias.example.com.",
       kTypeA,
       {"alias.example.com. 1 60 192.0.2.11", "alias.example.com. 1 60 192.0.2.10"}},
      {true, "c1.example.com.", kTypeA, {"c1.example.com. 1 3600 192.0.2.12"}},
      {true, "self.example.com.", kTypeANY, {"self.example.com. 1 120 192.0.2.20"}},
  };
  for (const auto& row : rows) {
    ctx.settings.AUTOCNAME = row.autocname;
    const Message r = Ask(row.name, row.type);
    EXPECT_TRUE(r.header.AA()) << row.name;
    std::vector<std::string> answer;
    for (const auto& rr : r.answer) {
      answer.push_back(rr.name + " " + std::to_string(rr.type) + " " + std::to_string(rr.ttl) + " " +
                       (rr.type == kTypeA ? DataToIP(rr.data) : rr.data));
    }
    EXPECT_EQ(answer, row.answer) << row.name << " " << row.type;
  }
}

TEST_F(AnswerTest, RoundRobinRotatesEachRunOfAddressesOnEveryReply) {
  ctx.settings.ROUNDROBIN = true;
  for (const char* ip : {"10.0.0.3", "10.0.0.2", "10.0.0.1"}) Add(zone, "rr.example.com.", kTypeA, ip);
  std::vector<std::vector<std::string>> orders;
  for (int i = 0; i < 4; ++i) orders.push_back(Datas(Ask("rr.example.com.", kTypeA).answer));
  EXPECT_THAT(orders[0], ElementsAre("10.0.0.1", "10.0.0.2", "10.0.0.3"));
  EXPECT_THAT(orders[1], ElementsAre("10.0.0.2", "10.0.0.3", "10.0.0.1"));
  EXPECT_THAT(orders[2], ElementsAre("10.0.0.3", "10.0.0.1", "10.0.0.2"));
  EXPECT_EQ(orders[3], orders[0]);
}

TEST_F(AnswerTest, RoundRobinRunsEndAtTheHundredthRecord) {
  ctx.settings.ROUNDROBIN = true;
  for (int i = 102; i >= 1; --i) Add(zone, "many.example.com.", kTypeA, "10.1.0." + std::to_string(i));
  Ask("many.example.com.", kTypeA);
  // 102 addresses fit no UDP reply.
  const std::vector<std::string> second = Datas(AskOverTcp("many.example.com.", kTypeA).answer);
  ASSERT_EQ(second.size(), 102u);
  EXPECT_EQ(second[0], "10.1.0.2");
  EXPECT_EQ(second[99], "10.1.0.1");  // the run of 100 wrapped
  EXPECT_EQ(second[100], "10.1.0.101");
  EXPECT_EQ(second[101], "10.1.0.102");
}

// A reply over the client's limit is cut after a whole RRset; TC is set
// unless only additional records had to go.
TEST_F(AnswerTest, RepliesAreCutToTheClientsLimitAtWholeRRsets) {
  for (int i = 0; i < 10; ++i)
    Add(zone, "big.example.com.", kTypeTXT, MakeTxtData({std::string(200, 'a' + i)}));
  Add(zone, "big.example.com.", kTypeA, "192.0.2.7");
  Add(zone, "example.com.", kTypeMX, MakeMxData({10, "big.example.com."}));
  for (int i = 1; i <= 40; ++i) Add(zone, "big.example.com.", kTypeAAAA, std::string(15, '\x20') + char(i));
  struct Case {
    std::string what;
    RequestOrigin client;
    std::string name;
    int32_t type;
    bool tc;
    size_t answers, additional, most;
  } cases[] = {
      {"UDP without EDNS", UdpClient{"10.0.0.9", 53, std::nullopt}, "big.example.com.", kTypeTXT, true, 0, 0,
       512},
      {"EDNS 4096 is capped", UdpClient{"10.0.0.9", 53, 4096}, "big.example.com.", kTypeTXT, true, 0, 0,
       1232},
      {"ANY keeps the RRset that fits", UdpClient{"10.0.0.9", 53, 1232}, "big.example.com.", kTypeANY, true,
       41, 0, 1232},
      {"EDNS below 512 counts as 512", UdpClient{"10.0.0.9", 53, 100}, "example.com.", kTypeMX, false, 1, 0,
       512},
      {"over TCP all of it", TcpClient{"10.0.0.9", 1, std::nullopt}, "big.example.com.", kTypeTXT, false, 10,
       0, 65535},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string reply = Written(c.client, c.name, c.type);
    const Message r = ReadReply(reply);
    EXPECT_EQ(r.header.TC(), c.tc);
    EXPECT_EQ(r.answer.size(), c.answers);
    EXPECT_EQ(r.additional.size(), c.additional);
    EXPECT_LE(reply.size(), c.most);
  }
}

TEST_F(AnswerTest, AnExpiredRecordIsWrittenWithTtlZero) {
  zone->AddRec(
      MakeRecord(ctx.clock, Lifetime::kLearnt, "old.example.com.", kTypeA, IPToData("192.0.2.30"), 10));
  t.clock.AdvanceSeconds(60);
  EXPECT_EQ(Ask("old.example.com.", kTypeA).answer.at(0).ttl, 0);
}

TEST_F(AnswerTest, NamesInRecordDataAreCompressedAgainstTheMessage) {
  Add(zone, "example.com.", kTypeMX, MakeMxData({10, "mx.example.com."}));
  Add(zone, "mx.example.com.", kTypeA, "192.0.2.25");
  const std::string uncompressed_name = Octets({2, "mx", 7, "example", 3, "com", 0});
  sender.answers.clear();
  ProcDNSRequest(q, "10.0.0.9", 5353, Query(1, "example.com.", kTypeMX));
  ASSERT_EQ(sender.answers.size(), 1u);
  const std::string& msg = sender.answers[0].msg;
  EXPECT_EQ(msg.find(uncompressed_name), std::string::npos);
  const Message r = ReadReply(msg);
  EXPECT_NE(msg.find(Octets({0, 10, 2, "mx", 0xC0, 12})), std::string::npos);  // in the MX data
  EXPECT_THAT(Datas(r.additional), ElementsAre("192.0.2.25"));
}

}  // namespace
}  // namespace vell::test
