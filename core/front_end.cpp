// The socket front end of the main form: filters what arrives, tells
// queries from responses, and sends every DNS datagram that leaves.
#include <algorithm>

#include "core/frm_alpha.h"
#include "core/text.h"

namespace vell {

namespace {

constexpr size_t kHeaderLength = 12;
constexpr unsigned char kQR = 0x80;

bool IsResponse(const std::string& msg) { return (static_cast<unsigned char>(msg[2]) & kQR) != 0; }

// A BOOTP request carrying the DHCP magic cookie at offsets 236..239.
bool IsDhcpRequest(const std::string& buf) {
  static const std::string kCookie = {99, static_cast<char>(130), 83, 99};
  return buf.size() >= 241 && buf[0] == 1 && buf.compare(236, 4, kCookie) == 0;
}

}  // namespace

bool frmAlpha::Blocked(const std::string& ip, const char* what) {
  const auto& blocks = ctx_.Blocks;
  if (std::find(blocks.begin(), blocks.end(), ip) == blocks.end()) return false;
  if (ctx_.settings.LOGBLOCK) ctx_.log.AddLine(0, what + ip + " on Block list. Ignored!");
  return true;
}

void frmAlpha::OnWSDNS(const Datagram& d) {
  Trap(ctx_.errors, "frmAlpha WSDNS", [&] {
    if (!ctx_.state.ServerRunning || d.data.size() <= kHeaderLength) return;
    DoTray(1);
    if (Blocked(d.host, "Request from ")) return;
    if (inbound_.FloodBlocked(d.host)) return;
    if (IsResponse(d.data)) {
      inbound_.ProcDNSAnswer(d.host, d.data);
    } else {
      inbound_.ProcDNSRequest(d.host, d.port, d.data);
    }
  });
}

void frmAlpha::OnWSDNS2(const Datagram& d) {
  Trap(
      ctx_.errors, "frmAlpha WSDNS2",
      [&] {
        if (!ctx_.state.ServerRunning) return;
        DoTray(1);
        // Only responses to our own queries come back here.
        if (d.data.size() >= kHeaderLength && IsResponse(d.data)) inbound_.ProcDNSAnswer(d.host, d.data);
      },
      "WS-State" + NumText(WSDNS2->State()));
}

void frmAlpha::OnWSZTRequest(int request_id) {
  Trap(ctx_.errors, "frmAlpha WSZT", [&] {
    if (!ctx_.state.ServerRunning) return;
    if (Blocked(WSZT->RemoteHostIP(), "TCP Connection Request from ")) return;
    inbound_.AcceptConnection(*WSZT, request_id);
  });
}

void frmAlpha::OnWSDHCP(size_t index, const Datagram& d) {
  Trap(ctx_.errors, "frmAlpha WSDHCP", [&] {
    if (!ctx_.state.ServerRunning || index == 0) return;
    DoTray(1);
    std::string& buffer = DHCPBuffer.at(index);
    buffer += d.data;
    if (buffer.size() < 241) return;  // the rest of a split request may follow
    if (!IsDhcpRequest(buffer)) {
      buffer = d.data;
      if (!IsDhcpRequest(buffer)) return;
    }
    inbound_.Arrival(static_cast<int>(index), d.host, buffer);
  });
}

void frmAlpha::OnSocketError(const char* prefix, int number, const std::string& text) {
  // A reset on a UDP socket only tells of an earlier datagram refused by its
  // destination.
  if (number == kWsaConnReset) return;
  ctx_.log.AddLine(0, prefix + NumText(number) + " " + text);
}

void frmAlpha::SendRequest(const std::string& ip, const std::string& msg) {
  if (!ctx_.state.QueryViaWSDNS2 && WSDNS) {
    try {
      WSDNS->SendTo(ip, ctx_.ports.peer, msg);
      DoTray(1);
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

void frmAlpha::SendFromWSDNS2(const std::string& ip, const std::string& msg) {
  try {
    WSDNS2->SendTo(ip, ctx_.ports.peer, msg);
    DoTray(1);
    ctx_.state.QueryViaWSDNS2 = true;
  } catch (const SocketError& e) {
    ctx_.log.AddLine(0, "SR-WS Error" + NumText(e.Number()) + " " + e.what());
  }
}

void frmAlpha::SendAnswer(const std::string& ip, long port, const std::string& msg) {
  Trap(ctx_.errors, "frmAlpha SendAnswer", [&] {
    if (!WSDNS) return;  // paused: the service socket is closed
    WSDNS->QueueTo(ip, static_cast<uint16_t>(port), msg);
    DoTray(1);
  });
}

}  // namespace vell
