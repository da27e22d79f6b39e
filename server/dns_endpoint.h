// DNS over UDP: the service socket WSDNS, which takes queries and sends
// replies, and the pool of sockets the server's own queries leave from.
// Every DNS datagram that leaves the process leaves here, and so do our own
// queries over TCP. With OUTGOINGQUERIES open already a query is not sent:
// it is lost like a dropped datagram, and its request asks again after its
// time-out.
#pragma once

#include <memory>
#include <string>

#include "core/limit_notice.h"
#include "core/platform/socket.h"
#include "query/sender.h"
#include "server/block_list.h"
#include "server/context.h"
#include "server/inbound.h"
#include "server/outgoing_pool.h"
#include "server/outgoing_tcp.h"

namespace vell {

class DnsEndpoint final : public DnsSender {
 public:
  DnsEndpoint(Context& ctx, InboundHandler& inbound, OutgoingIds& ids);

  // Binds the service socket and opens the outgoing pool; false when the
  // port or address is taken.
  bool Open(const std::string& address);
  void Close() { WSDNS.reset(); }
  // The port the service socket is bound to (0 while closed).
  uint16_t Port() const { return WSDNS ? WSDNS->LocalPort() : 0; }
  const OutgoingPool& Pool() const { return pool_; }

  void SendRequest(const std::string& ip, const std::string& msg) override;
  void SendRequestOverTcp(const std::string& ip, const std::string& msg) override;
  void SendAnswer(const std::string& ip, long port, const std::string& msg) override;

 private:
  void OnWSDNS(const Datagram& d);
  void OnSocketError(int number, const std::string& text);
  // False, with a notice, when OUTGOINGQUERIES are open already.
  bool Room(const std::string& ip);

  Context& ctx_;
  InboundHandler& inbound_;
  std::unique_ptr<UdpSocket> WSDNS;
  OutgoingIds& ids_;
  OutgoingPool pool_;
  OutgoingTcp tcp_;
  LimitNotice full_;
};

}  // namespace vell
