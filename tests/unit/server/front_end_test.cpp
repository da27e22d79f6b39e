#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/platform/socket.h"
#include "dns/message.h"
#include "dns/tables.h"
#include "form_fixture.h"
#include "loop_runner.h"

namespace vell {
namespace {

using test::FormTest;

std::string Query(size_t size) {
  std::string msg(size, '\0');
  msg[5] = 1;
  return msg;
}

std::string Response(size_t size) {
  std::string msg = Query(size);
  msg[2] = static_cast<char>(0x80);
  return msg;
}

class FrontEndTest : public FormTest {
 protected:
  void SetUp() override {
    t.ctx.settings.DNSBIND = "127.0.0.1";
    form.StartServer();
    ASSERT_TRUE(t.ctx.state.ServerRunning);
    client.Bind(0, "127.0.0.1");
  }
  // Sends to the service socket and gives the loop time to deliver it.
  void SendToService(const std::string& msg) {
    client.SendTo("127.0.0.1", endpoints.dns.Port(), msg);
    test::RunFor(loop, std::chrono::milliseconds(50));
  }
  UdpSocket client{loop};
};

// Our own queries never leave from the service socket, so responses there
// are dropped too.
TEST_F(FrontEndTest, ShortDatagramsResponsesAndBlockedFloodingOrPausedClientsAreDropped) {
  SendToService(Query(12));
  SendToService(Query(13));
  SendToService(Response(13));
  EXPECT_EQ(inbound.requests,
            std::vector{"127.0.0.1:" + std::to_string(client.LocalPort()) + ":" + Query(13)});
  EXPECT_TRUE(inbound.answers.empty());
  inbound.requests.clear();
  t.ctx.blocks.Blocks = {"127.0.0.1"};
  SendToService(Query(20));
  t.ctx.settings.LOGBLOCK = false;
  SendToService(Query(20));
  t.ctx.blocks.Blocks.clear();
  inbound.flood = true;
  SendToService(Query(20));
  EXPECT_EQ(Logged().back(), "Request from 127.0.0.1 on Block list. Ignored!");
  EXPECT_EQ(Logged().size(), 2u);  // the start line and one block line
  inbound.flood = false;
  const uint16_t port = endpoints.dns.Port();
  form.PauseServer();
  client.SendTo("127.0.0.1", port, Query(20));
  test::RunFor(loop, std::chrono::milliseconds(50));
  EXPECT_TRUE(inbound.requests.empty());
}

// A query for www.example.com. A as the resolver builds it.
std::string PeerQuery(int32_t id) {
  RecordingErrorSink sink;
  return BuildQuery(sink, id, false, {"www.example.com.", kTypeA, kClassIN});
}

class OutgoingPoolTest : public FrontEndTest {
 protected:
  void SetUp() override {
    t.ctx.settings.OUTGOINGRANGE = 64;
    t.ctx.settings.OUTGOINGQUERIES = 20000;
    FrontEndTest::SetUp();
    peer.Bind(0, "127.0.0.1");
    t.ctx.ports.peer = peer.LocalPort();
    peer.OnDataArrival = [&](const Datagram& d) { seen.push_back(d); };
  }
  UdpSocket peer{loop};
  std::vector<Datagram> seen;
};

TEST_F(OutgoingPoolTest, QueriesBeyondTheOpenBoundAreNotSent) {
  t.ctx.settings.OUTGOINGQUERIES = 3;
  for (int id = 0; id < 5; ++id) endpoints.dns.SendRequest("127.0.0.1", PeerQuery(id));
  test::RunFor(loop, std::chrono::milliseconds(50));
  EXPECT_EQ(seen.size(), 3u);
  EXPECT_EQ(Logged().back(), "** Limit reached: 3 open queries to other servers; 127.0.0.1 not asked");
}

TEST_F(OutgoingPoolTest, QueriesSpreadOverRandomPortsOfTheRange) {
  const std::vector<uint16_t> pool = endpoints.dns.Pool().Ports();
  ASSERT_EQ(std::set(pool.begin(), pool.end()).size(), 64u);
  // Drawn from 1024..65535, not handed out in a row by the system.
  EXPECT_GT(*std::max_element(pool.begin(), pool.end()) - *std::min_element(pool.begin(), pool.end()), 30000);
  constexpr int kQueries = 10000;
  std::set<uint16_t> used;
  for (int sent = 0; sent < kQueries; sent += 100) {
    for (int i = 0; i < 100; ++i) endpoints.dns.SendRequest("127.0.0.1", PeerQuery(sent + i));
    test::RunUntil(loop, [&] { return seen.size() >= 100; });
    for (const Datagram& d : seen) used.insert(d.port);
    seen.clear();
  }
  EXPECT_GE(used.size(), pool.size() * 9 / 10);
}

std::string DhcpRequest() {
  std::string msg(300, '\0');
  msg[0] = 1;
  msg[236] = 99;
  msg[237] = static_cast<char>(130);
  msg[238] = 83;
  msg[239] = 99;
  return msg;
}

TEST_F(FormTest, SplitDhcpRequestIsJoinedAndJunkNeverArrives) {
  clDHCPif scope;
  scope.IPaddr = "127.0.0.1";
  t.ctx.settings.DHCP = {scope};
  form.StartServer();
  ASSERT_EQ(endpoints.dhcp.Count(), 1u);
  UdpSocket client(loop);
  const auto send = [&](const std::string& msg) {
    client.SendTo("127.0.0.1", endpoints.dhcp.Port(1), msg);
    test::RunFor(loop, std::chrono::milliseconds(50));
  };
  std::string reply = DhcpRequest();
  reply[0] = 2;  // a BOOTP reply is not for us
  send(reply);
  EXPECT_TRUE(inbound.dhcp.empty());
  const std::string request = DhcpRequest();
  send(request.substr(0, 200));
  EXPECT_TRUE(inbound.dhcp.empty());
  send(request.substr(200));
  EXPECT_EQ(inbound.dhcp, (std::vector<std::string>{"1:127.0.0.1:300"}));
}

}  // namespace
}  // namespace vell
