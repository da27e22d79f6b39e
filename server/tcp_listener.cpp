#include "server/tcp_listener.h"

#include "server/bind_failure.h"

namespace vell {

bool TcpListener::Open(const std::string& address) {
  auto socket = std::make_unique<TcpSocket>(ctx_.loop);
  try {
    socket->Listen(ctx_.ports.dns, address);
  } catch (const SocketError& e) {
    ReportBindFailure("DNS service (TCP)", address, ctx_.ports.dns, e);
    return false;
  }
  socket->OnConnectionRequest = [this](int id) { OnConnectionRequest(id); };
  WSZT = std::move(socket);
  return true;
}

void TcpListener::OnConnectionRequest(int request_id) {
  Trap(ctx_.errors, "frmAlpha WSZT", [&] {
    if (!ctx_.state.ServerRunning) return;
    if (ctx_.blocks.Blocked(WSZT->RemoteHostIP(), "TCP Connection Request from ")) return;
    inbound_.AcceptConnection(*WSZT, request_id);
  });
}

}  // namespace vell
