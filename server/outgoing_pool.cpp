#include "server/outgoing_pool.h"

#include <algorithm>

#include "core/platform/system_random.h"
#include "core/text.h"
#include "dns/header.h"

namespace vell {

namespace {

// Ports of the range taken by others are skipped; after this many the
// system chooses one.
constexpr int kBindAttempts = 16;

}  // namespace

void OutgoingPool::Open() {
  const auto size = static_cast<size_t>(std::max(1, ctx_.settings.OUTGOINGRANGE));
  while (sockets_.size() < size) {
    sockets_.push_back(OpenSocket(sockets_.size()));
    ports_.push_back(sockets_.back()->LocalPort());
  }
}

std::unique_ptr<UdpSocket> OutgoingPool::OpenSocket(size_t slot) {
  auto socket = std::make_unique<UdpSocket>(ctx_.loop);
  const int from = std::clamp(ctx_.settings.OUTGOINGPORTFROM, 1, 65535);
  const int to = std::clamp(ctx_.settings.OUTGOINGPORTTO, from, 65535);
  bool bound = false;
  for (int attempt = 0; attempt < kBindAttempts && !bound; ++attempt) {
    const auto port = static_cast<uint16_t>(from + static_cast<int>(SystemRandomBelow(to - from + 1)));
    try {
      socket->Bind(port);
      bound = true;
    } catch (const SocketError&) {
      // taken: draw again
    }
  }
  if (!bound) socket->Bind(0);
  socket->OnDataArrival = [this, slot](const Datagram& d) { OnArrival(slot, d); };
  socket->OnError = [this, slot](int number, const std::string& text) { OnError(slot, number, text); };
  return socket;
}

void OutgoingPool::Send(const std::string& ip, const std::string& msg) {
  Open();
  const size_t slot = SystemRandomBelow(static_cast<uint32_t>(sockets_.size()));
  UdpSocket& socket = *sockets_[slot];
  socket.SendTo(ip, ctx_.ports.peer, msg);
  OutgoingQuery query{ports_[slot], ip, ctx_.ports.peer, 0, {}};
  if (ReadOutgoing(ctx_.errors, msg, query)) ids_.Opened(std::move(query));
}

void OutgoingPool::OnArrival(size_t slot, const Datagram& d) {
  Trap(
      ctx_.errors, "frmAlpha WSDNS2",
      [&] {
        if (!ctx_.state.ServerRunning) return;
        ctx_.tray.DoTray(1);
        if (!header::IsResponse(d.data)) return;
        OutgoingQuery response{ports_[slot], d.host, d.port, 0, {}};
        // Anything that answers no open query is dropped unread: it is
        // forged, or late.
        if (ReadOutgoing(ctx_.errors, d.data, response) && ids_.Answered(response)) {
          inbound_.ProcDNSAnswer(d.host, d.data, Transport::kUdp);
        }
      },
      "WS-State" + NumText(sockets_[slot]->State()));
}

void OutgoingPool::OnError(size_t slot, int number, const std::string& text) {
  // A reset on a UDP socket only tells of an earlier datagram refused by its
  // destination.
  if (number == kWsaConnReset) return;
  ctx_.log.AddLine(0, "MAIN-WS2 Error" + NumText(number) + " " + text);
  // A failed socket is replaced by one on a fresh port; its open queries
  // get no answer and are asked again after their time-out.
  sockets_[slot] = OpenSocket(slot);
  ports_[slot] = sockets_[slot]->LocalPort();
}

}  // namespace vell
