// The UDP sockets this server's own queries leave from (recursion, SOA
// checks, NOTIFY): a pool on random ports, one socket drawn at random for
// each query, so that a forger has to guess the port as well as the
// identifier. A datagram arriving on one of them reaches the query layer
// only when it answers a query still open on that very socket.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/socket.h"
#include "query/outgoing_ids.h"
#include "server/context.h"
#include "server/inbound.h"

namespace vell {

class OutgoingPool {
 public:
  OutgoingPool(Context& ctx, InboundHandler& inbound, OutgoingIds& ids)
      : ctx_(ctx), inbound_(inbound), ids_(ids) {}

  // Opens OUTGOINGRANGE sockets, on ports drawn from OUTGOINGPORTFROM ..
  // OUTGOINGPORTTO; a pool already open stays as it is.
  void Open();
  // Sends msg to ip's DNS port and opens the query; raises SocketError.
  void Send(const std::string& ip, const std::string& msg);
  // The local ports of the sockets, in pool order.
  const std::vector<uint16_t>& Ports() const { return ports_; }

 private:
  std::unique_ptr<UdpSocket> OpenSocket(size_t slot);
  void OnArrival(size_t slot, const Datagram& d);
  void OnError(size_t slot, int number, const std::string& text);

  Context& ctx_;
  InboundHandler& inbound_;
  OutgoingIds& ids_;
  std::vector<std::unique_ptr<UdpSocket>> sockets_;
  // Each socket's port, read once when it is bound: every query and answer
  // needs it, and asking the system costs a call each time.
  std::vector<uint16_t> ports_;
};

}  // namespace vell
