// Servers that fail, lie, point back at us or stay silent, and forwarders.
#include <map>
#include <set>

#include "resolver_fixture.h"

namespace vell::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsSupersetOf;
using ::testing::Not;

class FailingServersTest : public ResolverTest {
 protected:
  // The address every query went to, in order.
  std::vector<std::string> Asked() const {
    std::vector<std::string> ips;
    for (const auto& q : sender.requests) ips.push_back(q.ip);
    return ips;
  }
  bool CachedNS(const std::string& zone, const std::string& server) const {
    for (const RecordPtr& r : ctx.Cache.Records().items()) {
      if (r->Name == zone && r->RecType == kTypeNS && r->Data == server) return true;
    }
    return false;
  }
};

TEST_F(FailingServersTest, LameReferralsAreLoggedAndForgottenFailingServersDropped) {
  ClientAsks("www.example.com.");
  Respond(0x80, 0, {},
          {{"com.", kTypeNS, "a.gtld."}, {"com.", kTypeNS, "b.gtld."}, {"com.", kTypeNS, "c.gtld."}},
          {{"a.gtld.", kTypeA, "198.51.100.2"},
           {"b.gtld.", kTypeA, "198.51.100.4"},
           {"c.gtld.", kTypeA, "198.51.100.6"}});
  // Whichever order they are asked in: one refers back up (not closer),
  // one to servers inside the zone without glue, one fails outright.
  for (int i = 0; i < 3; ++i) {
    const std::string ip = LastQuery().ip;
    if (ip == "198.51.100.2") Refer("com.", "a.gtld.", "198.51.100.2");
    if (ip == "198.51.100.4") Refer("example.com.", "ns1.example.com.");
    if (ip == "198.51.100.6") Respond(0x80, 2, {});
  }
  const std::vector<std::string> asked = Asked();
  EXPECT_THAT(std::set<std::string>(asked.begin() + 1, asked.end()),
              ElementsAre("198.51.100.2", "198.51.100.4", "198.51.100.6"));
  EXPECT_THAT(Logged(), IsSupersetOf({"** Error: Lame delegation for com. on a.gtld. (198.51.100.2)",
                                      "** Error: Lame delegation for com. on b.gtld. (198.51.100.4)",
                                      "-> Header: Server Failure."}));
  EXPECT_FALSE(CachedNS("com.", "a.gtld."));
  EXPECT_FALSE(CachedNS("com.", "b.gtld."));
  EXPECT_EQ(ClientReply().header.RCode(), 2);
}

TEST_F(FailingServersTest, ATruncatedAnswerIsAskedAgainOverTcpUnderTheRequestsTimeOut) {
  ClientAsks("www.example.com.");
  const std::string udp = LastQuery().msg;
  Respond(0x86, 0, {});  // TC
  ASSERT_EQ(sender.tcp_requests.size(), 1u);
  const std::string tcp = sender.tcp_requests[0].msg;
  EXPECT_EQ(sender.tcp_requests[0].ip, "198.51.100.1");
  EXPECT_EQ(tcp.substr(2), udp.substr(2)) << "the same question and OPT";
  // Silence over TCP: the timer asks again over UDP, as after a lost datagram.
  Tick();
  EXPECT_THAT(Asked(), ElementsAre("198.51.100.1", "198.51.100.1"));
  // The TCP answer still counts, truncated or not: it is never asked for again.
  ProcDNSAnswer(q, "198.51.100.1", ResponseTo(tcp, 0x86, 0, {{"www.example.com.", kTypeA, "192.0.2.80"}}),
                Transport::kTcp);
  EXPECT_THAT(Datas(ClientReply().answer), ElementsAre("192.0.2.80"));
  EXPECT_EQ(sender.tcp_requests.size(), 1u);
}

TEST_F(FailingServersTest, AServerRejectingOurOptIsAskedOnceWithoutIt) {
  struct Case {
    const char* rejection;
    int rcode;
    bool badvers;  // RCODE 16: its high bits in an OPT record
  };
  for (const Case& c : {Case{"FORMERR", 1, false}, Case{"NOTIMP", 4, false}, Case{"BADVERS", 0, true}}) {
    SCOPED_TRACE(c.rejection);
    sender.answers.clear();
    ClientAsks(std::string("www.") + c.rejection + ".example.");
    const auto reject = [&] {
      std::string r = ResponseTo(LastQuery().msg, 0x80, c.rcode, {});
      if (c.badvers) r = r.substr(0, 11) + '\x01' + r.substr(12) + OptRecord(1);
      ProcDNSAnswer(q, LastQuery().ip, r);
    };
    const size_t asked = sender.requests.size();
    reject();
    ASSERT_EQ(sender.requests.size(), asked + 1);
    EXPECT_EQ(LastQuery().ip, "198.51.100.1");
    EXPECT_EQ(ReadEdns(ctx.errors, LastQuery().msg).status, EdnsQuery::Status::kAbsent);
    reject();  // without OPT too: the server fails
    EXPECT_EQ(sender.requests.size(), asked + 1);
    EXPECT_EQ(ClientReply().header.RCode(), 2);
  }
}

