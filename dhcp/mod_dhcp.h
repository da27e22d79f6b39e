// DHCP message handling: Arrival decodes a request from a
// socket's join buffer and answers DISCOVER with an offer, REQUEST with an
// acknowledgement or a refusal, and records RELEASE. Replies leave through
// a DhcpSender, so tests capture them without a network.
#pragma once

#include <cstdint>
#include <string>

#include "core/env.h"
#include "dhcp/dhcp_request.h"
#include "dhcp/lease_store.h"

namespace vell {

class DhcpSender {
 public:
  virtual ~DhcpSender() = default;
  // The local address of DHCP socket index ("" when there is none).
  virtual std::string LocalIP(int index) const = 0;
  // Sends msg on socket index; throws SocketError when it cannot.
  virtual void SendDhcp(int index, const std::string& host, uint16_t port, const std::string& msg) = 0;
};

class modDHCP {
 public:
  modDHCP(Env& env, LeaseStore& leases, DhcpSender& sender, uint16_t client_port)
      : env_(env), leases_(leases), sender_(sender), client_port_(client_port) {}

  // A BOOTREQUEST sits in buffer, the join buffer of socket index; ip is its
  // sender. The buffer is empty afterwards, whatever became of the message.
  void Arrival(int index, const std::string& ip, std::string& buffer);
  void Discover(const clDHCPRequest& rq);
  void Request(const clDHCPRequest& rq);
  void Release(const std::string& client_id);
  void Send(const clDHCPRequest& rq, int type, const std::string& address);

 private:
  const clDHCPif* InterfaceOf(int index) const;
  // Step 6 of Arrival: the alias's name or the hardware address.
  void NameClient(clDHCPRequest& rq) const;
  void Dispatch(clDHCPRequest& rq, const std::string& ip);
  std::string FreeAddress(const clDHCPRequest& rq) const;

  Env& env_;
  LeaseStore& leases_;
  DhcpSender& sender_;
  const uint16_t client_port_;
};

// The reply of type for address, as Send builds it: the fixed fields, then
// options 53, 61, 1, 54, 51, 6, 3 (when there is a gateway), 12, 15, 255;
// dns_server is the address given in option 6.
std::string BuildDhcpReply(const clDHCPRequest& rq, int type, const std::string& address,
                           const std::string& dns_server);

}  // namespace vell
