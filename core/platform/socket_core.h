// What UdpSocket and TcpSocket share inside: the descriptor and its watch in
// the loop, the state, and the delivery of events to the owning socket
// object. The core is held by shared pointer and the loop only keeps a weak
// one, so a handler may close or destroy its own socket: the core outlives
// the dispatch, and the session counter tells the dispatch to stop.
#pragma once

#include <netinet/in.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <utility>

#include "core/platform/event_loop.h"
#include "core/platform/socket.h"

namespace vell::sockets {

[[noreturn]] void ThrowErrno(int err, bool udp);
// Dotted IPv4 text and port; anything else is an invalid argument.
sockaddr_in ParseAddress(const std::string& host, uint16_t port, bool udp);
std::string HostText(const sockaddr_in& addr);
// A new non-blocking, close-on-exec IPv4 socket of the given type.
int OpenFd(int type);
// A non-blocking socket bound to port (0: system-chosen) on address (empty:
// all); option, when not 0, is a boolean SOL_SOCKET option set before bind.
int OpenBound(int type, uint16_t port, const std::string& address, int option);
void SetFlag(int fd, int option, bool udp);
sockaddr_in LocalAddress(int fd);

template <class Owner>
struct SocketCore : std::enable_shared_from_this<SocketCore<Owner>> {
  SocketCore(EventLoop& event_loop, Owner* owning_socket, bool is_udp)
      : loop(event_loop), owner(owning_socket), udp(is_udp) {}
  virtual ~SocketCore() = default;
  SocketCore(const SocketCore&) = delete;
  SocketCore& operator=(const SocketCore&) = delete;

  virtual void OnReady(bool readable, bool writable) = 0;

  void Open(int new_fd, int new_state, bool want_write) {
    fd = new_fd;
    state = new_state;
    std::weak_ptr<SocketCore> self = this->weak_from_this();
    watch = loop.Watch(fd, want_write, [self](bool readable, bool writable) {
      if (auto core = self.lock()) core->OnReady(readable, writable);
    });
  }

  void StopWatching() {
    if (watch != 0) loop.Unwatch(watch);
    watch = 0;
  }

  virtual void Close() {
    StopWatching();
    if (fd >= 0) ::close(fd);
    fd = -1;
    state = kSockClosed;
    ++session;
  }

  // Runs one of the owner's event handlers (a copy, as the handler may
  // destroy the owner). False when the handler closed or destroyed the
  // socket, so the caller must not touch it any further.
  template <class Member, class... Args>
  bool Raise(Member member, Args&&... args) {
    const unsigned before = session;
    if (owner != nullptr && owner->*member) {
      auto handler = owner->*member;
      handler(std::forward<Args>(args)...);
    }
    return before == session;
  }

  // OnError with the Windows Sockets number and text of errno err.
  bool RaiseError(int err) {
    const int number = WinsockErrorNumber(err, udp);
    return Raise(&Owner::OnError, number, WinsockErrorText(number));
  }

  // A failed connection: no more events from it until it is closed.
  void Fail(int err) {
    state = kSockError;
    StopWatching();
    RaiseError(err);
  }

  uint16_t LocalPort() const { return fd < 0 ? 0 : ntohs(LocalAddress(fd).sin_port); }
  std::string LocalIP() const { return fd < 0 ? std::string("0.0.0.0") : HostText(LocalAddress(fd)); }

  EventLoop& loop;
  Owner* owner;  // cleared when the owning socket object is destroyed
  const bool udp;
  int fd = -1;
  int watch = 0;
  int state = kSockClosed;
  unsigned session = 0;  // counts closes
};

}  // namespace vell::sockets
