#include <gtest/gtest.h>

#include <cerrno>

#include "core/platform/socket.h"

namespace vell {
namespace {

struct Mapping {
  int err;
  bool udp;
  int number;
  const char* text;
};

TEST(SocketErrorTest, ErrnoBecomesTheWindowsSocketsNumberAndText) {
  const Mapping table[] = {
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
  };
  for (const auto& m : table) {
    SCOPED_TRACE(testing::Message() << "errno " << m.err << (m.udp ? " udp" : " tcp"));
    EXPECT_EQ(WinsockErrorNumber(m.err, m.udp), m.number);
    EXPECT_EQ(WinsockErrorText(m.number), m.text);
  }
  EXPECT_EQ(kWsaConnReset, 10054);
  EXPECT_EQ(kWsaHostUnreach, 10065);
}

TEST(SocketErrorTest, UnmappedErrnoKeepsItsOwnNumberAndSystemText) {
  const int number = WinsockErrorNumber(ENOSPC, false);
  EXPECT_EQ(number, 10000 + ENOSPC);
  EXPECT_EQ(WinsockErrorText(number), "No space left on device");
  EXPECT_EQ(WinsockErrorText(-1), "Unknown error");
}

}  // namespace
}  // namespace vell
