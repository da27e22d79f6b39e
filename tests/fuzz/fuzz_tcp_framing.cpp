// Feeds any octets to a TCP connection handler as one stream, once whole and
// once cut at points taken from the input's first octets. Nothing may crash,
// and both ways must process the same messages: the same log lines and the
// same count of requests.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/message_box.h"
#include "dns/record_data.h"
#include "query/query_context.h"
#include "query/sender.h"
#include "query/soa_check.h"
#include "query/tcp_connection.h"
#include "server/context.h"

namespace {

using namespace vell;

class NoSender final : public DnsSender {
 public:
  void SendRequest(const std::string&, const std::string&) override {}
  void SendAnswer(const std::string&, long, const std::string&) override {}
};

struct Server {
  Server() {
    const char* base = getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/vell-fuzz-tcp-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) abort();
    home = pattern;
    ctx = std::make_unique<Context>(clock, home, boxes, loop);
    query = std::make_unique<QueryContext>(ctx->env, ctx->LocalIPs, ctx->AuthData, ctx->Cache, ctx->Random,
                                           sender, soa_check);
    ctx->log.KeepLog = true;
    auto zone = std::make_shared<clZone>();
    zone->Name = "example.com.";
    zone->Secure = false;
    Add(*zone, "example.com.", kTypeSOA, MakeSoaData(ctx->errors, {"ns.example.com.", "me.example.com.", 1}));
    Add(*zone, "example.com.", kTypeNS, "ns.example.com.");
    Add(*zone, "ns.example.com.", kTypeA, std::string("\xc0\x00\x02\x01", 4));
    ctx->AuthData.ZoneAdd(zone);
  }
  ~Server() {
    query.reset();
    ctx.reset();
    std::filesystem::remove_all(home);
  }
  void Add(clZone& zone, const std::string& name, int16_t type, const std::string& data) {
    zone.AddRec(vell::MakeRecord(clock, vell::Lifetime::kPermanent, name, type, data, 300));
  }
  // What one handler did with the stream given in pieces.
  std::vector<std::string> Run(const std::vector<std::string>& pieces, double& counted) {
    ctx->log.LogBuffer.clear();
    const double before = ctx->state.RequestCount;
    // Unconnected, so every send fails and is logged; the framing is the same.
    ctlZT handler(*query, connections);
    handler.Busy = true;
    for (const auto& piece : pieces) handler.DataArrival(piece);
    counted = ctx->state.RequestCount - before;
    std::vector<std::string> lines;
    for (const auto& line : ctx->log.LogBuffer) lines.push_back(line.substr(11));
    return lines;
  }

  FakeClock clock{46000.5};
  FakeMessageBoxes boxes;
  EventLoop loop;
  NoSender sender;
  NoSoaCheck soa_check;
  std::string home;
  std::unique_ptr<Context> ctx;
  std::unique_ptr<QueryContext> query;
  int32_t connections = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Server server;
  if (size == 0) return 0;
  // A second per input keeps the per-second counter from overflowing.
  server.clock.AdvanceSeconds(1);
  const size_t cuts = std::min<size_t>(data[0] % 8, size - 1);
  const std::string stream(reinterpret_cast<const char*>(data) + 1 + cuts, size - 1 - cuts);
  std::vector<std::string> pieces;
  size_t from = 0;
  for (size_t i = 0; i < cuts; ++i) {
    const size_t to = std::min(stream.size(), from + data[1 + i]);
    pieces.push_back(stream.substr(from, to - from));
    from = to;
  }
  pieces.push_back(stream.substr(from));
  double whole_count = 0;
  double cut_count = 0;
  const auto whole = server.Run({stream}, whole_count);
  const auto cut = server.Run(pieces, cut_count);
  if (whole != cut || whole_count != cut_count) abort();
  if (!server.query->Requests.Active().empty()) abort();
  return 0;
}
