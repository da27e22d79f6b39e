// The datagram to the reload port, over a plain blocking socket: vellctl
// sends one command and ends, so it needs no event loop.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ctl/vellctl.h"

namespace vell::ctl {

namespace {

class Fd {
 public:
  Fd() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

bool Bind(const Fd& fd, uint16_t port) {
  const sockaddr_in a = Loopback(port);
  return ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
}

// Whether some socket holds 127.0.0.1:port: then we cannot bind it.
bool PortHeld(uint16_t port) {
  const Fd probe;
  return probe.get() >= 0 && !Bind(probe, port) && errno == EADDRINUSE;
}

// A refusal comes back as an error on the connected socket.
bool RefusedWithin(const Fd& fd, std::chrono::milliseconds wait) {
  pollfd p{fd.get(), POLLIN, 0};
  if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) return false;
  char byte = 0;
  return ::recv(fd.get(), &byte, 1, MSG_DONTWAIT) < 0 && errno == ECONNREFUSED;
}

}  // namespace

Delivery SendCommand(uint16_t port, const std::string& text, std::chrono::milliseconds wait,
                     std::string& error) {
  if (!PortHeld(port)) return Delivery::kNoServer;
  const Fd fd;
  const sockaddr_in to = Loopback(port);
  // From 127.0.0.1: the server ignores every other source address.
  if (fd.get() < 0 || !Bind(fd, 0) ||
      ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 ||
      ::send(fd.get(), text.data(), text.size(), 0) < 0) {
    if (errno == ECONNREFUSED) return Delivery::kRefused;
    error = std::strerror(errno);
    return Delivery::kFailed;
  }
  return RefusedWithin(fd, wait) ? Delivery::kRefused : Delivery::kSent;
}

}  // namespace vell::ctl
