// DHCP over UDP: one socket per configured interface (WSDHCP), each with
// the buffer that joins a request split over several datagrams.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/platform/socket.h"
#include "dhcp/mod_dhcp.h"
#include "server/context.h"
#include "server/inbound.h"

namespace vell {

class DhcpEndpoint {
 public:
  // index: the interface's number, 1-based in the order of the DHCP lines.
  DhcpEndpoint(Context& ctx, InboundHandler& inbound, int index);

  // Binds the DHCP port on address with broadcast sending; throws
  // SocketError when it cannot.
  void Open(const std::string& address);
  uint16_t Port() const { return socket_.LocalPort(); }
  std::string LocalIP() const { return socket_.LocalIP(); }
  void SendTo(const std::string& host, uint16_t port, const std::string& msg);

 private:
  void OnData(const Datagram& d);

  Context& ctx_;
  InboundHandler& inbound_;
  const int index_;
  UdpSocket socket_;
  std::string DHCPBuffer;
};

// The DHCP endpoints of the configured interfaces that could be bound.
class DhcpEndpoints final : public DhcpSender {
 public:
  DhcpEndpoints(Context& ctx, InboundHandler& inbound) : ctx_(ctx), inbound_(inbound) {}

  // One endpoint per DHCP line of the settings; failures are logged and
  // skipped.
  void Open();
  void Close() { endpoints_.clear(); }
  size_t Count() const { return endpoints_.size(); }
  // The port of endpoint index (1-based).
  uint16_t Port(size_t index) const { return endpoints_.at(index - 1)->Port(); }

  std::string LocalIP(int index) const override;
  void SendDhcp(int index, const std::string& host, uint16_t port, const std::string& msg) override;

 private:
  Context& ctx_;
  InboundHandler& inbound_;
  std::vector<std::unique_ptr<DhcpEndpoint>> endpoints_;
};

}  // namespace vell
