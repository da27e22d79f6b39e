#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/event_loop.h"
#include "core/platform/socket.h"
#include "loop_runner.h"

namespace vell {
namespace {

using test::RunUntil;

const char kLoopback[] = "127.0.0.1";

struct UdpSocketTest : testing::Test {
  UdpSocketTest() {
    server.Bind(0, kLoopback);
    server.OnDataArrival = [this](const Datagram& d) { received.push_back(d); };
  }
  EventLoop loop;
  UdpSocket server{loop};
  std::vector<Datagram> received;
};

TEST_F(UdpSocketTest, EachDatagramArrivesWholeWithItsSender) {
  UdpSocket client(loop);
  client.Bind(0, kLoopback);

  const std::string binary("\0\xff\x80 binary", 10);
  const std::string largest(65507, 'L');  // the largest IPv4 datagram
  for (const auto& payload : {std::string("first"), binary, largest}) {
    client.SendTo(kLoopback, server.LocalPort(), payload);
  }
  ASSERT_TRUE(RunUntil(loop, [&] { return received.size() == 3; }));
  EXPECT_EQ(received[0].data, "first");
  EXPECT_EQ(received[1].data, binary);
  EXPECT_EQ(received[2].data.size(), largest.size());
  for (const auto& d : received) {
    EXPECT_EQ(d.host, kLoopback);
    EXPECT_EQ(d.port, client.LocalPort());
  }
}

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long kb = 0;
  while (status >> key && key != "VmRSS:") status.ignore(1 << 10, '\n');
  status >> kb;
  return kb;
}

// A resolver holds hundreds of sockets that each receive now and then: what
// one of them costs must not be a batch of 64 KB buffers of its own.
TEST_F(UdpSocketTest, SocketsThatHaveReceivedCostNoBuffersOfTheirOwn) {
  std::vector<std::unique_ptr<UdpSocket>> pool;
  int arrived = 0;
  const long before = ResidentKb();
  for (int i = 0; i < 64; ++i) {
    pool.push_back(std::make_unique<UdpSocket>(loop));
    pool.back()->Bind(0, kLoopback);
    pool.back()->OnDataArrival = [&](const Datagram&) { ++arrived; };
    server.SendTo(kLoopback, pool.back()->LocalPort(), "x");
  }
  ASSERT_TRUE(RunUntil(loop, [&] { return arrived == 64; }));
  EXPECT_LT(ResidentKb() - before, 16 * 1024);
}

// A queued reply that cannot leave is a send error; the others still go.
TEST_F(UdpSocketTest, RepliesQueuedDuringABatchAllLeaveInOrder) {
  std::vector<int> send_errors;
  int other_errors = 0;
  server.OnSendError = [&](int number, const std::string&) { send_errors.push_back(number); };
  server.OnError = [&](int, const std::string&) { ++other_errors; };
  server.OnDataArrival = [this](const Datagram& d) {
    if (d.data == "0") server.QueueTo(kLoopback, 0, "nowhere");  // port 0 is refused by the kernel
    server.QueueTo(d.host, d.port, "re:" + d.data);
  };
  UdpSocket client(loop);
  client.Bind(0, kLoopback);
  std::vector<std::string> replies;
  client.OnDataArrival = [&](const Datagram& d) { replies.push_back(d.data); };
  for (int i = 0; i < 40; ++i) client.SendTo(kLoopback, server.LocalPort(), std::to_string(i));
  ASSERT_TRUE(RunUntil(loop, [&] { return replies.size() == 40; }));
  for (int i = 0; i < 40; ++i) EXPECT_EQ(replies[i], "re:" + std::to_string(i));
  EXPECT_EQ(send_errors.size(), 1u);
  EXPECT_EQ(other_errors, 0);

  // Outside a batch it sends at once.
  server.QueueTo(kLoopback, client.LocalPort(), "direct");
  ASSERT_TRUE(RunUntil(loop, [&] { return replies.size() == 41; }));
  EXPECT_EQ(replies.back(), "direct");
}

TEST_F(UdpSocketTest, UnboundSocketGetsAnEphemeralPortOnFirstSendAndReceivesReplies) {
  UdpSocket client(loop);
  EXPECT_EQ(client.State(), kSockClosed);
  std::vector<std::string> replies;
  client.OnDataArrival = [&](const Datagram& d) { replies.push_back(d.data); };
  server.OnDataArrival = [&](const Datagram& d) { server.SendTo(d.host, d.port, "re: " + d.data); };

  client.SendTo(kLoopback, server.LocalPort(), "query");
  EXPECT_EQ(client.State(), kSockOpen);
  // Port 0 at the bind and the first send both leave the choice to the system.
  EXPECT_EQ(server.State(), kSockOpen);
  EXPECT_EQ(server.LocalIP(), kLoopback);
  EXPECT_NE(server.LocalPort(), 0);
  EXPECT_NE(client.LocalPort(), 0);
  EXPECT_NE(client.LocalPort(), server.LocalPort());
  ASSERT_TRUE(RunUntil(loop, [&] { return !replies.empty(); }));
  EXPECT_EQ(replies[0], "re: query");
}

TEST_F(UdpSocketTest, BindingATakenPortFailsWithAddressInUse) {
  UdpSocket second(loop);
  try {
    second.Bind(server.LocalPort(), kLoopback);
    FAIL() << "second bind succeeded";
  } catch (const SocketError& e) {
    EXPECT_EQ(e.Number(), 10048);
    EXPECT_STREQ(e.what(), "Address already in use");
  }
  EXPECT_EQ(second.State(), kSockClosed);
}

TEST_F(UdpSocketTest, DestroyingTheSocketInsideItsHandlerIsSafe) {
  auto doomed = std::make_unique<UdpSocket>(loop);
  doomed->Bind(0, kLoopback);
  int calls = 0;
  doomed->OnDataArrival = [&](const Datagram&) {
    ++calls;
    doomed.reset();
  };
  UdpSocket client(loop);
  for (int i = 0; i < 3; ++i) client.SendTo(kLoopback, doomed->LocalPort(), "d");
  test::RunFor(loop, std::chrono::milliseconds(30));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(doomed, nullptr);
}

}  // namespace
}  // namespace vell
