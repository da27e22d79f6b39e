#include "server/dns_endpoint.h"

#include "core/text.h"
#include "dns/header.h"
#include "server/bind_failure.h"

namespace vell {

namespace {

constexpr int kServiceReceiveBuffer = 4 << 20;

bool IsResponse(const std::string& msg) {
  return (static_cast<unsigned char>(msg[header::kFlags1]) & header::kQR) != 0;
}

}  // namespace

DnsEndpoint::DnsEndpoint(Context& ctx, InboundHandler& inbound)
    : ctx_(ctx), inbound_(inbound), WSDNS2(ctx.loop) {
  WSDNS2.OnDataArrival = [this](const Datagram& d) { OnWSDNS2(d); };
  WSDNS2.OnError = [this](int n, const std::string& t) { OnSocketError("MAIN-WS2 Error", n, t); };
}

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
  socket->OnError = [this](int n, const std::string& t) { OnSocketError("MAIN-WS Error", n, t); };
  // A reply that could not leave fails SendAnswer, even when it left with a
  // batch after SendAnswer had returned.
  socket->OnSendError = [this](int n, const std::string& t) {
    Trap(ctx_.errors, "frmAlpha SendAnswer", [&] { throw SocketError(n, t); });
  };
  WSDNS = std::move(socket);
  return true;
}

void DnsEndpoint::OnWSDNS(const Datagram& d) {
  Trap(ctx_.errors, "frmAlpha WSDNS", [&] {
    if (!ctx_.state.ServerRunning || d.data.size() <= header::kSize) return;
    ctx_.tray.DoTray(1);
    if (ctx_.blocks.Blocked(d.host, "Request from ")) return;
    if (inbound_.FloodBlocked(d.host)) return;
    if (IsResponse(d.data)) {
      inbound_.ProcDNSAnswer(d.host, d.data);
    } else {
      inbound_.ProcDNSRequest(d.host, d.port, d.data);
    }
  });
}

void DnsEndpoint::OnWSDNS2(const Datagram& d) {
  Trap(
      ctx_.errors, "frmAlpha WSDNS2",
      [&] {
        if (!ctx_.state.ServerRunning) return;
        ctx_.tray.DoTray(1);
        // Only responses to our own queries come back here.
        if (d.data.size() >= header::kSize && IsResponse(d.data)) inbound_.ProcDNSAnswer(d.host, d.data);
      },
      "WS-State" + NumText(WSDNS2.State()));
}

void DnsEndpoint::OnSocketError(const char* prefix, int number, const std::string& text) {
  // A reset on a UDP socket only tells of an earlier datagram refused by its
  // destination.
  if (number == kWsaConnReset) return;
  ctx_.log.AddLine(0, prefix + NumText(number) + " " + text);
}

void DnsEndpoint::SendRequest(const std::string& ip, const std::string& msg) {
  if (!ctx_.state.QueryViaWSDNS2 && WSDNS) {
    try {
      WSDNS->SendTo(ip, ctx_.ports.peer, msg);
      ctx_.tray.DoTray(1);
      return;
    } catch (const SocketError& e) {
      if (ctx_.settings.DNSBIND.empty() || e.Number() != kWsaHostUnreach) {
        ctx_.log.AddLine(0, "XR-WS Error" + NumText(e.Number()) + " " + e.what());
        return;
      }
    }
  }
  SendFromWSDNS2(ip, msg);
}

void DnsEndpoint::SendFromWSDNS2(const std::string& ip, const std::string& msg) {
  try {
    WSDNS2.SendTo(ip, ctx_.ports.peer, msg);
    ctx_.tray.DoTray(1);
    ctx_.state.QueryViaWSDNS2 = true;
  } catch (const SocketError& e) {
    ctx_.log.AddLine(0, "SR-WS Error" + NumText(e.Number()) + " " + e.what());
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
