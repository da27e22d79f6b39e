#include "server/outgoing_tcp.h"

#include <string_view>
#include <utility>

#include "core/platform/event_loop.h"
#include "dns/header.h"
#include "dns/wire.h"
#include "query/dispatch.h"

namespace vell {

namespace {

// As long as an answer to an open query is let in at all.
constexpr int kTimeOutMs = OutgoingIds::kOpenSeconds * 1000;
constexpr size_t kLengthOctets = 2;

}  // namespace

OutgoingTcp::~OutgoingTcp() {
  while (!connections_.empty()) End(connections_.begin()->first);
}

void OutgoingTcp::Send(const std::string& ip, const std::string& msg) {
  const uint64_t key = next_key_++;
  Connection c;
  // An answer over TCP comes on this connection and no other, so the port
  // of a UDP socket (never 0) is not part of what it must echo.
  c.query = {0, ip, ctx_.ports.peer, 0, {}};
  if (!ReadOutgoing(ctx_.errors, msg, c.query)) return;
  c.msg = MakeInt(static_cast<int32_t>(msg.size())) + msg;
  c.socket = std::make_unique<TcpSocket>(ctx_.loop);
  TcpSocket& socket = *c.socket;
  socket.OnConnect = [this, key] {
    Trap(ctx_.errors, "frmAlpha TCP-Query", [&] {
      auto it = connections_.find(key);
      if (it != connections_.end()) it->second.socket->Send(it->second.msg);
    });
  };
  socket.OnDataArrival = [this, key](const std::string& data) { OnData(key, data); };
  // A refused, reset or closed connection leaves its query unanswered.
  socket.OnClose = [this, key] { End(key); };
  socket.OnError = [this, key](int, const std::string&) { End(key); };
  socket.Connect(ip, ctx_.ports.peer);
  c.timer = ctx_.loop.AddTimer(kTimeOutMs, [this, key] { End(key); });
  ctx_.loop.EnableTimer(c.timer, true);
  ids_.Opened(c.query);
  connections_.emplace(key, std::move(c));
}

void OutgoingTcp::OnData(uint64_t key, const std::string& data) {
  Trap(ctx_.errors, "frmAlpha TCP-Query", [&] {
    auto it = connections_.find(key);
    if (it == connections_.end()) return;
    std::string& received = it->second.received += data;
    std::string_view rest = received;
    if (rest.size() < kLengthOctets) return;
    const auto length = static_cast<size_t>(GetInt(rest, true));
    if (rest.size() < length) return;
    const std::string msg(rest.substr(0, length));
    OutgoingQuery response{0, it->second.query.ip, it->second.query.port, 0, {}};
    const bool answers =
        header::IsResponse(msg) && ReadOutgoing(ctx_.errors, msg, response) && ids_.Answered(response);
    End(key);
    if (answers) inbound_.ProcDNSAnswer(response.ip, msg, Transport::kTcp);
  });
}

void OutgoingTcp::End(uint64_t key) {
  auto it = connections_.find(key);
  if (it == connections_.end()) return;
  ctx_.loop.RemoveTimer(it->second.timer);
  it->second.socket->Close();
  connections_.erase(it);
}

}  // namespace vell
