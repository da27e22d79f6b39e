// Secondary zones: the transfer client's queue, SOA check and AXFR, the
// periodic check, zonettl.dat, and NOTIFY both ways.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/platform/file_time.h"
#include "dns/wire.h"
#include "query/notify.h"
#include "query/transfer_client.h"
#include "query_fixture.h"

namespace vell::test {
namespace {

using ::testing::ElementsAre;

class FakeLink final : public TransferLink {
 public:
  void Connect(const std::string& host, uint16_t port) override {
    connects.push_back(host + ":" + std::to_string(port));
  }
  void Send(const std::string& data) override { sent.push_back(data); }
  void Close() override { ++closes; }
  std::vector<std::string> connects, sent;
  int closes = 0;
};

std::string WireName(const std::string& name) {
  std::string out;
  for (size_t start = 0, dot; (dot = name.find('.', start)) != std::string::npos && dot > start;
       start = dot + 1) {
    out += static_cast<char>(dot - start) + name.substr(start, dot - start);
  }
  return out + '\0';
}

std::string Rec(const std::string& name, int type, const std::string& rdata, int ttl = 600) {
  return WireName(name) + MakeInt(type) + MakeInt(1) + Octets({0, 0}) + MakeInt(ttl) +
         MakeInt(static_cast<int>(rdata.size())) + rdata;
}

std::string Soa(int serial) {
  return WireName("ns1.sec.test.") + WireName("admin.sec.test.") + Octets({0, 0}) + MakeInt(serial) +
         Octets(
             {0, 0, 0x0E, 0x10, 0, 0, 0x02, 0x58, 0, 1, 0x51, 0x80, 0, 0, 0x01, 0x2C});  // 3600 600 86400 300
}

// One length-prefixed transfer message carrying the records.
std::string Framed(int count, const std::string& records, int rcode = 0) {
  const std::string msg = Octets({0, 1, 0x84, rcode, 0, 1, 0, count, 0, 0, 0, 0}) + WireName("sec.test.") +
                          Octets({0, 252, 0, 1}) + records;
  return MakeInt(static_cast<int>(msg.size())) + msg;
}

class SecondaryTest : public QueryTest {
 protected:
  SecondaryTest() {
    std::filesystem::create_directories(ctx.Path("data"));
    ctx.state.ServerRunning = true;
    zone = AddZone("sec.test.");
    zone->PrimaryIP = "127.0.0.2";
    zone->Slaves = {"127.0.0.1", "10.0.0.7", "10.0.0.8"};
    ctx.LocalIPs.push_back("10.0.0.7");
  }
  std::string ZoneFile() {
    std::ifstream in(ctx.Path("data/sec.test.dns"), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The SOA reply to the client's outstanding query.
  void AnswerSoa(int serial) {
    clDNSAnswer a;
    a.Id = client.SoaID;
    a.Section2.push_back(MakeRecord(ctx.clock, Lifetime::kLearnt, "sec.test.", kTypeSOA,
                                    MakeSoaData(ctx.errors, {"ns1.sec.test.", "a.sec.test.", serial}), 60));
    client.Offer(a);
  }
  ZonePtr zone;
  FakeLink& link = *new FakeLink;
  ctlZTS client{ctx.loop, q, 5300, std::unique_ptr<TransferLink>(&link)};
};

const std::string kTransfer =
    Framed(3, Rec("sec.test.", 6, Soa(9)) + Rec("sec.test.", 2, WireName("ns1.sec.test.")) +
                  Rec("www.sec.test.", 1, Octets({192, 0, 2, 80}))) +
    Framed(4, Rec("sec.test.", 15, Octets({0, 10}) + WireName("sec.test.")) +
                  Rec("t.sec.test.", 16, Octets({2, 'h', 'i'})) +
                  Rec("x.other.test.", 5, WireName("www.sec.test.")) + Rec("sec.test.", 6, Soa(9)));

TEST_F(SecondaryTest, QueueTakesEachZoneOnceAndDropsTheOneBeingRefreshed) {
  Add(zone, "sec.test.", kTypeSOA, MakeSoaData(ctx.errors, {"ns1.sec.test.", "a.sec.test.", 5}));
  AddZone("two.test.")->PrimaryIP = "127.0.0.3";
  Add(AddZone("three.test."), "three.test.", kTypeA, "192.0.2.1");  // primary zone: skipped
  client.Que("sec.test.");
  client.Que("two.test.");
  client.Que("three.test.");
  client.Que("two.test.");
  client.Que("sec.test.");
  EXPECT_EQ(client.State, 1);
  EXPECT_EQ(client.CurName, "sec.test.");
  EXPECT_THAT(client.Queue(), ElementsAre("two.test.", "three.test."));
  ASSERT_EQ(sender.requests.size(), 1u);
  EXPECT_EQ(sender.requests[0].ip, "127.0.0.2");
  EXPECT_EQ(sender.requests[0].msg, BuildQuery(ctx.errors, client.SoaID, false, {"sec.test.", kTypeSOA, 1}));
  client.Tick();  // no answer: the next zone, which has no data, is transferred at once
  EXPECT_EQ(client.CurName, "two.test.");
  EXPECT_EQ(client.State, 2);
  EXPECT_THAT(link.connects, ElementsAre("127.0.0.3:5300"));
  client.Tick();
  EXPECT_EQ(client.State, 0);
  EXPECT_EQ(Logged().back(), "Failed to receive Zone Transfer from 127.0.0.3 for two.test.");
}

TEST_F(SecondaryTest, SerialDecidesBetweenKeepingAndTransferring) {
  struct Case {
    int primary_serial;
    int state;
    size_t records;
  } cases[] = {{4, 0, 1}, {5, 0, 1}, {6, 2, 0}};
  for (const Case& c : cases) {
    zone->Records.clear();
    zone->SOASerial = 5;
    zone->SOARefresh = 1000;
    zone->SOAExpire = 9000;
    Add(zone, "sec.test.", kTypeSOA, MakeSoaData(ctx.errors, {"ns1.sec.test.", "a.sec.test.", 5}));
    client.Que("sec.test.");
    AnswerSoa(c.primary_serial);
    EXPECT_EQ(client.State, c.state) << c.primary_serial;
    EXPECT_EQ(zone->Records.size(), c.records) << c.primary_serial;
    if (c.state == 0) {
      EXPECT_DOUBLE_EQ(zone->NextRefresh, ctx.Now() + Seconds(1000));
      EXPECT_DOUBLE_EQ(zone->Expires, ctx.Now() + Seconds(9000));
    } else {
      EXPECT_EQ(Logged().back(), "Zone has expired: sec.test.");
      EXPECT_EQ(ZoneFile(), "; PrimaryIP 127.0.0.2\r\n; Notify 127.0.0.1 10.0.0.7 10.0.0.8\r\n");
    }
    client.Tick();
  }
}

TEST_F(SecondaryTest, TransferSplitAnywhereIsStoredAndNotified) {
  for (size_t cut = 1; cut < kTransfer.size(); cut += 7) {
    client.Que("sec.test.");
    client.OnConnect();
    EXPECT_EQ(link.sent.back().substr(2),
              BuildQuery(ctx.errors, client.SoaID, false, {"sec.test.", 252, 1}) + "MS");
    client.OnData(kTransfer.substr(0, cut));
    client.OnData(kTransfer.substr(cut));
    ASSERT_EQ(client.State, 0) << cut;
    EXPECT_EQ(zone->Records.size(), 6u);
    EXPECT_EQ(ZoneFile(),
              "; PrimaryIP 127.0.0.2\r\n; Notify 127.0.0.1 10.0.0.7 10.0.0.8\r\n"
              "@ 600 SOA ns1.sec.test. admin.sec.test. 9 3600 600 86400 300\r\n"
              " 600 NS ns1\r\nwww 600 A 192.0.2.80\r\n 600 MX 10 sec.test.\r\nt 600 TXT \"hi\" \r\n"
              "x.other.test. 600 CNAME www\r\n");
    EXPECT_DOUBLE_EQ(zone->NextRefresh, ctx.Now() + Seconds(3600));
    ASSERT_EQ(sender.requests.size(), 1u) << "only 10.0.0.8 is notified";
    EXPECT_EQ(sender.requests[0].ip, "10.0.0.8");
    EXPECT_EQ(static_cast<uint8_t>(sender.requests[0].msg[2]), 0x24);
    sender.requests.clear();
    zone->Records.clear();
  }
}

TEST_F(SecondaryTest, BrokenOffAndRejectedTransfers) {
  client.Que("sec.test.");
  client.OnConnect();
  // FORMERR: asked again on a new connection without "MS".
  client.OnData(Framed(0, "", 1));
  EXPECT_EQ(client.State, 2);
  EXPECT_EQ(link.connects.size(), 2u);
  client.OnConnect();
  EXPECT_EQ(link.sent.back().substr(link.sent.back().size() - 4), Octets({0, 252, 0, 1}));
  // A first record that is not the SOA yields nothing; a cut keeps what came before.
  const std::string soa = Rec("sec.test.", 6, Soa(9));
  const std::string a = Rec("www.sec.test.", 1, Octets({192, 0, 2, 80}));
  client.OnData(Framed(1, a) + Framed(3, soa + a + a.substr(0, 5)) + Framed(1, soa).substr(0, 9));
  EXPECT_EQ(client.State, 3);
  EXPECT_TRUE(client.TimerEnabled());
  client.Tick();
  EXPECT_EQ(Logged().back(), "Failed to receive Zone Transfer from 127.0.0.2 for sec.test.");
  EXPECT_EQ(zone->Records.size(), 0u);
}

TEST_F(SecondaryTest, CheckSecondariesRefreshesRetriesAndExpires) {
  zone->SOARetry = 120;
  zone->Expires = ctx.Now() + Seconds(1000);
  zone->NextRefresh = ctx.Now() + Seconds(500);
  Add(zone, "sec.test.", kTypeA, "192.0.2.1");
  struct Step {
    double advance;
    size_t queued;
    double next_refresh_in;
  } steps[] = {{499, 0, 1}, {1, 1, 120}, {60, 1, 60}, {60, 2, 120}, {441, 3, 300}};
  for (const Step& s : steps) {
    t.clock.AdvanceSeconds(s.advance);
    CheckSecondaries(q);
    EXPECT_EQ(soa_check.queued.size(), s.queued) << s.advance;
    EXPECT_NEAR((zone->NextRefresh - ctx.Now()) * kSecondsPerDay, s.next_refresh_in, 1e-3) << s.advance;
  }
  EXPECT_EQ(zone->Records.size(), 0u);
  EXPECT_EQ(zone->SOARetry, 300);
}

TEST_F(SecondaryTest, ZoneTtlSurvivesARestartLessItsAge) {
  AddZone("primary.test.");
  zone->Expires = ctx.Now() + Seconds(7200);
  ctx.AuthData.SaveZoneTTL();
  const std::string path = ctx.Path("data/zonettl.dat");
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text, "sec.test.  7200\r\n");
  // The file as written by the fake clock's "now"; the restart comes an hour later.
  DateTime written = 0;
  ASSERT_TRUE(FileModified(path, written));
  std::filesystem::last_write_time(
      path, std::filesystem::last_write_time(path) +
                std::chrono::seconds(std::llround((ctx.Now() - written) * kSecondsPerDay)));
  t.clock.AdvanceSeconds(3600);
  std::ofstream(ctx.Path("data/sec.test.dns")) << "; PrimaryIP 127.0.0.2\r\n";
  ctx.AuthData.LoadAll();
  const ZonePtr loaded = ctx.AuthData.Zones()[ctx.AuthData.ZoneFind("sec.test.")];
  EXPECT_NEAR((loaded->Expires - ctx.Now()) * kSecondsPerDay, 3600, 2);
}

TEST_F(SecondaryTest, NotifyIsAcknowledgedOnlyForSecondaryZones) {
  Add(AddZone("prim.test."), "prim.test.", kTypeA, "192.0.2.1");
  struct Case {
    std::string zone;
    int flags2;
    size_t queued;
  } cases[] = {{"sec.test.", 0x00, 1}, {"prim.test.", 0x02, 1}, {"none.test.", 0x02, 1}};
  for (const Case& c : cases) {
    const std::string request = Query(77, c.zone, kTypeSOA, 1, 0x24);
    std::string reply;
    ProcNotify(q, "10.0.0.5", c.zone, request, [&](const std::string& r) { reply = r; });
    std::string expected = request;
    expected[2] = static_cast<char>(0xA4);
    expected[3] = static_cast<char>(c.flags2);
    EXPECT_EQ(reply, expected) << c.zone;
    EXPECT_EQ(soa_check.queued.size(), c.queued) << c.zone;
  }
  EXPECT_DOUBLE_EQ(zone->NextRefresh, ctx.Now() + Seconds(zone->SOARetry));
  EXPECT_EQ(Logged().back(), "-> Header: Server Failure (Not secondary for zone)");
}

}  // namespace
}  // namespace vell::test
