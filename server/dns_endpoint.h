// DNS over UDP: the service socket WSDNS, which takes queries and responses
// and sends replies, and WSDNS2, the alternative socket for outgoing queries
// (used when the service is bound to the loopback address or after the
// service socket could not reach a host). Every DNS datagram that leaves
// the process leaves here.
#pragma once

#include <memory>
#include <string>

#include "core/platform/socket.h"
#include "query/sender.h"
#include "server/block_list.h"
#include "server/context.h"
#include "server/inbound.h"

namespace vell {

class DnsEndpoint final : public DnsSender {
 public:
  DnsEndpoint(Context& ctx, InboundHandler& inbound);

  // Binds the service socket; false when the port or address is taken.
  bool Open(const std::string& address);
  void Close() { WSDNS.reset(); }
  // The port the service socket is bound to (0 while closed).
  uint16_t Port() const { return WSDNS ? WSDNS->LocalPort() : 0; }

  void SendRequest(const std::string& ip, const std::string& msg) override;
  void SendAnswer(const std::string& ip, long port, const std::string& msg) override;

 private:
  void OnWSDNS(const Datagram& d);
  void OnWSDNS2(const Datagram& d);
  void OnSocketError(const char* prefix, int number, const std::string& text);
  void SendFromWSDNS2(const std::string& ip, const std::string& msg);

  Context& ctx_;
  InboundHandler& inbound_;
  std::unique_ptr<UdpSocket> WSDNS;
  UdpSocket WSDNS2;
};

}  // namespace vell
