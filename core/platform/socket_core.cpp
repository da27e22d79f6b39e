#include "core/platform/socket_core.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>

#include "core/ip.h"

namespace vell::sockets {

void ThrowErrno(int err, bool udp) {
  const int number = WinsockErrorNumber(err, udp);
  throw SocketError(number, WinsockErrorText(number));
}

sockaddr_in ParseAddress(const std::string& host, uint16_t port, bool udp) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) ThrowErrno(EINVAL, udp);
  return addr;
}

std::string HostText(const sockaddr_in& addr) {
  // inet_ntop formats through printf, which shows in a profile of every datagram.
  return DataToIP(std::string(reinterpret_cast<const char*>(&addr.sin_addr), sizeof addr.sin_addr));
}

void SetFlag(int fd, int option, bool udp) {
  const int on = 1;
  if (setsockopt(fd, SOL_SOCKET, option, &on, sizeof on) != 0) ThrowErrno(errno, udp);
}

int OpenFd(int type) {
  const int fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) ThrowErrno(errno, type == SOCK_DGRAM);
  return fd;
}

int OpenBound(int type, uint16_t port, const std::string& address, int option) {
  const bool udp = type == SOCK_DGRAM;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  if (!address.empty()) local = ParseAddress(address, port, udp);
  const int fd = OpenFd(type);
  try {
    if (option != 0) SetFlag(fd, option, udp);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) ThrowErrno(errno, udp);
  } catch (...) {
    ::close(fd);
    throw;
  }
  return fd;
}

sockaddr_in LocalAddress(int fd) {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  return addr;
}

}  // namespace vell::sockets
