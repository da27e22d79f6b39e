// Recursion without a network: who may use it (DNSRECURSION), what the
// others get, and the resolver against scripted servers. The recording
// sender captures every outgoing query, the test answers it through
// ProcDNSAnswer, and the fake clock with the timer's walk stands in for
// silence. Referrals, sub-requests and CNAME restarts through real servers
// are the system test test_recursion.py.
#include <filesystem>
#include <set>

#include "dns/names.h"
#include "query/request_queue.h"
#include "query_fixture.h"

namespace vell::test {
namespace {

using ::testing::IsSupersetOf;

TEST_F(QueryTest, TheRABitFollowsTheRecursionPattern) {
  ctx.LocalIPs = {"192.0.2.7"};
  const std::tuple<std::string, std::string, bool> rows[] = {
      // pattern, client, allowed
      {"<all>", "10.1.1.1", true},
      {"", "10.1.1.1", true},
      {"<none>", "10.1.1.1", false},
      {"<none>", "127.0.0.1", true},
      {"<none>", "192.0.2.7", true},
      {"10.0.0.1", "192.0.2.7", true},
      {"192.168.*", "192.168.5.5", true},
      {"192.168.*", "192.169.0.1", false},
      // A plain text prefix, not a net: 192.168.1 admits 192.168.10.x too.
      {"192.168.1", "192.168.10.1", true},
      {"192.168.1", "192.168.2.1", false},
      {"192.168.1.50", "192.168.1.5", false},
      {"*", "10.9.9.9", true},
  };
  for (const auto& [pattern, client, allowed] : rows) {
    ctx.settings.DNSRECURSION = pattern;
    EXPECT_EQ(Ask("nowhere.test.", kTypeA, 0x00, client).header.RA(), allowed) << pattern << " " << client;
  }
}

// A client without recursion gets the referral the zones hold, and is
// refused what only the cache knows.
TEST_F(QueryTest, WhatAClientWithAndWithoutRecursionIsAnswered) {
  auto zone = ExampleZone();
  Add(zone, "sub.example.com.", kTypeNS, "ns.sub.example.com.");
  Add(zone, "ns.sub.example.com.", kTypeA, "192.0.2.53");
  Add(AddZone("example.net."), "web.example.net.", kTypeCNAME, "www.example.org.");
  ctx.Cache.AddRec(
      MakeRecord(ctx.clock, Lifetime::kLearnt, "www.example.org.", kTypeA, IPToData("192.0.2.80"), 600));
  ctx.settings.DNSRECURSION = "192.168.*";
  const struct {
    std::string name, client;
    unsigned flags1, flags2;
    std::vector<std::string> answer, authority, additional;
  } rows[] = {
      {"host.sub.example.com.",
       "10.0.0.9",
       0x81,
       0x00,
       {},
       {"sub.example.com. 2 3600 ns.sub.example.com."},
       {"ns.sub.example.com. 1 3600 192.0.2.53"}},
      {"www.example.org.", "10.0.0.9", 0x81, header::kRCodeRefused, {}, {}, {}},
      {"web.example.net.", "10.0.0.9", 0x85, 0x00, {"web.example.net. 5 3600 www.example.org."}, {}, {}},
      {"www.example.org.", "192.168.0.3", 0x81, 0x80, {"www.example.org. 1 600 192.0.2.80"}, {}, {}},
      // Nothing is known about the name: no delegation to start from.
      {"nowhere.test.", "192.168.0.3", 0x81, 0x82, {}, {}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name + " from " + row.client);
    const Message r = Ask(row.name, kTypeA, 0x01, row.client);
    EXPECT_EQ(r.header.flags1, row.flags1);
    EXPECT_EQ(r.header.flags2, row.flags2);
    EXPECT_EQ(Lines(r.answer), row.answer);
    EXPECT_EQ(Lines(r.authority), row.authority);
    EXPECT_EQ(Lines(r.additional), row.additional);
  }
  EXPECT_TRUE(sender.requests.empty());
}

// A record of a scripted response: data is a dotted address for A, a name
// for NS and CNAME, the zone's primary name for SOA.
struct Rr {
  std::string name;
  int type;
  std::string data;
};

// The response of a name server to query: its identifier and question,
// flags1 0x84 for an authoritative answer, 0x80 for a referral.
std::string ResponseTo(const std::string& query, int flags1, int rcode, const std::vector<Rr>& answer,
                       const std::vector<Rr>& authority = {}, const std::vector<Rr>& additional = {}) {
  RecordingErrorSink sink;
  const auto count = [](const std::vector<Rr>& v) { return Octets({0, static_cast<int>(v.size())}); };
  // The question alone: our queries end in an OPT record.
  const size_t opt = ReadEdns(sink, query).status == EdnsQuery::Status::kAbsent ? 0 : OptRecord().size();
  std::string msg = query.substr(0, 2) + Octets({flags1, rcode, 0, 1}) + count(answer) + count(authority) +
                    count(additional) + query.substr(12, query.size() - 12 - opt);
  for (const auto* section : {&answer, &authority, &additional}) {
    for (const Rr& rr : *section) {
      std::string rdata = rr.type == kTypeA ? IPToData(rr.data) : ZipName(sink, "", rr.data);
      if (rr.type == kTypeSOA)
        rdata += ZipName(sink, "", "admin." + rr.data) + std::string(19, '\0') + "\x3c";
      msg += ZipName(sink, "", rr.name) + Octets({0, rr.type, 0, 1, 0, 0, 0x0E, 0x10, 0}) +
             static_cast<char>(rdata.size()) + rdata;
    }
  }
  return msg;
}

// No root hints; every client may use recursion.
class ScriptedServersTest : public QueryTest {
 protected:
  ScriptedServersTest() { ctx.settings.DNSRECURSION = "<all>"; }
  // A permanent cache record, as the root hints are.
  void Hint(const std::string& name, int32_t type, const std::string& data) {
    ctx.Cache.AddRec(MakeRecord(ctx.clock, Lifetime::kPermanent, name, type,
                                type == kTypeA ? IPToData(data) : data, 3600000));
  }
  // The client 10.0.0.9 asks with RD set; no reply is expected yet.
  void ClientAsks(const std::string& name) {
    ProcDNSRequest(q, "10.0.0.9", 5353, Query(0x4242, name, kTypeA));
  }
  const RecordingSender::Sent& LastQuery() const { return sender.requests.back(); }
  // The server the last query went to answers it.
  void Respond(int flags1, int rcode, const std::vector<Rr>& answer, const std::vector<Rr>& authority = {},
               const std::vector<Rr>& additional = {}) {
    ProcDNSAnswer(q, LastQuery().ip,
                  ResponseTo(LastQuery().msg, flags1, rcode, answer, authority, additional));
  }
  void Refer(const std::string& zone, const std::string& server, const std::string& glue = {}) {
    std::vector<Rr> additional;
    if (!glue.empty()) additional.push_back({server, kTypeA, glue});
    Respond(0x80, 0, {}, {{zone, kTypeNS, server}}, additional);
  }
  // One tick of the timer, a second later.
  void Tick() {
    t.clock.AdvanceSeconds(1);
    q.Requests.RequestTimeOuts();
  }
  // The address every query went to, in order.
  std::vector<std::string> Asked() const {
    std::vector<std::string> ips;
    for (const auto& sent : sender.requests) ips.push_back(sent.ip);
    return ips;
  }
};

// One root server, a.root. at 198.51.100.1.
class ResolverTest : public ScriptedServersTest {
 protected:
  ResolverTest() {
    Hint(".", kTypeNS, "a.root.");
    Hint("a.root.", kTypeA, "198.51.100.1");
  }
};

TEST_F(ResolverTest, LameReferralsAreLoggedAndForgottenFailingServersDropped) {
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
  EXPECT_EQ(Cached("com.", kTypeNS, "a.gtld."), nullptr);
  EXPECT_EQ(Cached("com.", kTypeNS, "b.gtld."), nullptr);
  EXPECT_EQ(OnlyReply().header.RCode(), 2);
}

// An answer after the timer asked again still counts.
TEST_F(ResolverTest, ATruncatedAnswerIsAskedAgainOverTcpUnderTheRequestsTimeOut) {
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
  // The TCP answer counts, truncated or not: it is never asked for again.
  ProcDNSAnswer(q, "198.51.100.1", ResponseTo(tcp, 0x86, 0, {{"www.example.com.", kTypeA, "192.0.2.80"}}),
                Transport::kTcp);
  EXPECT_THAT(Datas(OnlyReply().answer), ElementsAre("192.0.2.80"));
  EXPECT_EQ(sender.tcp_requests.size(), 1u);
}

TEST_F(ResolverTest, AServerRejectingOurOptIsAskedOnceWithoutIt) {
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
    EXPECT_EQ(OnlyReply().header.RCode(), 2);
  }
}

TEST_F(ResolverTest, ADelegationToThisServerIsSkipped) {
  Hint(".", kTypeNS, "self.root.");
  Hint("self.root.", kTypeA, "127.0.0.1");
  ClientAsks("www.example.com.");
  Tick();  // by now both have had their turn
  EXPECT_THAT(Asked(), ElementsAre("198.51.100.1", "198.51.100.1"));
  EXPECT_THAT(Logged(), Contains("** Error: Lame delegation on this server (127.0.0.1) for ."));
}

TEST_F(ScriptedServersTest, ASubRequestFromTheRootThatMeetsAnAddresslessRootServerDropsIt) {
  Hint(".", kTypeNS, "b.root.");  // hints without an address
  ClientAsks("www.example.com.");
  EXPECT_TRUE(sender.requests.empty());
  EXPECT_EQ(OnlyReply().header.RCode(), 2);
  EXPECT_FALSE(std::filesystem::exists(ctx.Path("support.txt")));
}

// Silent servers and forwarders are asked in turns, least asked first, and
// each dropped after its fifth query; then the client gets server failure.
TEST_F(ResolverTest, SilentServersAreAskedInTurnsAndDroppedAfterTheirFifthQuery) {
  for (const bool forwarders : {false, true}) {
    SCOPED_TRACE(forwarders ? "forwarders" : "root servers");
    t.clock.AdvanceSeconds(60);
    q.Requests.RequestTimeOuts();
    sender.requests.clear();
    sender.answers.clear();
    ctx.settings.RECURSIONOUT = forwarders;
    ctx.settings.NS = {"192.0.2.53", "192.0.2.54"};
    if (!forwarders) {
      Hint(".", kTypeNS, "b.root.");
      Hint("b.root.", kTypeA, "198.51.100.9");
    }
    const std::set<std::string> servers = forwarders ? std::set<std::string>{"192.0.2.53", "192.0.2.54"}
                                                     : std::set<std::string>{"198.51.100.1", "198.51.100.9"};
    ClientAsks(forwarders ? "www.example.net." : "www.example.com.");
    for (int i = 0; i < 9; ++i) Tick();
    ASSERT_EQ(sender.requests.size(), 10u);
    EXPECT_TRUE(sender.answers.empty());
    for (size_t i = 0; i < 10; i += 2) EXPECT_EQ((std::set{Asked()[i], Asked()[i + 1]}), servers);
    Tick();
    EXPECT_EQ(OnlyReply().header.RCode(), 2);
    EXPECT_EQ(sender.requests.size(), 10u);
  }
  EXPECT_THAT(Logged(),
              Contains("Sending request to Forward-DNS (192.0.2.54) for A-record for www.example.net."));
}

TEST_F(ResolverTest, AYoungClientRequestKeepsCyclingUntilMinTimeOut) {
  ctx.settings.MINTIMEOUT = 8;
  ClientAsks("www.example.com.");
  q.Requests.RequestTimeOuts();  // not yet timed out: not asked again
  for (int i = 0; i < 8; ++i) Tick();
  EXPECT_EQ(sender.requests.size(), 9u);  // the fifth query did not drop the server
  EXPECT_TRUE(sender.answers.empty());
  for (int i = 0; i < 2; ++i) Tick();
  EXPECT_EQ(OnlyReply().header.RCode(), 2);
}

TEST_F(ResolverTest, ANameErrorIsAnAnswerNotAFailingServer) {
  ClientAsks("www.example.com.");
  Respond(0x84, 3, {}, {{"com.", kTypeSOA, "a.gtld."}});
  EXPECT_EQ(OnlyReply().header.RCode(), 3);
}

TEST_F(ResolverTest, ForwardersAreAskedWithRecursionDesiredAndTheirAnswerIsFinal) {
  ctx.settings.RECURSIONOUT = true;
  ctx.settings.NS = {"192.0.2.53", "192.0.2.54"};
  ClientAsks("www.example.com.");
  EXPECT_EQ(ReadReply(LastQuery().msg).header.flags1, 0x01);
  // Not authoritative and no answer: still final from a forwarder.
  Respond(0x80, 0, {}, {{"example.com.", kTypeNS, "ns1.example.com."}});
  const Message r = OnlyReply();
  EXPECT_EQ(r.header.RCode(), 0);
  EXPECT_TRUE(r.answer.empty());
  EXPECT_THAT(Logged(), Contains("-> Answer: No Matching Records exist!"));
  EXPECT_EQ(sender.requests.size(), 1u);
}

TEST_F(ResolverTest, WithSpoofSecureRecordsOutsideTheAskedZoneAreNeitherUsedNorCached) {
  ctx.settings.SPOOFSECURE = true;
  ClientAsks("www.example.com.");
  // An address in the authority section delegates nothing.
  Respond(0x80, 0, {},
          {{"example.com.", kTypeNS, "ns1.example.com."}, {"ns1.example.com.", kTypeA, "198.51.100.3"}},
          {{"ns1.example.com.", kTypeA, "198.51.100.3"}});
  Respond(0x84, 0, {{"www.example.com.", kTypeA, "192.0.2.80"}, {"bank.example.org.", kTypeA, "6.6.6.6"}}, {},
          {{"ns1.example.com.", kTypeA, "198.51.100.3"}, {"mail.example.org.", kTypeA, "6.6.6.7"}});
  EXPECT_EQ(ReadReply(sender.requests[0].msg).header.flags1, 0) << "iterative: RD clear";
  const Message r = OnlyReply();
  EXPECT_THAT(Datas(r.answer), ElementsAre("192.0.2.80"));
  EXPECT_FALSE(r.header.AA());
  EXPECT_TRUE(r.header.RA());
  EXPECT_THAT(Datas(r.additional), ElementsAre("198.51.100.3"));
  for (const RecordPtr& cached : ctx.Cache.Records().items()) {
    EXPECT_THAT(cached->Name, ::testing::Not(::testing::EndsWith("example.org.")));
  }
  // What was learnt answers the next client without any query.
  sender.answers.clear();
  ClientAsks("www.example.com.");
  EXPECT_EQ(sender.requests.size(), 2u);
  EXPECT_THAT(Datas(OnlyReply().answer), ElementsAre("192.0.2.80"));
}

}  // namespace
}  // namespace vell::test
