#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "core/platform/event_loop.h"
#include "core/platform/socket.h"
#include "loop_runner.h"

namespace vell {
namespace {

using test::RunUntil;

const char kLoopback[] = "127.0.0.1";

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
  void WaitConnected() {
    ASSERT_TRUE(RunUntil(loop, [&] { return connects == 1 && server.State() == kSockConnected; }));
  }
  void Connect() {
    client.Connect(kLoopback, listener.LocalPort());
    WaitConnected();
  }

  EventLoop loop;
  TcpSocket listener{loop}, server{loop}, client{loop};
  std::string requester, at_server, at_client;
  int connects = 0, server_closes = 0, client_closes = 0, client_error = 0;
};

TEST_F(TcpSocketTest, LargeStreamArrivesCompleteAndInOrder) {
  EXPECT_EQ(listener.State(), kSockListening);
  EXPECT_NE(listener.LocalPort(), 0);
  client.Connect(kLoopback, listener.LocalPort());
  EXPECT_EQ(client.State(), kSockConnecting);
  ASSERT_NO_FATAL_FAILURE(WaitConnected());
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
}

TEST_F(TcpSocketTest, PeerCloseRaisesOnCloseOnce) {
  ASSERT_NO_FATAL_FAILURE(Connect());
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
  EXPECT_TRUE(RunUntil(loop, [&] { return client_closes == 1 || client_error != 0; }));
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

TEST_F(TcpSocketTest, ListeningOnATakenPortOrSendingUnconnectedThrowsItsNumber) {
  TcpSocket second(loop);
  const std::pair<std::function<void()>, int> cases[] = {
      {[&] { second.Listen(listener.LocalPort(), kLoopback); }, 10048},
      {[&] { client.Send("x"); }, 10057},
  };
  for (const auto& [operation, number] : cases) {
    try {
      operation();
      ADD_FAILURE() << number << " not raised";
    } catch (const SocketError& e) {
      EXPECT_EQ(e.Number(), number);
    }
  }
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
  EXPECT_TRUE(RunUntil(loop, [&] { return client_closes == 1 || client_error != 0; }));
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace vell
