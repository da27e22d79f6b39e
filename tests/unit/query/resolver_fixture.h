// Recursion without a network: the recording sender captures every
// outgoing query, the test answers it through ProcDNSAnswer, and the fake
// clock with the timer's walk stands in for silence.
#pragma once

#include <string>
#include <vector>

#include "dns/names.h"
#include "query/request_queue.h"
#include "query_fixture.h"

namespace vell::test {

// A record of a scripted response: data is a dotted address for A, a name
// for NS and CNAME, the zone's primary name for SOA.
struct Rr {
  std::string name;
  int type;
  std::string data;
};

// The response of a name server to query: its identifier and question,
// flags1 0x84 for an authoritative answer, 0x80 for a referral.
inline std::string ResponseTo(const std::string& query, int flags1, int rcode, const std::vector<Rr>& answer,
                              const std::vector<Rr>& authority = {}, const std::vector<Rr>& additional = {}) {
  RecordingErrorSink sink;
  const auto count = [](const std::vector<Rr>& v) { return Octets({0, static_cast<int>(v.size())}); };
  // The question alone: our queries end in an OPT record.
  const size_t opt = ReadEdns(sink, query).status == EdnsQuery::Status::kAbsent ? 0 : OptRecord().size();
  std::string msg = query.substr(0, 2) + Octets({flags1, rcode, 0, 1}) + count(answer) + count(authority) +
                    count(additional) + query.substr(12, query.size() - 12 - opt);
  for (const auto* section : {&answer, &authority, &additional}) {
    for (const Rr& rr : *section) {
      std::string rdata;
      if (rr.type == kTypeA) {
        rdata = IPToData(rr.data);
      } else {
        rdata = ZipName(sink, "", rr.data);
        if (rr.type == kTypeSOA)
          rdata += ZipName(sink, "", "admin." + rr.data) + std::string(19, '\0') + "\x3c";
      }
      msg += ZipName(sink, "", rr.name) + Octets({0, rr.type, 0, 1, 0, 0, 0x0E, 0x10, 0}) +
             static_cast<char>(rdata.size()) + rdata;
    }
  }
  return msg;
}

// Helpers without any root hints; every client may use recursion.
class ScriptedServersTest : public QueryTest {
 protected:
  ScriptedServersTest() { ctx.settings.DNSRECURSION = "<all>"; }

  // A permanent cache record, as the root hints are.
  void Hint(const std::string& name, int32_t type, const std::string& data) {
    ctx.Cache.AddRec(MakeRecord(ctx.clock, Lifetime::kPermanent, name, type,
                                type == kTypeA ? IPToData(data) : data, 3600000));
  }

  // The client 10.0.0.9 asks with RD set; no reply is expected yet.
  void ClientAsks(const std::string& name, int type = kTypeA, const std::string& ip = "10.0.0.9",
                  int id = 0x4242) {
    ProcDNSRequest(q, ip, 5353, Query(id, name, type));
  }

  const RecordingSender::Sent& LastQuery() const { return sender.requests.back(); }
  // "ip qname": where the last outgoing query went and what it asked.
  std::string LastAsked() const {
    return sender.requests.empty() ? "nothing"
                                   : LastQuery().ip + " " + ReadReply(LastQuery().msg).question.name;
  }

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

  Message ClientReply() {
    EXPECT_EQ(sender.answers.size(), 1u);
    return sender.answers.empty() ? Message{} : ReadReply(sender.answers.back().msg);
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

}  // namespace vell::test
