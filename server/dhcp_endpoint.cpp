#include "server/dhcp_endpoint.h"

#include <stdexcept>

#include "server/bind_failure.h"

namespace vell {

namespace {

constexpr size_t kShortestRequest = 241;
// The join buffers are numbered 0..10 with 0 never bound, so only the first
// ten interfaces can receive.
constexpr int kBufferedInterfaces = 10;

// A BOOTP request carrying the DHCP magic cookie at offsets 236..239.
bool IsDhcpRequest(const std::string& buf) {
  static const std::string kCookie = {99, static_cast<char>(130), 83, 99};
  return buf.size() >= kShortestRequest && buf[0] == 1 && buf.compare(236, 4, kCookie) == 0;
}

}  // namespace

DhcpEndpoint::DhcpEndpoint(Context& ctx, InboundHandler& inbound, int index)
    : ctx_(ctx), inbound_(inbound), index_(index), socket_(ctx.loop) {
  socket_.OnDataArrival = [this](const Datagram& d) { OnData(d); };
}

// Bound to all addresses and tied to the interface that owns address: a
// socket bound to the unicast address alone would not see the broadcasts
// of clients that have no address yet.
void DhcpEndpoint::Open(const std::string& address) {
  socket_.EnableBroadcast();
  socket_.BindInterface(ctx_.ports.dhcp, address);
}

void DhcpEndpoint::SendTo(const std::string& host, uint16_t port, const std::string& msg) {
  socket_.SendTo(host, port, msg);
  ctx_.tray.DoTray(1);
}

void DhcpEndpoint::OnData(const Datagram& d) {
  Trap(ctx_.errors, "frmAlpha WSDHCP", [&] {
    if (!ctx_.state.ServerRunning) return;
    ctx_.tray.DoTray(1);
    if (index_ > kBufferedInterfaces) throw std::out_of_range("DHCPBuffer");
    DHCPBuffer += d.data;
    if (DHCPBuffer.size() < kShortestRequest) return;  // the rest of a split request may follow
    if (!IsDhcpRequest(DHCPBuffer)) {
      DHCPBuffer = d.data;
      if (!IsDhcpRequest(DHCPBuffer)) return;
    }
    inbound_.Arrival(index_, d.host, DHCPBuffer);
  });
}

std::string DhcpEndpoints::LocalIP(int index) const {
  if (index < 1 || static_cast<size_t>(index) > endpoints_.size()) return "";
  return endpoints_[index - 1]->LocalIP();
}

void DhcpEndpoints::SendDhcp(int index, const std::string& host, uint16_t port, const std::string& msg) {
  if (index < 1 || static_cast<size_t>(index) > endpoints_.size()) throw SocketError(10038, "Not a socket");
  endpoints_[index - 1]->SendTo(host, port, msg);
}

void DhcpEndpoints::Open() {
  for (const clDHCPif& dhcp : ctx_.settings.DHCP) {
    auto endpoint = std::make_unique<DhcpEndpoint>(ctx_, inbound_, static_cast<int>(endpoints_.size() + 1));
    try {
      endpoint->Open(dhcp.IPaddr);
    } catch (const SocketError& e) {
      ReportBindFailure("DHCP service", dhcp.IPaddr, ctx_.ports.dhcp, e);
      ctx_.log.AddLine(0, "Binding DHCP service to " + dhcp.IPaddr + " failed!");
      continue;
    }
    endpoints_.push_back(std::move(endpoint));
    ctx_.log.AddLine(0, "DHCP service started on " + dhcp.IPaddr);
  }
}

}  // namespace vell
