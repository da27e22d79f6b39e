#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "core/platform/socket.h"
#include "core/platform/socket_core.h"

namespace vell {

struct TcpSocket::Impl : sockets::SocketCore<TcpSocket> {
  using SocketCore::SocketCore;

  void OnReady(bool readable, bool writable) override;
  void Close() override;
  void AcceptOne();
  void FinishConnect();
  void ReadAvailable();
  void PeerClosed();
  // Writes as much of the output as the kernel takes now; 0 or the errno.
  int WriteOut();
  // The error the kernel holds for the connection, 0 if none.
  int PendingError() const;
  // Watch for writability exactly while output waits.
  void UpdateInterest();
  bool OutputPending() const { return out_pos < out.size(); }

  std::string out;  // octets not yet taken by the kernel, from out_pos on
  size_t out_pos = 0;
  int connect_error = 0;  // a connect that failed at once, reported as an event
  sockaddr_in remote{};
  // Listener: the connection being announced, until accepted or dropped.
  int pending_fd = -1;
  int pending_id = 0;
};

void TcpSocket::Impl::OnReady(bool readable, bool writable) {
  switch (state) {
    case kSockListening:
      if (readable) AcceptOne();
      return;
    case kSockConnecting:
      FinishConnect();
      return;
    case kSockConnected:
      if (writable) {
        if (const int err = WriteOut()) return Fail(err);
        UpdateInterest();
      }
      if (readable) ReadAvailable();
      return;
    case kSockClosing:
      // Only output is left to serve; other readiness means the connection
      // failed (a reset after the peer's close).
      if (const int err = OutputPending() ? WriteOut() : PendingError()) return Fail(err);
      UpdateInterest();
      return;
    default:
      return;
  }
}

void TcpSocket::Impl::AcceptOne() {
  sockaddr_in peer{};
  socklen_t len = sizeof peer;
  const int conn = accept4(fd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (conn < 0) {
    // A connection reset before it was taken is simply gone.
    if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED) RaiseError(errno);
    return;
  }
  pending_fd = conn;
  remote = peer;
  Raise(&TcpSocket::OnConnectionRequest, ++pending_id);
  if (pending_fd >= 0) ::close(pending_fd);  // not accepted by the handler
  pending_fd = -1;
}

int TcpSocket::Impl::PendingError() const {
  int err = 0;
  socklen_t len = sizeof err;
  getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
  return err;
}

void TcpSocket::Impl::FinishConnect() {
  if (const int err = connect_error != 0 ? connect_error : PendingError()) return Fail(err);
  state = kSockConnected;
  UpdateInterest();
  Raise(&TcpSocket::OnConnect);
}

void TcpSocket::Impl::ReadAvailable() {
  // Everything received so far is one event; the cap keeps one busy peer
  // from holding the loop (the rest stays ready).
  constexpr size_t kMaxChunk = 1 << 20;
  std::string got;
  int err = 0;
  bool eof = false;
  constexpr size_t kRead = 65536;
  while (got.size() < kMaxChunk) {
    // Received straight into the string's spare room, trimmed after.
    const size_t had = got.size();
    got.resize(had + kRead);
    const ssize_t n = recv(fd, got.data() + had, kRead, 0);
    got.resize(had + static_cast<size_t>(std::max<ssize_t>(n, 0)));
    if (n > 0) continue;
    eof = n == 0;
    if (n < 0 && errno != EAGAIN && errno != EINTR) err = errno;
    break;
  }
  if (!got.empty() && !Raise(&TcpSocket::OnDataArrival, got)) return;
  if (eof) {
    PeerClosed();
  } else if (err != 0) {
    Fail(err);
  }
}

void TcpSocket::Impl::PeerClosed() {
  state = kSockClosing;
  // End of stream stays readable for ever; from now on only output (and
  // errors) need the loop.
  loop.SetWantRead(watch, false);
  Raise(&TcpSocket::OnClose);
}

int TcpSocket::Impl::WriteOut() {
  while (OutputPending()) {
    const ssize_t n = send(fd, out.data() + out_pos, out.size() - out_pos, MSG_NOSIGNAL);
    if (n < 0) return errno == EAGAIN || errno == EINTR ? 0 : errno;
    out_pos += static_cast<size_t>(n);
  }
  out.clear();
  out_pos = 0;
  return 0;
}

void TcpSocket::Impl::UpdateInterest() {
  if (watch != 0) loop.SetWantWrite(watch, OutputPending());
}

void TcpSocket::Impl::Close() {
  // Output the kernel takes now still goes out; the rest is dropped, as the
  // connection is being abandoned.
  if (state == kSockConnected || state == kSockClosing) WriteOut();
  out.clear();
  out_pos = 0;
  if (pending_fd >= 0) ::close(pending_fd);
  pending_fd = -1;
  SocketCore::Close();
}

TcpSocket::TcpSocket(EventLoop& loop) : impl_(std::make_shared<Impl>(loop, this, false)) {}

TcpSocket::~TcpSocket() {
  impl_->owner = nullptr;
  impl_->Close();
}

void TcpSocket::Listen(uint16_t port, const std::string& address) {
  if (impl_->fd >= 0) sockets::ThrowErrno(EINVAL, false);
  // SO_REUSEADDR lets a restarted server listen again at once despite
  // connections of the previous run in TIME_WAIT; a live listener on the
  // port still makes this fail.
  const int fd = sockets::OpenBound(SOCK_STREAM, port, address, SO_REUSEADDR);
  if (::listen(fd, SOMAXCONN) != 0) {
    const int err = errno;
    ::close(fd);
    sockets::ThrowErrno(err, false);
  }
  impl_->Open(fd, kSockListening, false);
}

void TcpSocket::Accept(TcpSocket& listener, int request_id) {
  Impl& from = *listener.impl_;
  if (impl_->fd >= 0 || from.pending_fd < 0 || from.pending_id != request_id) {
    sockets::ThrowErrno(EINVAL, false);
  }
  impl_->remote = from.remote;
  impl_->Open(from.pending_fd, kSockConnected, false);
  from.pending_fd = -1;
}

void TcpSocket::Connect(const std::string& host, uint16_t port) {
  if (impl_->fd >= 0) sockets::ThrowErrno(EISCONN, false);
  const sockaddr_in to = sockets::ParseAddress(host, port, false);
  const int fd = sockets::OpenFd(SOCK_STREAM);
  // Even a refusal known at once (loopback) is reported through OnError,
  // like every other outcome of a connect.
  const bool failed = ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0;
  impl_->connect_error = failed && errno != EINPROGRESS ? errno : 0;
  impl_->remote = to;
  impl_->Open(fd, kSockConnecting, true);
}

void TcpSocket::Send(const std::string& data) {
  Impl& s = *impl_;
  if (s.state != kSockConnected && s.state != kSockClosing) sockets::ThrowErrno(ENOTCONN, false);
  const bool was_idle = !s.OutputPending();
  if (s.out_pos > 0 && s.out_pos >= s.out.size() / 2) {
    s.out.erase(0, s.out_pos);
    s.out_pos = 0;
  }
  s.out += data;
  if (was_idle) {
    if (const int err = s.WriteOut()) {
      s.state = kSockError;
      s.StopWatching();
      sockets::ThrowErrno(err, false);
    }
  }
  s.UpdateInterest();
}

size_t TcpSocket::PendingOutput() const { return impl_->out.size() - impl_->out_pos; }

void TcpSocket::Close() { impl_->Close(); }

uint16_t TcpSocket::LocalPort() const { return impl_->LocalPort(); }

std::string TcpSocket::LocalIP() const { return impl_->LocalIP(); }

std::string TcpSocket::RemoteHostIP() const { return sockets::HostText(impl_->remote); }

uint16_t TcpSocket::RemotePort() const { return ntohs(impl_->remote.sin_port); }

int TcpSocket::State() const { return impl_->state; }

}  // namespace vell
