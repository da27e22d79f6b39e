#include <sys/socket.h>

#include <cerrno>

#include "core/platform/socket.h"
#include "core/platform/socket_core.h"

namespace vell {

struct UdpSocket::Impl : sockets::SocketCore<UdpSocket> {
  using SocketCore::SocketCore;

  void OnReady(bool readable, bool writable) override;
  // 0 with a datagram in d, or the errno of the failed receive.
  int Receive(Datagram& d) const;

  bool broadcast = false;
};

int UdpSocket::Impl::Receive(Datagram& d) const {
  // One buffer for all sockets: the datagram is copied out before any
  // handler (which might receive on another socket) runs.
  static char buffer[65535];
  sockaddr_in from{};
  socklen_t len = sizeof from;
  const ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
  if (n < 0) return errno;
  d.data.assign(buffer, static_cast<size_t>(n));
  d.host = sockets::HostText(from);
  d.port = ntohs(from.sin_port);
  return 0;
}

void UdpSocket::Impl::OnReady(bool readable, bool /*writable*/) {
  // A few datagrams per wake-up save loop turns under load; the rest stay
  // ready for the next turn, so other sources are not starved.
  constexpr int kPerWakeup = 32;
  for (int i = 0; readable && i < kPerWakeup; ++i) {
    Datagram d;
    const int err = Receive(d);
    if (err == EAGAIN || err == EINTR) return;
    // A receive error is reported but leaves the socket open.
    const bool alive = err != 0 ? RaiseError(err) : Raise(&UdpSocket::OnDataArrival, d);
    if (!alive) return;
  }
}

UdpSocket::UdpSocket(EventLoop& loop) : impl_(std::make_shared<Impl>(loop, this, true)) {}

UdpSocket::~UdpSocket() {
  impl_->owner = nullptr;
  impl_->Close();
}

void UdpSocket::Bind(uint16_t port, const std::string& address) {
  // No SO_REUSEADDR: a port already taken must make the bind fail.
  if (impl_->fd >= 0) sockets::ThrowErrno(EINVAL, true);
  const int fd = sockets::OpenBound(SOCK_DGRAM, port, address, impl_->broadcast ? SO_BROADCAST : 0);
  impl_->Open(fd, kSockOpen, false);
}

void UdpSocket::EnableBroadcast() {
  impl_->broadcast = true;
  if (impl_->fd >= 0) sockets::SetFlag(impl_->fd, SO_BROADCAST, true);
}

void UdpSocket::SendTo(const std::string& host, uint16_t port, const std::string& data) {
  const sockaddr_in to = sockets::ParseAddress(host, port, true);
  if (impl_->fd < 0) Bind(0);
  if (sendto(impl_->fd, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0) {
    sockets::ThrowErrno(errno, true);
  }
}

void UdpSocket::Close() { impl_->Close(); }

uint16_t UdpSocket::LocalPort() const { return impl_->LocalPort(); }

std::string UdpSocket::LocalIP() const { return impl_->LocalIP(); }

int UdpSocket::State() const { return impl_->state; }

}  // namespace vell
