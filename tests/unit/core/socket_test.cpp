// UDP and TCP sockets on the real event loop, over loopback.
#include "core/platform/socket.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/platform/event_loop.h"
#include "loop_runner.h"

namespace vell {
namespace {

using test::RunUntil;

const char kLoopback[] = "127.0.0.1";

TEST(SocketErrors, ErrnoBecomesTheWindowsSocketsNumberAndText) {
  // The rows with a rule of their own; the rest of the table maps one to one.
  const std::tuple<int, bool, int, const char*> table[] = {
      // errno, on UDP, number, text
      {ECONNRESET, false, 10054, "Connection reset by peer"},
      {ECONNREFUSED, true, 10054, "Connection reset by peer"},  // a refused datagram
      {ECONNREFUSED, false, 10061, "Connection refused"},
      {ENETUNREACH, true, 10065, "No route to host"},
      {ENOSPC, false, 10000 + ENOSPC, "No space left on device"},  // unmapped: its own number
  };
  for (const auto& [err, udp, number, text] : table) {
    EXPECT_EQ(WinsockErrorNumber(err, udp), number) << err << udp;
    EXPECT_EQ(WinsockErrorText(number), text) << number;
  }
  EXPECT_EQ(WinsockErrorText(-1), "Unknown error");
}

TEST(SocketErrors, TakenPortsAndSendingUnconnectedThrowTheirNumber) {
  EventLoop loop;
  UdpSocket udp(loop), second_udp(loop);
  TcpSocket listener(loop), second_listener(loop), unconnected(loop);
  udp.Bind(0, kLoopback);
  listener.Listen(0, kLoopback);
  const std::tuple<std::function<void()>, int, const char*> cases[] = {
      {[&] { second_udp.Bind(udp.LocalPort(), kLoopback); }, 10048, "Address already in use"},
      {[&] { second_listener.Listen(listener.LocalPort(), kLoopback); }, 10048, "Address already in use"},
      {[&] { unconnected.Send("x"); }, 10057, "Socket is not connected"}};
  for (const auto& [operation, number, text] : cases) {
    try {
      operation();
      ADD_FAILURE() << number << " not raised";
    } catch (const SocketError& e) {
      EXPECT_EQ(e.Number(), number);
      EXPECT_STREQ(e.what(), text);
    }
  }
  EXPECT_EQ(second_udp.State(), kSockClosed);
}

struct UdpSocketTest : testing::Test {
  UdpSocketTest() {
    server.Bind(0, kLoopback);
    server.OnDataArrival = [this](const Datagram& d) { received.push_back(d); };
  }
  EventLoop loop;
  UdpSocket server{loop};
  std::vector<Datagram> received;
};

// An unbound socket takes an ephemeral port at its first send; port 0 at
// the bind and the first send both leave the choice to the system.
TEST_F(UdpSocketTest, EachDatagramArrivesWholeWithItsSenderWhichGetsThePortOnItsFirstSend) {
  UdpSocket client(loop);
  EXPECT_EQ(client.State(), kSockClosed);
  std::vector<std::string> replies;
  client.OnDataArrival = [&](const Datagram& d) { replies.push_back(d.data); };
  server.OnDataArrival = [&](const Datagram& d) {
    received.push_back(d);
    server.SendTo(d.host, d.port, "re: " + d.data.substr(0, 5));
  };
  const std::string binary("\0\xff\x80 binary", 10);
  const std::string largest(65507, 'L');  // the largest IPv4 datagram
  for (const auto& payload : {std::string("first"), binary, largest}) {
    client.SendTo(kLoopback, server.LocalPort(), payload);
  }
  EXPECT_EQ(client.State(), kSockOpen);
  EXPECT_EQ(server.State(), kSockOpen);
  EXPECT_EQ(server.LocalIP(), kLoopback);
  EXPECT_NE(server.LocalPort(), 0);
  EXPECT_NE(client.LocalPort(), 0);
  EXPECT_NE(client.LocalPort(), server.LocalPort());
  ASSERT_TRUE(RunUntil(loop, [&] { return received.size() == 3 && replies.size() == 3; }));
  EXPECT_EQ(received[0].data, "first");
  EXPECT_EQ(received[1].data, binary);
  EXPECT_EQ(received[2].data.size(), largest.size());
  for (const auto& d : received) {
    EXPECT_EQ(d.host, kLoopback);
    EXPECT_EQ(d.port, client.LocalPort());
  }
  EXPECT_EQ(replies[0], "re: first");
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

// A listener whose handler accepts every request into `server`, and a
// client that records what happens to it.
struct TcpSocketTest : testing::Test {
  TcpSocketTest() {
    listener.Listen(0, kLoopback);
    listener.OnConnectionRequest = [this](int id) {
      requester = listener.RemoteHostIP();
      server.Accept(listener, id);
    };
    server.OnDataArrival = [this](const std::string& chunk) { at_server += chunk; };
    server.OnClose = [this] { ++server_closes; };
    client.OnConnect = [this] { ++connects; };
    client.OnDataArrival = [this](const std::string& chunk) { at_client += chunk; };
    client.OnClose = [this] { ++client_closes; };
    client.OnError = [this](int number, const std::string&) { client_error = number; };
  }
  bool ClientGone() { return client_closes == 1 || client_error != 0; }

  EventLoop loop;
  TcpSocket listener{loop}, server{loop}, client{loop};
  std::string requester, at_server, at_client;
  int connects = 0, server_closes = 0, client_closes = 0, client_error = 0;
};

TEST_F(TcpSocketTest, LargeStreamArrivesCompleteAndInOrderAndPeerCloseRaisesOnCloseOnce) {
  EXPECT_EQ(listener.State(), kSockListening);
  EXPECT_NE(listener.LocalPort(), 0);
  client.Connect(kLoopback, listener.LocalPort());
  EXPECT_EQ(client.State(), kSockConnecting);
  ASSERT_TRUE(RunUntil(loop, [&] { return connects == 1 && server.State() == kSockConnected; }));
  EXPECT_EQ(requester, kLoopback);
  EXPECT_EQ(client.State(), kSockConnected);
  EXPECT_EQ(server.RemotePort(), client.LocalPort());

  // 8 MiB, more than loopback socket buffers take at once, so most of it
  // waits in the socket's own output buffer; pieces of varying size, each
  // marked by its position, so a lost, repeated or reordered piece shows.
  std::string sent;
  for (int piece = 0; sent.size() < (8u << 20); ++piece) {
    std::string chunk(1 + (piece * 37) % 4096, static_cast<char>(piece % 251));
    sent += chunk;
    client.Send(chunk);
  }
  ASSERT_TRUE(RunUntil(loop, [&] { return at_server.size() >= sent.size(); }));
  EXPECT_TRUE(at_server == sent);
  server.Send("reply");
  ASSERT_TRUE(RunUntil(loop, [&] { return at_client == "reply"; }));

  at_server.clear();
  client.Send("last words");
  client.Close();
  EXPECT_EQ(client.State(), kSockClosed);
  ASSERT_TRUE(RunUntil(loop, [&] { return server_closes == 1; }));
  EXPECT_EQ(at_server, "last words");
  EXPECT_EQ(server.State(), kSockClosing);
  test::RunFor(loop, std::chrono::milliseconds(20));
  EXPECT_EQ(server_closes, 1);
}

TEST_F(TcpSocketTest, RequestNotAcceptedInTheHandlerIsClosed) {
  listener.OnConnectionRequest = [](int) {};
  client.Connect(kLoopback, listener.LocalPort());
  EXPECT_TRUE(RunUntil(loop, [&] { return ClientGone(); }));
  EXPECT_EQ(server.State(), kSockClosed);
}

TEST_F(TcpSocketTest, ConnectToAClosedPortRaisesConnectionRefused) {
  uint16_t closed_port = 0;
  {
    TcpSocket probe(loop);
    probe.Listen(0, kLoopback);
    closed_port = probe.LocalPort();
  }
  client.Connect(kLoopback, closed_port);
  ASSERT_TRUE(RunUntil(loop, [&] { return client_error != 0; }));
  EXPECT_EQ(client_error, 10061);
  EXPECT_EQ(client.State(), kSockError);
  EXPECT_EQ(connects, 0);
}

TEST_F(TcpSocketTest, DestroyingTheSocketInsideItsHandlerIsSafe) {
  auto doomed = std::make_unique<TcpSocket>(loop);
  listener.OnConnectionRequest = [&](int id) { doomed->Accept(listener, id); };
  int calls = 0;
  doomed->OnDataArrival = [&](const std::string&) {
    ++calls;
    doomed.reset();
  };
  client.Connect(kLoopback, listener.LocalPort());
  ASSERT_TRUE(RunUntil(loop, [&] { return connects == 1; }));
  client.Send("one");
  ASSERT_TRUE(RunUntil(loop, [&] { return doomed == nullptr; }));
  client.Send("two");
  EXPECT_TRUE(RunUntil(loop, [&] { return ClientGone(); }));
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace vell
