// The reload control port WSReload: UDP on 127.0.0.1, port chosen by the
// system and published in vellion.ini.
#pragma once

#include "core/platform/socket.h"
#include "server/context.h"

namespace vell {

class ReloadEndpoint {
 public:
  explicit ReloadEndpoint(Context& ctx) : socket_(ctx.loop) {}

  void Open() { socket_.Bind(0, "127.0.0.1"); }
  // 0 until it is bound.
  uint16_t Port() const { return socket_.State() == kSockClosed ? 0 : socket_.LocalPort(); }

 private:
  UdpSocket socket_;
};

}  // namespace vell
