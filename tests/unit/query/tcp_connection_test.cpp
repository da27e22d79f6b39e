// DNS over TCP: ProcReq's outcomes, transfer formats and refusals, the idle
// allowance and the output bound, on a loopback connection.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <set>
#include <tuple>

#include "dns/names.h"
#include "dns/wire.h"
#include "loop_runner.h"
#include "query_fixture.h"

namespace vell::test {
namespace {

struct Sink final : TransferSink {
  bool SendMessage(const std::string& msg) override { return sent.push_back(msg), sent.size() < fail_after; }
  std::vector<std::string> sent;
  size_t fail_after = SIZE_MAX;
};

class TcpConnectionTest : public QueryTest {
 protected:
  TcpConnectionTest() : zone(ExampleZone()) {
    listener.Listen(0, "127.0.0.1");
    listener.OnConnectionRequest = [this](int id) { q.TCPcon.Accept(listener, id); };
    client.OnDataArrival = [this](const std::string& d) { got += d; };
    client.Connect("127.0.0.1", listener.LocalPort());
    EXPECT_TRUE(RunUntil(t.loop, [&] { return !q.TCPcon.TCPcon.empty(); }));
  }
  ctlZT& H() { return *q.TCPcon.TCPcon.at(0); }
  // A connection from source that never reads, closed at the end.
  int Connect(const char* source, int receive_buffer = 0) {
    const int fd = fds.emplace_back(socket(AF_INET, SOCK_STREAM, 0));
    if (receive_buffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
    sockaddr_in from{AF_INET, 0, {inet_addr(source)}, {}};
    sockaddr_in to{AF_INET, htons(listener.LocalPort()), {htonl(INADDR_LOOPBACK)}, {}};
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    return fd;
  }
  ~TcpConnectionTest() override {
    for (int fd : fds) close(fd);
  }
  std::vector<int> fds;
  ZonePtr zone;
  TcpSocket listener{t.loop}, client{t.loop};
  std::string got;
};

TEST_F(TcpConnectionTest, EachRequestGetsItsOutcome) {
  const std::string a = Query(7, "example.com.", kTypeA);
  auto with = [&](size_t at, char c) { return std::string(a).replace(at, 1, 1, c); };
  // The first line logged, the RCODE of the request sent back (-1: no
  // reply) and the requests counted.
  const std::tuple<std::string, std::string, int, double> cases[] = {
      {with(2, '\x81'), "", -1, 0},
      {with(5, 0), "Incomplete DNS Request from 127.0.0.1 (TCP)", -1, 1},
      {a.substr(0, a.size() - 3), "Incomplete DNS Request from 127.0.0.1 (TCP)", -1, 1},
      {with(2, 0x11), "Server Status Request from 127.0.0.1 (TCP)", 4, 1},
      // Not secondary for the zone: server failure, on this connection.
      {Query(7, "example.com.", kTypeSOA, 1, 0x20),
       "Zone Update Notification from 127.0.0.1 about example.com.", 2, 1},
      {Query(7, "example.com.", kTypeA, kClassCHAOS),
       "DNS Request from 127.0.0.1 for CHAOS class record (TCP)", 4, 1},
      {Query(7, "example.com.", 251), "Request from 127.0.0.1 for IXFR-record for example.com. (TCP)", 4, 1},
  };
  for (const auto& [msg, log, rcode, counted] : cases) {
    got.clear();
    ctx.log.LogBuffer.clear();
    const double before = ctx.state.RequestCount;
    H().ProcReq(msg);
    EXPECT_EQ(ctx.state.RequestCount - before, counted) << log;
    EXPECT_EQ(Logged().empty() ? "" : Logged()[0], log);
    std::string reply = msg;
    reply[2] = static_cast<char>(reply[2] | 0x80);
    reply[3] = static_cast<char>(rcode);
    if (rcode >= 0) {
      EXPECT_TRUE(RunUntil(t.loop, [&] { return got == MakeInt(int32_t(reply.size())) + reply; }));
    }
  }
  // A header alone, as it arrives, is not even counted.
  const double before = ctx.state.RequestCount;
  H().DataArrival(MakeInt(12) + a.substr(0, 12));
  EXPECT_EQ(ctx.state.RequestCount, before);
}

TEST_F(TcpConnectionTest, TransfersSendTheSoaFirstAndLastInEitherFormat) {
  zone->Secure = false;
  Add(zone, "a.example.com.", kTypeA, "192.0.2.9");  // the SOA is not the zone's first record
  for (int i = 0; i < 120; ++i) Add(zone, "h" + std::to_string(i) + ".example.com.", kTypeTXT, "\x05hello");
  std::vector<std::string> expected{"example.com. 6"};
  for (const auto& r : zone->Records.items()) {
    if (r->RecType != kTypeSOA) expected.push_back(r->Name + " " + std::to_string(r->RecType));
  }
  expected.emplace_back("example.com. 6");
  for (const bool multi : {false, true}) {
    Sink sink;
    q.AuthData.ZoneTransfer(0xBEEF, true, "example.com.", multi, "10.0.0.1", sink);
    std::vector<std::string> seen;
    for (const auto& m : sink.sent) {
      const Message reply = ReadReply(m);
      EXPECT_EQ(reply.header.id, 0xBEEF);
      EXPECT_EQ(reply.header.flags1, 0x85u);
      EXPECT_TRUE(multi ? m.size() > 1000 || &m == &sink.sent.back() : reply.answer.size() == 1);
      EXPECT_LT(m.size(), 1100u);  // over 1000 by its last record at most
      for (const auto& r : reply.answer) seen.push_back(r.name + " " + std::to_string(r.type));
    }
    EXPECT_EQ(seen, expected);
  }
  Sink failing;  // a send error abandons the rest
  failing.fail_after = 2;
  q.AuthData.ZoneTransfer(1, false, "example.com.", false, "10.0.0.1", failing);
  EXPECT_EQ(failing.sent.size(), 2u);
}

TEST_F(TcpConnectionTest, TransfersAreRefusedBelowTheApexOutsideTheSlavesOrWithoutSoa) {
  zone->Slaves = {"10.0.0.2"};
  // The apex sorts after its children: the search for its SOA runs to the zone's last record.
  auto no_soa = AddZone("nosoa.test.");
  no_soa->Secure = false;
  Add(no_soa, "a.nosoa.test.", kTypeA, "192.0.2.9");
  Add(no_soa, "nosoa.test.", kTypeNS, "ns1.example.com.");
  const std::pair<std::string, std::string> cases[] = {{"example.com.", "10.0.0.3"},
                                                       {"www.example.com.", "10.0.0.2"},
                                                       {"ns1.example.com.", "10.0.0.2"},
                                                       {"x.", ""},
                                                       {"nosoa.test.", "10.0.0.2"}};
  for (const auto& [name, from] : cases) {
    Sink sink;
    q.AuthData.ZoneTransfer(0x1234, true, name, false, from, sink);
    EXPECT_EQ(sink.sent,
              std::vector<std::string>{std::string("\x12\x34\x81\x05\0\x01\0\0\0\0\0\0", 12) +
                                       ZipName(ctx.errors, "", name) + std::string("\0\xfc\0\x01", 4)});
    EXPECT_EQ(Logged().back(), "-> Header: Refused.") << name;
  }
  Sink sink;
  q.AuthData.ZoneTransfer(1, false, "example.com.", false, "10.0.0.2", sink);
  EXPECT_EQ(sink.sent.size(), 4u);
}

size_t Frames(std::string_view s) {
  size_t n = 0;
  for (; s.size() >= 2 && s.size() >= 2 + static_cast<size_t>(GetInt(s, false)); ++n)
    s.remove_prefix(2 + GetInt(s, false));
  return n;
}

TEST_F(TcpConnectionTest, IdleAllowanceAndTheMsTrailer) {
  zone->Secure = false;
  const std::string axfr = Query(3, "example.com.", 252, 1, 0);
  const std::pair<std::string, size_t> cases[] = {{"", 0}, {"MS", 1}, {"MSX", 4}, {"XMS", 4}};
  for (const auto& [trailer, frames] : cases) {
    got.clear();
    if (!trailer.empty()) H().DataArrival(MakeInt(axfr.size() + trailer.size()) + axfr + trailer);
    EXPECT_TRUE(RunUntil(t.loop, [&] { return Frames(got) == frames; })) << trailer;
    for (int i = 0; i < (trailer.empty() ? 1 : 19); ++i) H().TimerTick();
    EXPECT_TRUE(H().Busy);
    H().TimerTick();
    EXPECT_FALSE(H().Busy);
    client.Close();  // the next connection reuses the handler
    client.Connect("127.0.0.1", listener.LocalPort());
    ASSERT_TRUE(RunUntil(t.loop, [&] { return H().Busy; }));
  }
  EXPECT_EQ(q.TCPcon.TCPcon.size(), 1u);
  EXPECT_EQ(H().ConID, 5);
}

TEST_F(TcpConnectionTest, APeerThatStopsReadingIsNotGivenASecondTransfer) {
  zone->Secure = false;
  for (int i = 0; i < 40000; ++i)
    Add(zone, "t" + std::to_string(i) + ".example.com.", kTypeTXT, std::string(201, 'x'));
  client.OnDataArrival = nullptr;
  Connect("127.0.0.1", 4096);
  ASSERT_TRUE(RunUntil(t.loop, [&] { return q.TCPcon.TCPcon.size() == 2 && q.TCPcon.TCPcon[1]->Busy; }));
  const std::string axfr = Query(3, "example.com.", 252, 1, 0);
  q.TCPcon.TCPcon[1]->DataArrival(MakeInt(axfr.size()) + axfr);
  EXPECT_GT(q.TCPcon.TCPcon[1]->Socket().PendingOutput(), static_cast<size_t>(ctx.settings.TCPBUFFER));
  q.TCPcon.TCPcon[1]->SendAnswer(axfr);
  EXPECT_FALSE(q.TCPcon.TCPcon[1]->Busy);
  EXPECT_EQ(Logged().back(), "** Limit reached: 65536 octets waiting for 127.0.0.1 (TCP); closed");
}

TEST_F(TcpConnectionTest, AtTheBoundsTheConnectionIdleLongestIsClosedFirst) {
  ctx.settings.TCPPERADDRESS = 3;
  ctx.settings.TCPCONNECTIONS = 4;
  // A second later, a connection from source; the ConIDs open afterwards.
  const auto open_from = [&](const char* source) {
    t.clock.AdvanceSeconds(1);
    int32_t next = 0;
    for (const auto& h : q.TCPcon.TCPcon) next = std::max(next, h->ConID + 1);
    Connect(source);
    std::set<int32_t> open;
    EXPECT_TRUE(RunUntil(t.loop, [&] {
      open.clear();
      for (const auto& h : q.TCPcon.TCPcon) {
        if (h->Busy) open.insert(h->ConID);
      }
      return open.contains(next);
    }));
    return open;
  };
  EXPECT_EQ(open_from("127.0.0.1"), (std::set<int32_t>{1, 2}));
  EXPECT_EQ(open_from("127.0.0.1"), (std::set<int32_t>{1, 2, 3}));
  t.clock.AdvanceSeconds(1);
  H().DataArrival("");  // the first connection is active again: 2 is idle longest
  EXPECT_EQ(open_from("127.0.0.1"), (std::set<int32_t>{1, 3, 4}));
  EXPECT_EQ(open_from("127.0.0.2"), (std::set<int32_t>{1, 3, 4, 5}));
  EXPECT_EQ(open_from("127.0.0.2"), (std::set<int32_t>{1, 4, 5, 6}));  // four in all: 3 goes
  EXPECT_THAT(Logged(),
              ::testing::IsSupersetOf(
                  {"** Limit reached: 3 TCP connections from 127.0.0.1; the one idle longest closed",
                   "** Limit reached: 4 TCP connections; the one idle longest closed"}));
}

}  // namespace
}  // namespace vell::test
