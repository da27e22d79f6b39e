#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <vector>

#include "core/local_ips.h"
#include "core/platform/socket.h"
#include "core/platform/socket_core.h"

namespace vell {

namespace {

// A few datagrams per wake-up save loop turns and system calls under load;
// the rest stay ready for the next turn, so other sources are not starved.
constexpr unsigned kPerWakeup = 32;
constexpr size_t kMaxDatagram = 65535;

struct Outgoing {
  sockaddr_in to;
  std::string data;
};

// One set of receive buffers for every UDP socket of the process (the
// outgoing pool alone has hundreds): the loop has one thread, and a batch is
// copied out before any handler runs, so a handler that turns the loop again
// cannot overwrite what is still to be delivered.
struct ReceiveBuffers {
  std::array<std::unique_ptr<char[]>, kPerWakeup> data;
  std::array<sockaddr_in, kPerWakeup> senders{};
  std::array<mmsghdr, kPerWakeup> headers{};
  std::array<iovec, kPerWakeup> vectors{};
};

ReceiveBuffers& SharedBuffers() {
  static ReceiveBuffers buffers;
  if (!buffers.data[0]) {
    for (auto& one : buffers.data) one.reset(new char[kMaxDatagram]);
  }
  return buffers;
}

}  // namespace

struct UdpSocket::Impl : sockets::SocketCore<UdpSocket> {
  using SocketCore::SocketCore;

  void OnReady(bool readable, bool writable) override;
  // The number of datagrams received into the buffers, or -errno.
  int ReceiveBatch();
  void Deliver(int count);
  void Flush();

  bool broadcast = false;
  // The address reported by LocalIP when bound to an interface.
  std::string interface_address;
  // The batch being delivered, kept for its capacity.
  std::vector<Datagram> arrivals;
  // Replies queued while a batch of arrivals is delivered.
  bool delivering = false;
  std::vector<Outgoing> queued;
};

int UdpSocket::Impl::ReceiveBatch() {
  ReceiveBuffers& b = SharedBuffers();
  for (unsigned i = 0; i < kPerWakeup; ++i) {
    b.vectors[i] = {b.data[i].get(), kMaxDatagram};
    b.headers[i] = {};
    b.headers[i].msg_hdr.msg_name = &b.senders[i];
    b.headers[i].msg_hdr.msg_namelen = sizeof b.senders[i];
    b.headers[i].msg_hdr.msg_iov = &b.vectors[i];
    b.headers[i].msg_hdr.msg_iovlen = 1;
  }
  const int n = recvmmsg(fd, b.headers.data(), kPerWakeup, MSG_DONTWAIT, nullptr);
  if (n < 0) return -errno;
  arrivals.resize(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    Datagram& d = arrivals[i];
    d.data.assign(b.data[i].get(), b.headers[i].msg_len);
    d.host = sockets::HostText(b.senders[i]);
    d.port = ntohs(b.senders[i].sin_port);
  }
  return n;
}

void UdpSocket::Impl::Deliver(int count) {
  const auto keep = shared_from_this();  // a handler may destroy the socket
  delivering = true;
  for (int i = 0; i < count; ++i) {
    if (!Raise(&UdpSocket::OnDataArrival, arrivals[i])) break;
  }
  delivering = false;
  Flush();
}

void UdpSocket::Impl::OnReady(bool readable, bool /*writable*/) {
  if (!readable || fd < 0) return;
  const int n = ReceiveBatch();
  if (n == -EAGAIN || n == -EINTR) return;
  // A receive error is reported but leaves the socket open.
  if (n < 0) {
    RaiseError(-n);
    return;
  }
  Deliver(n);
}

// The replies of one batch leave in one system call.
void UdpSocket::Impl::Flush() {
  size_t done = 0;
  while (done < queued.size() && fd >= 0) {
    const size_t count = std::min<size_t>(queued.size() - done, kPerWakeup);
    std::array<mmsghdr, kPerWakeup> out{};
    std::array<iovec, kPerWakeup> iov{};
    for (size_t i = 0; i < count; ++i) {
      Outgoing& o = queued[done + i];
      iov[i] = {o.data.data(), o.data.size()};
      out[i].msg_hdr.msg_name = &o.to;
      out[i].msg_hdr.msg_namelen = sizeof o.to;
      out[i].msg_hdr.msg_iov = &iov[i];
      out[i].msg_hdr.msg_iovlen = 1;
    }
    const int sent = sendmmsg(fd, out.data(), static_cast<unsigned>(count), 0);
    if (sent <= 0) {
      // The failed reply is lost; the others still go.
      const int err = sent < 0 ? errno : EAGAIN;
      ++done;
      const int number = WinsockErrorNumber(err, true);
      auto handler = owner != nullptr && owner->OnSendError ? &UdpSocket::OnSendError : &UdpSocket::OnError;
      if (!Raise(handler, number, WinsockErrorText(number))) break;
    } else {
      done += static_cast<size_t>(sent);
    }
  }
  queued.clear();
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

void UdpSocket::BindInterface(uint16_t port, const std::string& address) {
  if (impl_->fd >= 0) sockets::ThrowErrno(EINVAL, true);
  const std::string wanted = sockets::HostText(sockets::ParseAddress(address, port, true));
  std::string device;
  for (const auto& [name, ip] : ReadInterfaceAddresses()) {
    if (ip == wanted) {
      device = name;
      break;
    }
  }
  if (device.empty()) sockets::ThrowErrno(EADDRNOTAVAIL, true);
  const int fd = sockets::OpenFd(SOCK_DGRAM);
  try {
    if (setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device.c_str(), static_cast<socklen_t>(device.size())) !=
        0) {
      sockets::ThrowErrno(errno, true);
    }
    if (impl_->broadcast) sockets::SetFlag(fd, SO_BROADCAST, true);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0)
      sockets::ThrowErrno(errno, true);
  } catch (...) {
    ::close(fd);
    throw;
  }
  impl_->interface_address = wanted;
  impl_->Open(fd, kSockOpen, false);
}

void UdpSocket::EnableBroadcast() {
  impl_->broadcast = true;
  if (impl_->fd >= 0) sockets::SetFlag(impl_->fd, SO_BROADCAST, true);
}

void UdpSocket::SetReceiveBuffer(int bytes) {
  if (impl_->fd < 0) return;
  // Beyond the system's cap only with the right to override it.
  if (setsockopt(impl_->fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0) {
    setsockopt(impl_->fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
  }
}

void UdpSocket::SendTo(const std::string& host, uint16_t port, const std::string& data) {
  const sockaddr_in to = sockets::ParseAddress(host, port, true);
  if (impl_->fd < 0) Bind(0);
  if (sendto(impl_->fd, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0) {
    sockets::ThrowErrno(errno, true);
  }
}

void UdpSocket::QueueTo(const std::string& host, uint16_t port, const std::string& data) {
  if (!impl_->delivering) {
    SendTo(host, port, data);
    return;
  }
  impl_->queued.push_back({sockets::ParseAddress(host, port, true), data});
}

void UdpSocket::Close() {
  impl_->queued.clear();
  impl_->interface_address.clear();
  impl_->Close();
}

uint16_t UdpSocket::LocalPort() const { return impl_->LocalPort(); }

std::string UdpSocket::LocalIP() const {
  return impl_->fd >= 0 && !impl_->interface_address.empty() ? impl_->interface_address : impl_->LocalIP();
}

int UdpSocket::State() const { return impl_->state; }

}  // namespace vell
