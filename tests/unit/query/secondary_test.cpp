// Secondary zones: the transfer client's queue, SOA check and AXFR, the
// periodic check, zonettl.dat, and NOTIFY both ways.
#include <filesystem>

#include "dns/wire.h"
#include "query/notify.h"
#include "query/transfer_client.h"
#include "query_fixture.h"

namespace vell::test {
namespace {

struct FakeLink final : TransferLink {
  void Connect(const std::string& host, uint16_t port) override {
    connects.push_back(host + ":" + std::to_string(port));
  }
  void Send(const std::string& data) override { sent.push_back(data); }
  void Close() override {}
  std::vector<std::string> connects, sent;
};

std::string Wire(const std::string& name) {
  std::string out;
  for (size_t at = 0, dot; (dot = name.find('.', at)) != std::string::npos && dot > at; at = dot + 1)
    out += static_cast<char>(dot - at) + name.substr(at, dot - at);
  return out + '\0';
}
std::string Rec(const std::string& name, int type, const std::string& rdata) {
  return Wire(name) + MakeInt(type) + MakeInt(1) + MakeInt(0) + MakeInt(600) + MakeInt(int(rdata.size())) +
         rdata;
}
// serial 9, refresh 3600, retry 600, expire 86400, minimum 300
const std::string kSoa = Rec("sec.test.", 6,
                             Wire("ns1.sec.test.") + Wire("admin.sec.test.") +
                                 Octets({0, 0, 0, 9, 0, 0, 14, 16, 0, 0, 2, 88, 0, 1, 81, 128, 0, 0, 1, 44}));
const std::string kHeader = "; PrimaryIP 127.0.0.2\r\n; Notify 127.0.0.1 10.0.0.7 10.0.0.8\r\n";
std::string Framed(int count, const std::string& records, int rcode = 0) {
  const std::string msg = Octets({0, 1, 0x84, rcode, 0, 1, 0, count, 0, 0, 0, 0}) + Wire("sec.test.") +
                          Octets({0, 252, 0, 1}) + records;
  return MakeInt(int(msg.size())) + msg;
}

class SecondaryTest : public QueryTest {
 protected:
  SecondaryTest() {
    std::filesystem::create_directories(ctx.Path("data"));
    ctx.state.ServerRunning = true;
    zone->PrimaryIP = "127.0.0.2";
    zone->Slaves = {"127.0.0.1", "10.0.0.7", "10.0.0.8"};
    ctx.LocalIPs.push_back("10.0.0.7");
  }
  void AnswerSoa(int serial) {
    clDNSAnswer a;
    a.Id = client.SoaID;
    a.Section2.push_back(MakeRecord(ctx.clock, Lifetime::kLearnt, "sec.test.", kTypeSOA,
                                    MakeSoaData(ctx.errors, {"n.", "a.", serial}), 60));
    client.Offer(a);
  }
  ZonePtr zone = AddZone("sec.test.");
  FakeLink& link = *new FakeLink;
  ctlZTS client{ctx.loop, q, 5300, std::unique_ptr<TransferLink>(&link)};
};

TEST_F(SecondaryTest, QueueAndSerialCheck) {
  Add(zone, "sec.test.", kTypeSOA, MakeSoaData(ctx.errors, {"n.", "a.", 5}));
  zone->SOASerial = 5;
  AddZone("two.test.")->PrimaryIP = "127.0.0.3";
  Add(AddZone("prim.test."), "prim.test.", kTypeA, "192.0.2.1");  // no primary: skipped
  for (const char* name : {"sec.test.", "two.test.", "prim.test.", "two.test.", "sec.test."})
    client.Que(name);
  EXPECT_THAT(client.Queue(), ElementsAre("two.test.", "prim.test."));
  ASSERT_EQ(sender.requests.size(), 1u);
  EXPECT_EQ(sender.requests[0].msg, BuildQuery(ctx.errors, client.SoaID, false, {"sec.test.", kTypeSOA, 1}));
  AnswerSoa(5);  // not newer: kept; the next zone has no data and is transferred at once
  EXPECT_EQ(zone->Records.size(), 1u);
  EXPECT_EQ(client.State, 2);
  EXPECT_THAT(link.connects, ElementsAre("127.0.0.3:5300"));
  client.Tick();
  EXPECT_EQ(Logged().back(), "Failed to receive Zone Transfer from 127.0.0.3 for two.test.");
  client.Que("sec.test.");
  AnswerSoa(6);
  EXPECT_EQ(client.State, 2);
  EXPECT_EQ(zone->Records.size(), 0u);
  EXPECT_EQ(t.dir.Read("data/sec.test.dns"), kHeader);
}

TEST_F(SecondaryTest, TransferSplitAnywhereIsStoredAndNotified) {
  const std::string stream = Framed(3, kSoa + Rec("sec.test.", 2, Wire("ns1.sec.test.")) +
                                           Rec("www.sec.test.", 1, Octets({192, 0, 2, 80}))) +
                             Framed(4, Rec("sec.test.", 15, Octets({0, 10}) + Wire("sec.test.")) +
                                           Rec("t.sec.test.", 16, Octets({2, 'h', 'i'})) +
                                           Rec("x.other.test.", 5, Wire("www.sec.test.")) + kSoa);
  for (size_t cut = 1; cut < stream.size(); cut += 7) {
    zone->ClearRecs();
    sender.requests.clear();
    client.Que("sec.test.");
    client.OnConnect();
    EXPECT_EQ(link.sent.back().substr(2),
              BuildQuery(ctx.errors, client.SoaID, false, {"sec.test.", 252, 1}) + "MS");
    client.OnData(stream.substr(0, cut));
    client.OnData(stream.substr(cut));
    ASSERT_EQ(client.State, 0) << cut;
    EXPECT_EQ(zone->Records.size(), 6u);
    EXPECT_EQ(t.dir.Read("data/sec.test.dns"),
              kHeader +
                  "@ 600 SOA ns1.sec.test. "
                  "admin.sec.test. 9 3600 600 86400 300\r\n"
                  " 600 NS ns1\r\nwww 600 A 192.0.2.80\r\n 600 MX 10 sec.test.\r\nt 600 TXT \"hi\" "
                  "\r\nx.other.test. 600 CNAME www\r\n");
    EXPECT_DOUBLE_EQ(zone->NextRefresh, ctx.Now() + Seconds(3600));
    ASSERT_EQ(sender.requests.size(), 1u);  // 127.0.0.1 and our own address are skipped
    EXPECT_EQ(sender.requests[0].ip + std::to_string(sender.requests[0].msg[2]), "10.0.0.836");
  }
}

// zonettl.dat holds what is left of each secondary zone; reading it back
// is tests/unit/zones.
TEST_F(SecondaryTest, APrimaryRejectingTheMsOctetsIsAskedWithoutThem) {
  client.Que("sec.test.");
  client.OnConnect();
  client.OnData(Framed(0, "", header::kRCodeRefused));  // not about the octets
  EXPECT_EQ(link.connects.size(), 1u);
  client.OnData(Framed(0, "", header::kRCodeFormErr));
  ASSERT_EQ(link.connects.size(), 2u);
  client.OnConnect();
  EXPECT_EQ(link.sent.back().substr(2), BuildQuery(ctx.errors, client.SoaID, false, {"sec.test.", 252, 1}));
}

TEST_F(SecondaryTest, CheckSecondariesRefreshesRetriesAndExpires) {
  Add(AddZone("primary.test."), "primary.test.", kTypeA, "192.0.2.1");
  zone->SOARetry = 120;
  zone->Expires = ctx.Now() + Seconds(1000);
  zone->NextRefresh = ctx.Now() + Seconds(500);
  Add(zone, "sec.test.", kTypeA, "192.0.2.1");
  ctx.AuthData.SaveZoneTTL();
  EXPECT_EQ(t.dir.Read("data/zonettl.dat"), "sec.test.  1000\r\n");
  const double steps[][3] = {{499, 0, 1}, {1, 1, 120}, {60, 1, 60}, {60, 2, 120}, {441, 3, 300}};
  for (const auto& [advance, queued, next_in] : steps) {
    t.clock.AdvanceSeconds(advance);
    CheckSecondaries(q);
    EXPECT_EQ(soa_check.queued.size(), queued) << advance;
    EXPECT_NEAR((zone->NextRefresh - ctx.Now()) * kSecondsPerDay, next_in, 1e-3) << advance;
  }
  // Expired: emptied, its file down to the header lines.
  EXPECT_EQ(zone->Records.size(), 0u);
  EXPECT_EQ(t.dir.Read("data/sec.test.dns"), kHeader);
  EXPECT_THAT(Logged(), Contains("Zone has expired: sec.test."));
}

TEST_F(SecondaryTest, NotifyIsAcknowledgedOnlyForSecondaryZones) {
  Add(AddZone("prim.test."), "prim.test.", kTypeA, "192.0.2.1");
  for (const auto& [name, flags2] :
       {std::pair{"sec.test.", 0x00}, {"prim.test.", 0x02}, {"none.test.", 0x02}}) {
    const std::string request = Query(77, name, kTypeSOA, 1, 0x24);
    std::string reply, expected = request;
    ProcNotify(q, "10.0.0.5", name, request, [&](const std::string& r) { reply = r; });
    expected[2] = static_cast<char>(0xA4);
    expected[3] = static_cast<char>(flags2);
    EXPECT_EQ(reply, expected) << name;
  }
  EXPECT_THAT(soa_check.queued, ElementsAre("sec.test."));
  EXPECT_DOUBLE_EQ(zone->NextRefresh, ctx.Now() + Seconds(zone->SOARetry));
  EXPECT_EQ(Logged().back(), "-> Header: Server Failure (Not secondary for zone)");
}

}  // namespace
}  // namespace vell::test
