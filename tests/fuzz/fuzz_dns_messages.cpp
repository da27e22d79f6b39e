// Feeds any octets to the inbound dispatch as a query and as a response,
// against a small zone with CNAME chains, a CNAME to itself, wildcards and
// address runs, AAAA, an opaque type and answers too large for UDP, with AUTOCNAME, ROUNDROBIN and the log
// switched by the first octet. Every reply the server sends is fed back as a response. Nothing may crash, and
// every request must end: one that went out to a name server (nobody answers here) gives up within its
// time-outs and leaves at the next queue run.
#include <stdlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/ip.h"
#include "core/platform/message_box.h"
#include "dns/record_data.h"
#include "fuzz_workspace.h"
#include "query/dispatch.h"
#include "query/query_context.h"
#include "query/request.h"
#include "query/sender.h"
#include "query/soa_check.h"
#include "server/context.h"

namespace {

using namespace vell;

class Recorder final : public DnsSender {
 public:
  void SendRequest(const std::string&, const std::string&) override {}
  void SendRequestOverTcp(const std::string&, const std::string&) override {}
  void SendAnswer(const std::string&, long, const std::string& msg) override { replies.push_back(msg); }
  std::vector<std::string> replies;
};

struct Server {
  Server() {
    ctx = std::make_unique<Context>(clock, home.dir, boxes, loop);
    query = std::make_unique<QueryContext>(ctx->env, ctx->LocalIPs, ctx->AuthData, ctx->Cache, ctx->Random,
                                           ids, recorder, soa_check);
    ctx->settings.DNSRECURSION = "10.*";
    auto zone = std::make_shared<clZone>();
    zone->Name = "example.com.";
    zone->HasWildcards = true;
    Add(*zone, "example.com.", kTypeSOA, MakeSoaData(ctx->errors, {"ns.example.com.", "me.example.com.", 1}));
    Add(*zone, "example.com.", kTypeNS, "ns.example.com.");
    Add(*zone, "example.com.", kTypeMX, MakeMxData({5, "ns.example.com."}));
    Add(*zone, "ns.example.com.", kTypeA, IPToData("192.0.2.1"));
    Add(*zone, "ns.example.com.", kTypeA, IPToData("192.0.2.2"));
    Add(*zone, "a.example.com.", kTypeCNAME, "b.example.com.");
    Add(*zone, "b.example.com.", kTypeCNAME, "a.example.com.");
    Add(*zone, "c.example.com.", kTypeCNAME, "ns.example.com.");
    Add(*zone, "self.example.com.", kTypeA, IPToData("192.0.2.3"));
    Add(*zone, "self.example.com.", kTypeCNAME, "self.example.com.");
    Add(*zone, "*.w.example.com.", kTypeCNAME, "x.w.example.com.");
    Add(*zone, "sub.example.com.", kTypeNS, "ns.sub.example.com.");
    Add(*zone, "ns.sub.example.com.", kTypeA, IPToData("192.0.2.53"));
    // AAAA beside A, an opaque type, and an RRset too large for UDP.
    Add(*zone, "ns.example.com.", kTypeAAAA, std::string(15, '\x20') + '\x01');
    Add(*zone, "example.com.", 65, std::string("\0\1\0", 3));
    Add(*zone, "big.example.com.", kTypeTXT, MakeTxtData({std::string(255, 'x'), std::string(255, 'y')}));
    Add(*zone, "big.example.com.", kTypeTXT, MakeTxtData({std::string(255, 'z')}));
    ctx->AuthData.ZoneAdd(zone);
  }
  void Add(clZone& zone, const std::string& name, int32_t type, const std::string& data) {
    zone.AddRec(vell::MakeRecord(clock, vell::Lifetime::kPermanent, name, type, data, 300));
  }

  const fuzz::Workspace home{"dns"};  // members go in reverse order: the directory last
  FakeClock clock{46000.5};
  FakeMessageBoxes boxes;
  EventLoop loop;
  Recorder recorder;
  NoSoaCheck soa_check;
  std::unique_ptr<Context> ctx;
  OutgoingIds ids{clock};
  std::unique_ptr<QueryContext> query;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Server server;
  Context& ctx = *server.ctx;
  QueryContext& query = *server.query;
  const std::string msg(reinterpret_cast<const char*>(data), size);
  ctx.settings.AUTOCNAME = size > 0 && (data[0] & 1) != 0;
  ctx.settings.ROUNDROBIN = size > 0 && (data[0] & 2) != 0;
  ctx.log.KeepLog = size > 0 && (data[0] & 4) != 0;
  // What earlier inputs taught the cache would only slow the run down.
  ctx.Cache.ClearCache();
  server.recorder.replies.clear();
  // A second per input keeps the per-second counter from overflowing.
  server.clock.AdvanceSeconds(1);
  // The front end passes only datagrams of at least 13 octets.
  if (size >= 13) {
    ProcDNSRequest(query, size > 1 && (data[1] & 1) ? "10.0.0.1" : "192.0.2.200", 5353, msg);
    ProcDNSAnswer(query, "192.0.2.99", msg);
  }
  for (const std::string& reply : server.recorder.replies) ProcDNSAnswer(query, "127.0.0.1", reply);
  // Each silent server is asked a few times and dropped, so a bounded number of time-outs ends everything.
  for (int round = 0; round < 64 && !query.Requests.Active().empty(); ++round) {
    server.clock.AdvanceSeconds(1);
    query.Requests.RequestTimeOuts();
    query.Requests.ProcRequestQue();
  }
  if (!query.Requests.Active().empty()) abort();
  return 0;
}
