#include <gtest/gtest.h>

#include <cerrno>
#include <tuple>

#include "core/platform/socket.h"

namespace vell {
namespace {

TEST(SocketErrorTest, ErrnoBecomesTheWindowsSocketsNumberAndText) {
  const std::tuple<int, bool, int, const char*> table[] = {
      // errno, on UDP, number, text
      {ECONNRESET, false, 10054, "Connection reset by peer"},
      {ECONNRESET, true, 10054, "Connection reset by peer"},
      {ECONNREFUSED, true, 10054, "Connection reset by peer"},  // a refused datagram
      {ECONNREFUSED, false, 10061, "Connection refused"},
      {EHOSTUNREACH, true, 10065, "No route to host"},
      {ENETUNREACH, true, 10065, "No route to host"},
      {EADDRINUSE, true, 10048, "Address already in use"},
      {EADDRNOTAVAIL, false, 10049, "Cannot assign requested address"},
      {EACCES, true, 10013, "Permission denied"},
      {ETIMEDOUT, false, 10060, "Connection timed out"},
      {ENOTCONN, false, 10057, "Socket is not connected"},
      {EINVAL, false, 10022, "Invalid argument"},
      {ENOSPC, false, 10000 + ENOSPC, "No space left on device"},  // unmapped: its own number
  };
  for (const auto& [err, udp, number, text] : table) {
    EXPECT_EQ(WinsockErrorNumber(err, udp), number) << err << udp;
    EXPECT_EQ(WinsockErrorText(number), text) << number;
  }
  EXPECT_EQ(WinsockErrorText(-1), "Unknown error");
}

}  // namespace
}  // namespace vell
