// What ProcDNSRequest answers from local data or at once: sections, CNAMEs,
// AUTOCNAME, ROUNDROBIN, TTLs, size limits, EDNS, unsupported queries and
// the log.
#include <tuple>

#include "core/text.h"
#include "query/reply_writer.h"
#include "query_fixture.h"

namespace vell::test {
namespace {

class AnswerTest : public QueryTest {
 protected:
  AnswerTest() : zone(ExampleZone()) {}
  // The reply to a client of the origin given, as written.
  std::string Written(RequestOrigin origin, const std::string& name, int32_t type) {
    clDNSRequest request(q, std::move(origin), 1, false, Question{LowerCase(name), type, kClassIN, name});
    return WriteReply(q, request,
                      *ctx.AuthData.Ask(LowerCase(name), type, Recursion::kNotDesired, LookupKind::kFull));
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
  zone->AddRec(
      MakeRecord(ctx.clock, Lifetime::kLearnt, "old.example.com.", kTypeA, IPToData("192.0.2.30"), 10));
  t.clock.AdvanceSeconds(60);
  const std::vector<std::string> www_cname{"www.example.com. 5 300 web.other.org."};
  // AUTOCNAME, the question, the answer.
  const std::tuple<bool, std::string, int32_t, std::vector<std::string>> rows[] = {
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
      {false, "old.example.com.", kTypeA, {"old.example.com. 1 0 192.0.2.30"}},  // expired
      // The smaller TTL carries on to the records after it.
      {true,
       "alias.example.com.",
       kTypeA,
       {"alias.example.com. 1 60 192.0.2.11", "alias.example.com. 1 60 192.0.2.10"}},
      {true, "c1.example.com.", kTypeA, {"c1.example.com. 1 3600 192.0.2.12"}},
      {true, "self.example.com.", kTypeANY, {"self.example.com. 1 120 192.0.2.20"}},
  };
  for (const auto& [autocname, name, type, answer] : rows) {
    SCOPED_TRACE(name + " " + std::to_string(type));
    ctx.settings.AUTOCNAME = autocname;
    const Message r = Ask(name, type);
    EXPECT_TRUE(r.header.AA());
    EXPECT_EQ(Lines(r.answer), answer);
  }
}

TEST_F(AnswerTest, RoundRobinRotatesEachRunOfAddressesUpToTheHundredthRecord) {
  ctx.settings.ROUNDROBIN = true;
  for (const char* ip : {"10.0.0.3", "10.0.0.2", "10.0.0.1"}) Add(zone, "rr.example.com.", kTypeA, ip);
  const std::vector<std::string> orders[] = {{"10.0.0.1", "10.0.0.2", "10.0.0.3"},
                                             {"10.0.0.2", "10.0.0.3", "10.0.0.1"},
                                             {"10.0.0.3", "10.0.0.1", "10.0.0.2"},
                                             {"10.0.0.1", "10.0.0.2", "10.0.0.3"}};
  for (const auto& order : orders) EXPECT_EQ(Datas(Ask("rr.example.com.", kTypeA).answer), order);
  for (int i = 102; i >= 1; --i) Add(zone, "many.example.com.", kTypeA, "10.1.0." + std::to_string(i));
  Ask("many.example.com.", kTypeA);
  // 102 addresses fit no UDP reply; the run of 100 wrapped.
  const std::vector<std::string> second =
      Datas(ReadReply(Written(TcpClient{"10.0.0.9", 1, std::nullopt}, "many.example.com.", kTypeA)).answer);
  ASSERT_EQ(second.size(), 102u);
  EXPECT_THAT((std::vector{second[0], second[99], second[100], second[101]}),
              ElementsAre("10.1.0.2", "10.1.0.1", "10.1.0.101", "10.1.0.102"));
}

// A reply over the client's limit is cut after a whole RRset; TC is set
// unless only additional records had to go.
TEST_F(AnswerTest, RepliesAreCutToTheClientsLimitAtWholeRRsets) {
  for (int i = 0; i < 10; ++i)
    Add(zone, "big.example.com.", kTypeTXT, MakeTxtData({std::string(200, 'a' + i)}));
  Add(zone, "big.example.com.", kTypeA, "192.0.2.7");
  Add(zone, "example.com.", kTypeMX, MakeMxData({10, "big.example.com."}));
  for (int i = 1; i <= 40; ++i) Add(zone, "big.example.com.", kTypeAAAA, std::string(15, '\x20') + char(i));
  // The client, the question, then TC, the answers and additional records
  // kept, and the most octets the reply may have.
  const std::tuple<std::string, RequestOrigin, std::string, int32_t, bool, size_t, size_t, size_t> cases[] = {
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
  for (const auto& [what, client, name, type, tc, answers, additional, most] : cases) {
    SCOPED_TRACE(what);
    const std::string reply = Written(client, name, type);
    const Message r = ReadReply(reply);
    EXPECT_EQ(r.header.TC(), tc);
    EXPECT_EQ(r.answer.size(), answers);
    EXPECT_EQ(r.additional.size(), additional);
    EXPECT_LE(reply.size(), most);
  }
}

TEST_F(AnswerTest, NamesInRecordDataAreCompressedAgainstTheMessage) {
  Add(zone, "example.com.", kTypeMX, MakeMxData({10, "mx.example.com."}));
  Add(zone, "mx.example.com.", kTypeA, "192.0.2.25");
  EXPECT_THAT(Datas(Ask("example.com.", kTypeMX).additional), ElementsAre("192.0.2.25"));
  ASSERT_EQ(sender.answers.size(), 1u);
  const std::string& msg = sender.answers[0].msg;
  EXPECT_EQ(msg.find(Octets({2, "mx", 7, "example", 3, "com", 0})), std::string::npos);
  EXPECT_NE(msg.find(Octets({0, 10, 2, "mx", 0xC0, 12})), std::string::npos);  // in the MX data
}

TEST_F(AnswerTest, UnsupportedQueriesGetTheQueryBackAsNotImplemented) {
  const std::tuple<std::string, std::string, std::string> cases[] = {
      // query, log, topic
      // An inverse query (opcode 1): opcode and RD kept, QR set, RA + RCODE 4.
      {Octets({0xAB, 0xCD, 0x09, 0x00, 0, 1, 0, 0, 0, 0, 0, 0, 1, "a", 0, 0, 1, 0, 1}),
       "Inverse Query Request from 10.0.0.9", "Inverse Query Request"},
      {Query(0x0102, "version.bind.", 16, 3), "DNS Request from 10.0.0.9 for CHAOS class record",
       "CHAOS class record"},
      {Query(0x0103, "Example.COM.", 252), "Request from 10.0.0.9 for AXFR-record for example.com.",
       "AXFR-record for example.com."},
  };
  for (const auto& [sent, log, topic] : cases) {
    SCOPED_TRACE(topic);
    sender.answers.clear();
    ctx.log.LogBuffer.clear();
    const std::string query = sent + "trailing";  // echoed too
    ProcDNSRequest(q, "10.0.0.9", 4000, query);
    ASSERT_EQ(sender.answers.size(), 1u);
    std::string expected = query;
    expected[2] = static_cast<char>(query[2] | 0x80);
    expected[3] = '\x84';
    EXPECT_EQ(sender.answers[0].msg, expected);
    EXPECT_EQ(sender.answers[0].port, 4000);
    EXPECT_THAT(Logged(),
                ElementsAre(log, "Sending answer to 10.0.0.9 about " + topic, "-> Header: Not implemented."));
  }
}

// An OPT record: owner, type 41, payload as class, extended RCODE, version,
// flags, then the options.
std::string Opt(int payload, int version, const std::string& owner = Octets({0}),
                const std::string& options = "") {
  return owner +
         Octets(
             {0, 41, payload >> 8, payload & 0xFF, 0, version, 0, 0, 0, static_cast<int>(options.size())}) +
         options;
}

TEST_F(AnswerTest, TheOptRecordOfAQueryIsAnsweredInKind) {
  Add(zone, "www.example.com.", kTypeA, "192.0.2.80");
  const std::string query = Query(9, "www.example.com.", kTypeA);
  const std::string our_opt = Octets({0, 0, 41, 0x04, 0xD0, 0, 0, 0, 0, 0, 0});
  const std::string badvers_opt = Octets({0, 0, 41, 0x04, 0xD0, 1, 0, 0, 0, 0, 0});
  // The records after the question and the query's ANCOUNT and ARCOUNT;
  // the reply's RCODE, answers and last octets.
  const std::tuple<std::string, std::string, int, int, int, size_t, std::string> cases[] = {
      {"no OPT", "", 0, 0, 0, 1, ""},
      {"OPT with an unknown option", Opt(4096, 0, Octets({0}), Octets({0xFD, 0xE9, 0, 2, "xy"})), 0, 1, 0, 1,
       our_opt},
      {"version 1", Opt(1232, 1), 0, 1, 0, 0, badvers_opt},
      {"two OPT records", Opt(1232, 0) + Opt(512, 0), 0, 2, 1, 0, ""},
      {"OPT in the answer section", Opt(1232, 0), 1, 0, 1, 0, ""},
      {"OPT not owned by the root", Opt(1232, 0, Octets({1, "a", 0})), 0, 1, 1, 0, ""},
  };
  for (const auto& [what, records, ancount, arcount, rcode, answers, opt] : cases) {
    SCOPED_TRACE(what);
    sender.answers.clear();
    std::string msg = query + records;
    msg[header::kAnCount + 1] = static_cast<char>(ancount);
    msg[header::kArCount + 1] = static_cast<char>(arcount);
    ProcDNSRequest(q, "10.0.0.9", 4000, msg);
    ASSERT_EQ(sender.answers.size(), 1u);
    const std::string& reply = sender.answers[0].msg;
    const Message r = ReadReply(reply);
    EXPECT_EQ(r.header.RCode(), rcode);
    EXPECT_EQ(r.answer.size(), answers);
    EXPECT_EQ(r.question.name, "www.example.com.");
    EXPECT_EQ(r.header.arcount, opt.empty() ? 0 : 1);
    EXPECT_EQ(reply.substr(reply.size() - opt.size()), opt);
  }
}

TEST_F(AnswerTest, IncompleteRequestsAreCountedInTheirSecondLoggedAndNotAnswered) {
  const int second = ToCalendar(ctx.Now()).second;
  ctx.state.PerSecond[(second + 1) % 60] = 5;
  ProcDNSRequest(q, "10.0.0.9", 4000, Octets({0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));  // no question
  ProcDNSRequest(q, "10.0.0.9", 4000, Octets({0, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, "a", 0, 0, 1, 0}));
  EXPECT_TRUE(sender.answers.empty());
  EXPECT_THAT(Logged(),
              ElementsAre("Incomplete DNS Request from 10.0.0.9", "Incomplete DNS Request from 10.0.0.9"));
  EXPECT_EQ(ctx.state.RequestCount, 2);
  EXPECT_EQ(ctx.state.PerSecond[second], 2);
  EXPECT_EQ(ctx.state.PerSecond[(second + 1) % 60], 0);
}

TEST_F(AnswerTest, NotifyIsHandledOnlyForSoa) {
  ProcDNSRequest(q, "10.0.0.5", 53, Query(8, "example.net.", kTypeA, 1, 0x20));
  EXPECT_TRUE(sender.answers.empty());
  ProcDNSRequest(q, "10.0.0.5", 53, Query(7, "example.com.", kTypeSOA, 1, 0x20));
  EXPECT_EQ(sender.answers.size(), 1u);
  EXPECT_EQ(Logged().front(), "Zone Update Notification from 10.0.0.5 about example.com.");
}

TEST_F(AnswerTest, QueryAndReplyAreLoggedWithTheirRecords) {
  Add(zone, "www.example.com.", kTypeA, "192.0.2.80");
  ProcDNSRequest(q, "10.0.0.9", 4000, Query(5, "WWW.example.com.", kTypeA));
  ProcDNSRequest(q, "10.0.0.9", 4000, Query(6, "www.example.com.", kTypeMX));
  EXPECT_THAT(Logged(),
              ElementsAre("Request from 10.0.0.9 for A-record for www.example.com.",
                          "Sending reply to 10.0.0.9 about A-record for www.example.com.:",
                          "-> Answer: A-record for www.example.com. = 192.0.2.80",
                          "Request from 10.0.0.9 for MX-record for www.example.com.",
                          "Sending reply to 10.0.0.9 about MX-record for www.example.com.:",
                          "-> Answer: There are no MX-Records for www.example.com.",
                          "-> Authority: SOA-record for example.com. = ns1.example.com. (Serial 7)"));
}

}  // namespace
}  // namespace vell::test
