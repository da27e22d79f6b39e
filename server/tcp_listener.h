// The DNS TCP listener WSZT: connection requests from clients that are not
// blocked are offered to the connection handlers.
#pragma once

#include <memory>
#include <string>

#include "core/platform/socket.h"
#include "server/context.h"
#include "server/inbound.h"

namespace vell {

class TcpListener {
 public:
  TcpListener(Context& ctx, InboundHandler& inbound) : ctx_(ctx), inbound_(inbound) {}

  // Listens on the DNS port; false when the port or address is taken.
  bool Open(const std::string& address);
  void Close() { WSZT.reset(); }

 private:
  void OnConnectionRequest(int request_id);

  Context& ctx_;
  InboundHandler& inbound_;
  std::unique_ptr<TcpSocket> WSZT;
};

}  // namespace vell
