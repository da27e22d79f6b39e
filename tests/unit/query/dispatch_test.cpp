// What ProcDNSRequest answers at once, and what it logs.
#include "query_fixture.h"

namespace vell::test {
namespace {

using ::testing::ElementsAre;

class DispatchTest : public QueryTest {};

TEST_F(DispatchTest, UnsupportedQueriesGetTheQueryBackAsNotImplemented) {
  struct Case {
    std::string query;
    std::string log;
    std::string topic;
  };
  const Case cases[] = {
      // An inverse query (opcode 1): opcode and RD kept, QR set, RA + RCODE 4.
      {Octets({0xAB, 0xCD, 0x09, 0x00, 0, 1, 0, 0, 0, 0, 0, 0, 1, "a", 0, 0, 1, 0, 1}),
       "Inverse Query Request from 10.0.0.9", "Inverse Query Request"},
      {Query(0x0102, "version.bind.", 16, 3), "DNS Request from 10.0.0.9 for CHAOS class record",
       "CHAOS class record"},
      {Query(0x0103, "Example.COM.", 252), "Request from 10.0.0.9 for AXFR-record for example.com.",
       "AXFR-record for example.com."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.topic);
    sender.answers.clear();
    ctx.log.LogBuffer.clear();
    // Octets after the question are echoed too.
    const std::string query = c.query + "trailing";
    ProcDNSRequest(q, "10.0.0.9", 4000, query);
    ASSERT_EQ(sender.answers.size(), 1u);
    std::string expected = query;
    expected[2] = static_cast<char>(query[2] | 0x80);
    expected[3] = '\x84';
    EXPECT_EQ(sender.answers[0].msg, expected);
    EXPECT_EQ(sender.answers[0].port, 4000);
    EXPECT_THAT(Logged(), ElementsAre(c.log, "Sending answer to 10.0.0.9 about " + c.topic,
                                      "-> Header: Not implemented."));
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

TEST_F(DispatchTest, TheOptRecordOfAQueryIsAnsweredInKind) {
  Add(ExampleZone(), "www.example.com.", kTypeA, "192.0.2.80");
  const std::string query = Query(9, "www.example.com.", kTypeA);
  const std::string our_opt = Octets({0, 0, 41, 0x04, 0xD0, 0, 0, 0, 0, 0, 0});
  const std::string badvers_opt = Octets({0, 0, 41, 0x04, 0xD0, 1, 0, 0, 0, 0, 0});
  struct Case {
    std::string what;
    std::string records;   // after the question
    int ancount, arcount;  // of the query
    int rcode, answers;
    std::string opt;  // the reply's last octets
  } cases[] = {
      {"no OPT", "", 0, 0, 0, 1, ""},
      {"OPT with an unknown option", Opt(4096, 0, Octets({0}), Octets({0xFD, 0xE9, 0, 2, "xy"})), 0, 1, 0, 1,
       our_opt},
      {"version 1", Opt(1232, 1), 0, 1, 0, 0, badvers_opt},
      {"two OPT records", Opt(1232, 0) + Opt(512, 0), 0, 2, 1, 0, ""},
      {"OPT in the answer section", Opt(1232, 0), 1, 0, 1, 0, ""},
      {"OPT not owned by the root", Opt(1232, 0, Octets({1, "a", 0})), 0, 1, 1, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sender.answers.clear();
    std::string msg = query + c.records;
    msg[header::kAnCount + 1] = static_cast<char>(c.ancount);
    msg[header::kArCount + 1] = static_cast<char>(c.arcount);
    ProcDNSRequest(q, "10.0.0.9", 4000, msg);
    ASSERT_EQ(sender.answers.size(), 1u);
    const std::string& reply = sender.answers[0].msg;
    const Message r = ReadReply(reply);
    EXPECT_EQ(r.header.RCode(), c.rcode);
    EXPECT_EQ(r.answer.size(), static_cast<size_t>(c.answers));
    EXPECT_EQ(r.question.name, "www.example.com.");
    EXPECT_EQ(r.header.arcount, c.opt.empty() ? 0 : 1);
    EXPECT_EQ(reply.substr(reply.size() - c.opt.size()), c.opt);
  }
}

TEST_F(DispatchTest, IncompleteRequestsAreLoggedAndNotAnswered) {
  const std::string no_question = Octets({0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  const std::string cut_question = Octets({0, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, "a", 0, 0, 1, 0});
  for (const std::string& query : {no_question, cut_question}) {
    ProcDNSRequest(q, "10.0.0.9", 4000, query);
  }
  EXPECT_TRUE(sender.answers.empty());
  EXPECT_THAT(Logged(),
              ElementsAre("Incomplete DNS Request from 10.0.0.9", "Incomplete DNS Request from 10.0.0.9"));
  EXPECT_EQ(ctx.state.RequestCount, 2);
}

TEST_F(DispatchTest, EveryQueryCountsInItsSecond) {
  const int second = ToCalendar(ctx.Now()).second;
  ctx.state.PerSecond[(second + 1) % 60] = 5;
  ProcDNSRequest(q, "10.0.0.9", 4000, Query(1, "a.", 99));
  ProcDNSRequest(q, "10.0.0.9", 4000, Query(2, "a.", 1, 3));
  EXPECT_EQ(ctx.state.RequestCount, 2);
  EXPECT_EQ(ctx.state.PerSecond[second], 2);
  EXPECT_EQ(ctx.state.PerSecond[(second + 1) % 60], 0);
}

TEST_F(DispatchTest, NotifyIsHandledOnlyForSoa) {
  ProcDNSRequest(q, "10.0.0.5", 53, Query(8, "example.net.", kTypeA, 1, 0x20));
  EXPECT_TRUE(sender.answers.empty());
  ProcDNSRequest(q, "10.0.0.5", 53, Query(7, "example.com.", kTypeSOA, 1, 0x20));
  EXPECT_EQ(sender.answers.size(), 1u);
  EXPECT_EQ(Logged().front(), "Zone Update Notification from 10.0.0.5 about example.com.");
}

TEST_F(DispatchTest, QueryAndReplyAreLoggedWithTheirRecords) {
  auto zone = ExampleZone();
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
