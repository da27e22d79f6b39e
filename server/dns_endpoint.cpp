#include "server/dns_endpoint.h"

#include <algorithm>

#include "core/text.h"
#include "dns/header.h"
#include "server/bind_failure.h"

namespace vell {

namespace {

constexpr int kServiceReceiveBuffer = 4 << 20;

}  // namespace

DnsEndpoint::DnsEndpoint(Context& ctx, InboundHandler& inbound, OutgoingIds& ids)
    : ctx_(ctx),
      inbound_(inbound),
      ids_(ids),
      pool_(ctx, inbound, ids),
      tcp_(ctx, inbound, ids),
      full_(ctx.clock, ctx.log) {}

bool DnsEndpoint::Open(const std::string& address) {
  auto socket = std::make_unique<UdpSocket>(ctx_.loop);
  try {
    socket->Bind(ctx_.ports.dns, address);
  } catch (const SocketError& e) {
    ReportBindFailure("DNS service (UDP)", address, ctx_.ports.dns, e);
    return false;
  }
  // A flood arrives in bursts faster than the guard drops them; a deep
  // queue keeps other clients' queries from being crowded out meanwhile.
  socket->SetReceiveBuffer(kServiceReceiveBuffer);
  socket->OnDataArrival = [this](const Datagram& d) { OnWSDNS(d); };
  socket->OnError = [this](int n, const std::string& t) { OnSocketError(n, t); };
  // A reply that could not leave fails SendAnswer, even when it left with a
  // batch after SendAnswer had returned.
  socket->OnSendError = [this](int n, const std::string& t) {
    Trap(ctx_.errors, "frmAlpha SendAnswer", [&] { throw SocketError(n, t); });
  };
  WSDNS = std::move(socket);
  pool_.Open();
  return true;
}

void DnsEndpoint::OnWSDNS(const Datagram& d) {
  Trap(ctx_.errors, "frmAlpha WSDNS", [&] {
    if (!ctx_.state.ServerRunning || d.data.size() <= header::kSize) return;
    // Our own queries never leave from here, so a response here answers
    // nothing of ours.
    if (header::IsResponse(d.data)) return;
    ctx_.tray.DoTray(1);
    if (ctx_.blocks.Blocked(d.host, "Request from ")) return;
    if (inbound_.FloodBlocked(d.host)) return;
    inbound_.ProcDNSRequest(d.host, d.port, d.data);
  });
}

void DnsEndpoint::OnSocketError(int number, const std::string& text) {
  // A reset on a UDP socket only tells of an earlier datagram refused by its
  // destination.
  if (number == kWsaConnReset) return;
  ctx_.log.AddLine(0, "MAIN-WS Error" + NumText(number) + " " + text);
}

bool DnsEndpoint::Room(const std::string& ip) {
  const auto limit = static_cast<size_t>(std::max(1, ctx_.settings.OUTGOINGQUERIES));
  if (ids_.OpenCount() < limit) return true;
  full_.Hit(std::to_string(limit) + " open queries to other servers; " + ip + " not asked");
  return false;
}

void DnsEndpoint::SendRequest(const std::string& ip, const std::string& msg) {
  if (!Room(ip)) return;
  try {
    pool_.Send(ip, msg);
    ctx_.tray.DoTray(1);
  } catch (const SocketError& e) {
    ctx_.log.AddLine(0, "SR-WS Error" + NumText(e.Number()) + " " + e.what());
  }
}

void DnsEndpoint::SendRequestOverTcp(const std::string& ip, const std::string& msg) {
  if (!Room(ip)) return;
  try {
    tcp_.Send(ip, msg);
    ctx_.tray.DoTray(1);
  } catch (const SocketError& e) {
    ctx_.log.AddLine(0, "SR-TCP Error" + NumText(e.Number()) + " " + e.what());
  }
}

void DnsEndpoint::SendAnswer(const std::string& ip, long port, const std::string& msg) {
  Trap(ctx_.errors, "frmAlpha SendAnswer", [&] {
    if (!WSDNS) return;  // paused: the service socket is closed
    WSDNS->QueueTo(ip, static_cast<uint16_t>(port), msg);
    ctx_.tray.DoTray(1);
  });
}

}  // namespace vell
