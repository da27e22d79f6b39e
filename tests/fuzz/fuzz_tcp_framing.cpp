// Feeds any octets to a TCP connection handler as one stream, once whole and
// once cut where the input's first octets say. Nothing may crash, and both
// ways must log the same lines (in any order) and count the same requests.
#include <stdlib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/message_box.h"
#include "fuzz_workspace.h"
#include "query/query_context.h"
#include "query/tcp_connection.h"
#include "server/context.h"

namespace {

using namespace vell;

struct NoSender final : DnsSender {
  void SendRequest(const std::string&, const std::string&) override {}
  void SendRequestOverTcp(const std::string&, const std::string&) override {}
  void SendAnswer(const std::string&, long, const std::string&) override {}
};

struct Server {
  Server() {
    ctx = std::make_unique<Context>(clock, home.dir, boxes, loop);
    query = std::make_unique<QueryContext>(ctx->env, ctx->LocalIPs, ctx->AuthData, ctx->Cache, ctx->Random,
                                           ids, sender, soa_check);
    // Every line, through the log window's sink: the 150 lines the window
    // keeps would hold different tails of two long logs in different orders.
    ctx->log.window = &window;
    ctx->state.WindowOpen[kLogWindow] = true;
  }
  std::vector<std::string> Run(const std::vector<std::string>& pieces) {
    lines.clear();
    const double before = ctx->state.RequestCount;
    ctlZT handler(*query, connections);  // unconnected: every send fails and is logged
    handler.Busy = true;
    for (const auto& piece : pieces) handler.DataArrival(piece);
    std::vector<std::string> seen{std::to_string(ctx->state.RequestCount - before)};
    for (const auto& line : lines) seen.push_back(line.substr(11));
    // The queue runs after every arrival, so a cut stream may answer a
    // request before the next one is read: the same lines, in another order.
    std::sort(seen.begin() + 1, seen.end());
    return seen;
  }

  const fuzz::Workspace home{"tcp"};  // members go in reverse order: the directory last
  FakeClock clock{46000.5};
  FakeMessageBoxes boxes;
  EventLoop loop;
  NoSender sender;
  NoSoaCheck soa_check;
  std::vector<std::string> lines;
  LogWindow window{[this](const std::string& line) { lines.push_back(line); }};
  std::unique_ptr<Context> ctx;
  OutgoingIds ids{clock};
  std::unique_ptr<QueryContext> query;
  int32_t connections = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Server server;
  if (size == 0) return 0;
  server.clock.AdvanceSeconds(1);  // keeps the per-second counter from overflowing
  const size_t cuts = std::min<size_t>(data[0] % 8, size - 1);
  const std::string stream(reinterpret_cast<const char*>(data) + 1 + cuts, size - 1 - cuts);
  std::vector<std::string> pieces;
  size_t from = 0;
  for (size_t i = 0; i < cuts; from = std::min(stream.size(), from + data[1 + i++])) {
    pieces.push_back(stream.substr(from, std::min(stream.size(), from + data[1 + i]) - from));
  }
  pieces.push_back(stream.substr(from));
  if (server.Run({stream}) != server.Run(pieces) || !server.query->Requests.Active().empty()) abort();
  return 0;
}
