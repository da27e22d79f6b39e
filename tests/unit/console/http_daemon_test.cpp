#include "console/http_daemon.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "loop_runner.h"

namespace vell {
namespace {

using namespace std::chrono_literals;

TEST(HttpDaemon, SilentConnectionIsClosedAtItsTimeOut) {
  EventLoop loop;
  HttpDaemon daemon(loop, "127.0.0.1", 0, 1, [](const HttpRequest&) { return HttpResponse::Text(200, ""); });
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(daemon.Port());
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to), 0);
  const auto opened = std::chrono::steady_clock::now();
  char octet = 0;
  EXPECT_TRUE(test::RunUntil(
      loop, [&] { return recv(fd, &octet, 1, MSG_DONTWAIT) == 0; }, 4s));
  EXPECT_GE(std::chrono::steady_clock::now() - opened, 900ms);
  close(fd);
}

}  // namespace
}  // namespace vell