TEST_F(FailingServersTest, ADelegationToThisServerIsSkipped) {
  Hint(".", kTypeNS, "self.root.");
  Hint("self.root.", kTypeA, "127.0.0.1");
  ClientAsks("www.example.com.");
  Tick();  // by now both have had their turn
  EXPECT_THAT(Asked(), ElementsAre("198.51.100.1", "198.51.100.1"));
  EXPECT_THAT(Logged(), Contains("** Error: Lame delegation on this server (127.0.0.1) for ."));
}

TEST_F(FailingServersTest, SilentServersAreAskedInTurnsAndDroppedAfterTheirFifthQuery) {
  Hint(".", kTypeNS, "b.root.");
  Hint("b.root.", kTypeA, "198.51.100.9");
  ClientAsks("www.example.com.");
  for (int i = 0; i < 9; ++i) Tick();
  ASSERT_EQ(sender.requests.size(), 10u);
  EXPECT_TRUE(sender.answers.empty());
  // Least asked first: every pair of queries is one round over both.
  for (size_t i = 0; i < 10; i += 2) {
    EXPECT_THAT((std::set{Asked()[i], Asked()[i + 1]}), ElementsAre("198.51.100.1", "198.51.100.9"));
  }
  Tick();
  EXPECT_EQ(ClientReply().header.RCode(), 2);
  EXPECT_EQ(sender.requests.size(), 10u);
}

TEST_F(FailingServersTest, AResponseArrivingAfterItsTimeOutStillCounts) {
  ClientAsks("www.example.com.");
  const std::string first = LastQuery().msg;
  Tick();  // the only server is asked again
  ASSERT_EQ(sender.requests.size(), 2u);
  ProcDNSAnswer(q, "198.51.100.1", ResponseTo(first, 0x84, 0, {{"www.example.com.", kTypeA, "192.0.2.80"}}));
  EXPECT_THAT(Datas(ClientReply().answer), ElementsAre("192.0.2.80"));
}

TEST_F(FailingServersTest, AYoungClientRequestKeepsCyclingUntilMinTimeOut) {
  ctx.settings.MINTIMEOUT = 8;
  ClientAsks("www.example.com.");
  for (int i = 0; i < 8; ++i) Tick();
  EXPECT_EQ(sender.requests.size(), 9u);  // the fifth query did not drop the server
  EXPECT_TRUE(sender.answers.empty());
  for (int i = 0; i < 2; ++i) Tick();
  EXPECT_EQ(ClientReply().header.RCode(), 2);
}

class ForwardingTest : public FailingServersTest {
 protected:
  ForwardingTest() {
    ctx.settings.RECURSIONOUT = true;
    ctx.settings.NS = {"192.0.2.53", "192.0.2.54"};
  }
};

TEST_F(ForwardingTest, ForwardersAreAskedWithRecursionDesiredAndTheirAnswerIsFinal) {
  ClientAsks("www.example.com.");
  EXPECT_EQ(ReadReply(LastQuery().msg).header.flags1, 0x01);
  // Not authoritative and no answer: still final from a forwarder.
  Respond(0x80, 0, {}, {{"example.com.", kTypeNS, "ns1.example.com."}});
  const Message r = ClientReply();
  EXPECT_EQ(r.header.RCode(), 0);
  EXPECT_TRUE(r.answer.empty());
  EXPECT_THAT(Logged(), Contains("-> Answer: No Matching Records exist!"));
  EXPECT_EQ(sender.requests.size(), 1u);
}

TEST_F(ForwardingTest, ForwardersThatNeverAnswerEndInServerFailureAfterFiveQueriesEach) {
  ClientAsks("www.example.com.");
  for (int i = 0; i < 10; ++i) Tick();
  ASSERT_EQ(sender.requests.size(), 10u);
  std::map<std::string, int> per_forwarder;
  for (const std::string& ip : Asked()) ++per_forwarder[ip];
  EXPECT_THAT(per_forwarder, ElementsAre(std::pair{"192.0.2.53", 5}, std::pair{"192.0.2.54", 5}));
  EXPECT_EQ(ClientReply().header.RCode(), 2);
  for (const std::string ip : {"192.0.2.53", "192.0.2.54"}) {
    EXPECT_THAT(Logged(),
                Contains("Sending request to Forward-DNS (" + ip + ") for A-record for www.example.com."));
  }
}

TEST_F(ResolverTest, WithSpoofSecureRecordsOutsideTheAskedZoneAreNeitherUsedNorCached) {
  ctx.settings.SPOOFSECURE = true;
  ClientAsks("www.example.com.");
  Refer("example.com.", "ns1.example.com.", "198.51.100.3");
  Respond(0x84, 0, {{"www.example.com.", kTypeA, "192.0.2.80"}, {"bank.example.org.", kTypeA, "6.6.6.6"}}, {},
          {{"ns1.example.com.", kTypeA, "198.51.100.3"}, {"mail.example.org.", kTypeA, "6.6.6.7"}});
  const Message r = ClientReply();
  EXPECT_THAT(Datas(r.answer), ElementsAre("192.0.2.80"));
  EXPECT_THAT(Datas(r.additional), ElementsAre("198.51.100.3"));
  for (const RecordPtr& cached : ctx.Cache.Records().items()) {
    EXPECT_THAT(cached->Name, Not(::testing::EndsWith("example.org.")));
  }
  EXPECT_EQ(
      ctx.Cache.Ask("www.example.com.", kTypeA, Recursion::kDesired, LookupKind::kQuick)->Section2.size(),
      1u);
}

}  // namespace
}  // namespace vell::test
