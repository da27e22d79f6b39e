// The reload control port WSReload: UDP on 127.0.0.1, port
// chosen by the system and published in vellion.ini as "ReloadPort:".
// Commands from the loopback address go to the InboundHandler; the server
// never answers on this port.
#pragma once

#include <cstdint>

#include "core/platform/socket.h"
#include "server/context.h"
#include "server/inbound.h"

namespace vell {

class ReloadEndpoint {
 public:
  ReloadEndpoint(Context& ctx, InboundHandler& inbound);

  void Open() { socket_.Bind(0, "127.0.0.1"); }
  // 0 until it is bound.
  uint16_t Port() const { return socket_.State() == kSockClosed ? 0 : socket_.LocalPort(); }

  // One datagram, as the socket delivers it.
  void OnDatagram(const Datagram& d);

 private:
  void Announce();
  void OnSocketError(int number, const std::string& text);

  Context& ctx_;
  InboundHandler& inbound_;
  UdpSocket socket_;
};

}  // namespace vell
