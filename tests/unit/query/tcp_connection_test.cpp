// DNS over TCP: framing, ProcReq's outcomes, transfer formats, the idle
// allowance and the output bound, on a loopback connection.
#include "query/tcp_connection.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "dns/names.h"
#include "dns/tables.h"
#include "dns/wire.h"
#include "loop_runner.h"
#include "query_fixture.h"

namespace vell::test {
namespace {

std::string Framed(const std::string& msg) { return MakeInt(static_cast<int32_t>(msg.size())) + msg; }

// The handler's connection from a client on loopback; the client keeps
// every message it receives.
class TcpConnectionTest : public QueryTest {
 protected:
  TcpConnectionTest() {
    ExampleZone();
    listener.Listen(0, "127.0.0.1");
    listener.OnConnectionRequest = [this](int id) { q.TCPcon.Accept(listener, id); };
    client.OnDataArrival = [this](const std::string& d) { received += d; };
    client.Connect("127.0.0.1", listener.LocalPort());
    EXPECT_TRUE(RunUntil(t.loop, [&] { return !q.TCPcon.TCPcon.empty(); }));
  }
  ctlZT& Handler() { return *q.TCPcon.TCPcon.at(0); }
  // Waits for n framed messages and returns them without their prefixes.
  std::vector<std::string> Messages(size_t n) {
    std::vector<std::string> out;
    RunUntil(t.loop, [&] {
      out.clear();
      std::string_view rest = received;
      while (rest.size() >= 2 && rest.size() >= 2 + static_cast<size_t>(GetUInt(rest, false))) {
        const size_t len = static_cast<size_t>(GetUInt(rest, false));
        out.emplace_back(rest.substr(2, len));
        rest.remove_prefix(2 + len);
      }
      return out.size() >= n;
    });
    return out;
  }
  std::vector<std::string> Tail(size_t n) {
    const auto all = Logged();
    return {all.end() - static_cast<std::ptrdiff_t>(std::min(n, all.size())), all.end()};
  }

  TcpSocket listener{t.loop}, client{t.loop};
  std::string received;
};

TEST_F(TcpConnectionTest, MessagesAreFramedAcrossAnySegmentBoundaries) {
  const std::string a = Framed(Query(1, "www.example.com.", kTypeA));
  const std::string b = Framed(Query(2, "ns1.example.com.", kTypeA));
  const std::string noise = Framed("") + Framed(std::string(12, 'x'));  // consumed, no reply
  struct Case {
    const char* what;
    std::vector<std::string> segments;
    std::vector<int> ids;
  } cases[] = {
      {"two in one segment", {a + b}, {1, 2}},
      {"one split over three", {a.substr(0, 1), a.substr(1, 6), a.substr(7)}, {1}},
      {"short messages before", {noise + b}, {2}},
      {"second one completes later", {a + b.substr(0, 5), b.substr(5)}, {1, 2}},
  };
  for (const Case& c : cases) {
    received.clear();
    for (const auto& segment : c.segments) Handler().DataArrival(segment);
    const auto messages = Messages(c.ids.size());
    ASSERT_EQ(messages.size(), c.ids.size()) << c.what;
    for (size_t i = 0; i < messages.size(); ++i) {
      EXPECT_EQ(ReadReply(messages[i]).header.id, c.ids[i]) << c.what;
    }
  }
}

TEST_F(TcpConnectionTest, EachRequestGetsItsOutcome) {
  const std::string query = Query(7, "example.com.", kTypeA);
  std::string response = query;
  response[2] = static_cast<char>(0x81);
  std::string no_question = query.substr(0, 12) + "\x03www";
  no_question[5] = 1;
  std::string status = query;
  status[2] = static_cast<char>(0x11);  // opcode 2
  std::string notify = query;
  notify[2] = static_cast<char>(0x21);  // opcode 4 is not served over TCP
  const std::string chaos = Query(7, "example.com.", kTypeA, kClassCHAOS);
  const std::string ixfr = Query(7, "example.com.", 251);
  std::string no_count = query;
  no_count[5] = 0;
  struct Case {
    const char* what;
    std::string msg;
    std::string log;  // last line; empty: nothing logged
    bool not_implemented;
    double counted;
  } cases[] = {
      {"response", response, "", false, 0},
      {"no QDCOUNT", no_count, "Incomplete DNS Request from 127.0.0.1 (TCP)", false, 1},
      {"question cut", no_question, "Incomplete DNS Request from 127.0.0.1 (TCP)", false, 1},
      {"opcode 2", status, "-> Header: Not implemented.", true, 1},
      {"notify", notify, "-> Header: Not implemented.", true, 1},
      {"class CHAOS", chaos, "-> Header: Not implemented.", true, 1},
      {"IXFR", ixfr, "-> Header: Not implemented.", true, 1},
  };
  for (const Case& c : cases) {
    received.clear();
    ctx.log.LogBuffer.clear();
    const double before = ctx.state.RequestCount;
    Handler().ProcReq(c.msg);
    EXPECT_EQ(ctx.state.RequestCount - before, c.counted) << c.what;
    EXPECT_EQ(Logged().empty() ? "" : Logged().back(), c.log) << c.what;
    if (!c.not_implemented) continue;
    std::string expected = c.msg;
    expected[2] = static_cast<char>(expected[2] | 0x80);
    expected[3] = 4;
    EXPECT_EQ(Messages(1), std::vector<std::string>{expected}) << c.what;
  }
  EXPECT_EQ(Tail(3)[0], "Request from 127.0.0.1 for IXFR-record for example.com. (TCP)");
  ctx.log.LogBuffer.clear();
  Handler().ProcReq(chaos);
  EXPECT_EQ(Logged()[0], "DNS Request from 127.0.0.1 for CHAOS class record (TCP)");
  ctx.log.LogBuffer.clear();
  Handler().ProcReq(status);
  EXPECT_EQ(Logged()[0], "Server Status Request from 127.0.0.1 (TCP)");
}

TEST_F(TcpConnectionTest, RepliesFollowTheirConnectionAndAreDroppedOnceItCloses) {
  Handler().DataArrival(Framed(Query(9, "www.example.com.", kTypeA)));
  EXPECT_EQ(Logged().front(), "Request from 127.0.0.1 for A-record for www.example.com. (TCP)");
  EXPECT_EQ(ReadReply(Messages(1).at(0)).header.id, 9);
  // Queued while the queue is busy, answered after the connection ended.
  Handler().ProcReq(Query(10, "www.example.com.", kTypeA));
  client.Close();
  ASSERT_TRUE(RunUntil(t.loop, [&] { return !Handler().Busy; }));
  q.Requests.ProcRequestQue();
  EXPECT_TRUE(q.Requests.Active().empty());
  EXPECT_TRUE(t.boxes.shown.empty());
}

struct RecordingSink final : TransferSink {
  bool SendMessage(const std::string& msg) override {
    sent.push_back(msg);
    return sent.size() < fail_after;
  }
  std::vector<std::string> sent;
  size_t fail_after = SIZE_MAX;
};

// Owner and type of every record of the transfer, message by message.
std::vector<std::string> Transferred(const std::vector<std::string>& messages,
                                     std::vector<int>* counts = nullptr) {
  std::vector<std::string> out;
  for (const auto& m : messages) {
    const Message reply = ReadReply(m);
    EXPECT_EQ(reply.header.flags1 & 0xFE, 0x84);
    EXPECT_EQ(reply.question.type, 252);
    if (counts) counts->push_back(reply.header.ancount);
    for (const auto& r : reply.answer) out.push_back(r.name + " " + TypeN(r.type));
  }
  return out;
}

TEST_F(TcpConnectionTest, TransfersSendTheSoaFirstAndLastInEitherFormat) {
  auto zone = q.AuthData.Zones()[q.AuthData.ZoneFind("example.com.")];
  zone->Secure = false;
  for (int i = 0; i < 120; ++i) Add(zone, "h" + std::to_string(i) + ".example.com.", kTypeTXT, "\x05hello");
  std::vector<std::string> expected{"example.com. SOA"};
  for (const auto& r : zone->Records.items()) {
    if (r->RecType != kTypeSOA) expected.push_back(r->Name + " " + TypeN(r->RecType));
  }
  expected.emplace_back("example.com. SOA");

  RecordingSink single, multi;
  q.AuthData.ZoneTransfer(0xBEEF, true, "example.com.", false, "10.0.0.1", single);
  EXPECT_EQ(single.sent.size(), zone->Records.size() + 1);
  EXPECT_EQ(Transferred(single.sent), expected);
  EXPECT_EQ(ReadHeader(single.sent[0]).id, 0xBEEF);

  std::vector<int> counts;
  q.AuthData.ZoneTransfer(1, false, "example.com.", true, "10.0.0.1", multi);
  EXPECT_EQ(Transferred(multi.sent, &counts), expected);
  ASSERT_GE(multi.sent.size(), 3u);
  for (size_t i = 0; i + 1 < multi.sent.size(); ++i) {
    EXPECT_GT(multi.sent[i].size(), 1000u);
    EXPECT_LT(multi.sent[i].size(), 1100u);  // over by its last record only
  }

  // A send error abandons the rest.
  RecordingSink failing;
  failing.fail_after = 2;
  q.AuthData.ZoneTransfer(1, false, "example.com.", false, "10.0.0.1", failing);
  EXPECT_EQ(failing.sent.size(), 2u);
}

TEST_F(TcpConnectionTest, TransfersAreRefusedOutsideTheApexAndTheSlaves) {
  auto zone = q.AuthData.Zones()[q.AuthData.ZoneFind("example.com.")];
  zone->Slaves = {"10.0.0.2"};
  auto soa_only = AddZone("soa.test.");
  Add(soa_only, "soa.test.", kTypeSOA, MakeSoaData(ctx.errors, {"ns.soa.test.", "a.soa.test.", 1}));
  soa_only->Secure = false;
  struct Case {
    std::string name, from;
    size_t messages;  // 0: refused
  } cases[] = {
      {"example.com.", "10.0.0.2", 4},     {"example.com.", "10.0.0.3", 0},
      {"www.example.com.", "10.0.0.2", 0}, {"ns1.example.com.", "10.0.0.2", 0},
      {"unknown.", "10.0.0.2", 0},         {"soa.test.", "10.0.0.3", 2},
  };
  for (const Case& c : cases) {
    RecordingSink sink;
    ctx.log.LogBuffer.clear();
    q.AuthData.ZoneTransfer(0x1234, true, c.name, false, c.from, sink);
    if (c.messages > 0) {
      EXPECT_EQ(sink.sent.size(), c.messages) << c.name << c.from;
      EXPECT_EQ(Logged().back(), "Sending Zone Transfer to " + c.from + " for " + c.name);
      continue;
    }
    const std::string expected = std::string("\x12\x34\x81\x05\0\x01\0\0\0\0\0\0", 12) +
                                 ZipName(ctx.errors, "", c.name) + std::string("\0\xfc\0\x01", 4);
    EXPECT_EQ(sink.sent, std::vector<std::string>{expected}) << c.name << c.from;
    EXPECT_EQ(Logged(),
              (std::vector<std::string>{"Sending answer to " + c.from + " about Zone Transfer for " + c.name,
                                        "-> Header: Refused."}));
  }
}

TEST_F(TcpConnectionTest, TheMsTrailerAloneAsksForManyRecordsPerMessage) {
  auto zone = q.AuthData.Zones()[q.AuthData.ZoneFind("example.com.")];
  zone->Secure = false;
  const std::string axfr = Query(3, "example.com.", 252, 1, 0);
  struct Case {
    std::string trailer;
    size_t messages;
  } cases[] = {{"", 4}, {"MS", 1}, {"MSX", 4}, {"ms", 4}, {"M", 4}};
  for (const Case& c : cases) {
    received.clear();
    Handler().DataArrival(Framed(axfr + c.trailer));
    const auto messages = Messages(c.messages);
    RunFor(t.loop, std::chrono::milliseconds(20));
    EXPECT_EQ(Messages(0).size(), c.messages) << c.trailer;
    EXPECT_EQ(Transferred(messages).size(), 4u) << c.trailer;
  }
  EXPECT_EQ(Handler().IdleAllowance(), 600);
}

TEST_F(TcpConnectionTest, TheIdleAllowanceEndsTheConnection) {
  struct Case {
    const char* what;
    std::string arrival;  // before the ticks; empty: none
    int ticks_alive;      // ticks survived
  } cases[] = {
      {"just accepted", "", 1},
      {"after a query", Framed(Query(1, "www.example.com.", kTypeA)), 1},
      {"after a transfer request", Framed(Query(1, "example.com.", 252, 1, 0)), 19},
  };
  std::vector<std::unique_ptr<TcpSocket>> peers;  // open until the end
  for (const Case& c : cases) {
    ctlZT& h = Handler();
    if (!c.arrival.empty()) {
      h.TimerTick();  // a reset allowance forgets earlier ticks
      h.DataArrival(c.arrival);
    }
    for (int i = 0; i < c.ticks_alive; ++i) h.TimerTick();
    EXPECT_TRUE(h.Busy) << c.what;
    h.TimerTick();
    EXPECT_FALSE(h.Busy) << c.what;
    EXPECT_EQ(h.Socket().State(), kSockClosed) << c.what;
    // The next connection reuses the handler under a new number.
    const int32_t before = h.ConID;
    peers.push_back(std::make_unique<TcpSocket>(t.loop));
    peers.back()->Connect("127.0.0.1", listener.LocalPort());
    ASSERT_TRUE(RunUntil(t.loop, [&] { return h.Busy; })) << c.what;
    EXPECT_EQ(h.ConID, before + 1);
    EXPECT_EQ(q.TCPcon.TCPcon.size(), 1u);
  }
}

TEST_F(TcpConnectionTest, APeerThatStopsReadingIsNotGivenASecondTransfer) {
  auto zone = q.AuthData.Zones()[q.AuthData.ZoneFind("example.com.")];
  zone->Secure = false;
  std::vector<RecordPtr> many;
  for (int i = 0; i < 40000; ++i) {
    many.push_back(MakeRecord(ctx.clock, Lifetime::kPermanent, "t" + std::to_string(i) + ".example.com.",
                              kTypeTXT, "\xc8" + std::string(200, 'x'), 60));
  }
  zone->AddRecs(std::move(many));
  client.OnDataArrival = nullptr;
  // A second client that never reads.
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  int small = 4096;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(listener.LocalPort());
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  ASSERT_TRUE(RunUntil(t.loop, [&] { return q.TCPcon.TCPcon.size() == 2 && q.TCPcon.TCPcon[1]->Busy; }));
  ctlZT& h = *q.TCPcon.TCPcon[1];
  const std::string axfr = Framed(Query(3, "example.com.", 252, 1, 0));
  h.DataArrival(axfr);
  RunFor(t.loop, std::chrono::milliseconds(50));
  EXPECT_GT(h.Socket().PendingOutput(), kMaxPendingOutput);
  EXPECT_TRUE(h.Busy);
  h.DataArrival(axfr);
  EXPECT_FALSE(h.Busy);
  close(fd);
}

}  // namespace
}  // namespace vell::test
