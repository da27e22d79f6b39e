// Reading zone files: owners, class and TTL, each type's data, the SOA,
// continuations, control comments and the failures.
#include <gtest/gtest.h>

#include "core/ip.h"
#include "core/text.h"
#include "dns/record_data.h"
#include "zone_fixture.h"

namespace vell::test {
namespace {

class ZoneFileTest : public ZoneTest {
 protected:
  // The zone's records as "TYPE name = data / ttl", joined.
  std::string LoadListing(const std::string& text, const std::string& zone = "example.com.") {
    const clZone* z = Load(zone, text);
    if (z == nullptr) return "(not loaded)";
    std::string out;
    for (const RecordPtr& r : z->Records.items()) {
      out += (out.empty() ? "" : ", ") + Text(*r) + " / " + std::to_string(r->TTL(t.clock));
    }
    return out;
  }
};

TEST_F(ZoneFileTest, SoaOverSeveralLinesSetsTheZoneAndTheDefaultTTL) {
  const clZone* zone =
      Load("example.com.",
           "@ IN SOA ns1 hostmaster (\r\n\t7\t; serial\r\n  3600\r\n  600\r\n  86400\r\n  3600 )\r\n"
           "www A 10.0.0.1\r\n");
  ASSERT_NE(zone, nullptr);
  ASSERT_EQ(zone->Records.size(), 2u);
  const SoaData soa = ReadSoaData(zone->Records[0]->Data);
  EXPECT_EQ(soa.primary, "ns1.example.com.");
  EXPECT_EQ(soa.mailbox, "hostmaster.example.com.");
  EXPECT_EQ((std::vector<int32_t>{soa.serial, soa.refresh, soa.retry, soa.expire, soa.minimum}),
            (std::vector<int32_t>{7, 3600, 600, 86400, 3600}));
  EXPECT_EQ((std::vector<double>{zone->SOASerial, zone->SOARefresh, zone->SOARetry, zone->SOAExpire}),
            (std::vector<double>{7, 3600, 600, 86400}));
  EXPECT_EQ(zone->Records[0]->TTL(t.clock), 86400);  // the SOA itself came before its minimum
  EXPECT_EQ(zone->Records[1]->TTL(t.clock), 3600);

  zone = Load("example.com.", "@ SOA ns1 hm 5 100\n");  // incomplete: no record, the values read kept
  ASSERT_NE(zone, nullptr);
  EXPECT_TRUE(zone->Records.empty());
  EXPECT_EQ((std::vector<double>{zone->SOASerial, zone->SOARefresh, zone->SOARetry}),
            (std::vector<double>{5, 100, 300}));
}

// A zone file and the records it gives (owner, type, data and TTL).
TEST_F(ZoneFileTest, FileGivesTheseRecords) {
  const std::pair<const char*, const char*> cases[] = {
      // Directives and parentheses as zone files of other servers write them.
      {"@ IN SOA ns1 hm ( 2024010101 3600 900 604800 300 )\nwww A 10.0.0.1\n",
       "SOA example.com. = ns1.example.com. (Serial 2024010101) / 86400, A www.example.com. = 10.0.0.1 / "
       "300"},
      {"$TTL 1h\n@ SOA ns1 hm 1 2 3 4 5\nwww A 10.0.0.1\nmail 2m IN A 10.0.0.2\n",
       "SOA example.com. = ns1.example.com. (Serial 1) / 3600, A mail.example.com. = 10.0.0.2 / 120, "
       "A www.example.com. = 10.0.0.1 / 3600"},
      {"@ SOA ns1 hm (7 1h 15m\n 1w ; expire\n 1d)\nwww A 10.0.0.1\n",
       "SOA example.com. = ns1.example.com. (Serial 7) / 86400, A www.example.com. = 10.0.0.1 / 86400"},
      {"$ORIGIN sub.example.com.\nhost A 10.0.0.3\n@ MX 5 mx\n$ORIGIN Other\nx CNAME y\n",
       "A host.sub.example.com. = 10.0.0.3 / 86400, MX sub.example.com. = mx.sub.example.com. (Preference 5) "
       "/ 86400, CNAME x.other.sub.example.com. = y.other.sub.example.com. / 86400"},
      {"t TXT ( \"a(b\" ; c\n \"d\" )\n$INCLUDE other.zone\n$GENERATE 1-2 h$ A 10.0.0.$\n",
       "TXT t.example.com. = \"a(b, d\" / 86400"},
      // TTL and class in either order; the default TTL from the SOA on.
      {"a 3600 IN A 10.0.0.5\nb IN 3600 A 10.0.0.5\nc A 10.0.0.5\n"
       "d 03600 A 10.0.0.5\n"  // not a plain number: read as the type
       "@ SOA ns1 hm 1 2 3 4 0\ne IN A 10.0.0.5\n",
       "A a.example.com. = 10.0.0.5 / 3600, A b.example.com. = 10.0.0.5 / 3600, A c.example.com. = 10.0.0.5 "
       "/ "
       "86400, A e.example.com. = 10.0.0.5 / 86400, SOA example.com. = ns1.example.com. (Serial 1) / 86400"},
      // Addresses are read leniently; 0.0.0.0 makes no record.
      {"zero A 0.0.0.0\nbig A 10.0.0.300\nshort A 10.1\n",
       "A big.example.com. = 10.0.0.0 / 86400, A short.example.com. = 10.1.0.0 / 86400"},
      // A blank-led line keeps the last named owner (none yet at first).
      {"  A 10.0.0.1\nweb CH A 10.0.0.2\n\tA 10.0.0.3\n@ NS ns1\n NS ns2\n",
       "NS example.com. = ns2.example.com. / 86400, NS example.com. = ns1.example.com. / 86400, "
       "A web.example.com. = 10.0.0.3 / 86400"},
      // Names qualified and lower-cased, each type with its data.
      {"Mail.Example.COM. MX -10.7 smtp ; comment\n_sip._udp SRV 1 2 65535 sip.other.org.\n"
       "t TXT \"a\\101b\" rest\nempty TXT \"\"\nalias CNAME host.\n*.wild PTR x\nd DFCN Target\n",
       "CNAME *.d.example.com. = target.example.com. / 86400, PTR *.wild.example.com. = x.example.com. / "
       "86400, SRV _sip._udp.example.com. = sip.other.org. (Priority 1, Weight 2, Port 65535) / 86400, "
       "CNAME alias.example.com. = host. / 86400, TXT empty.example.com. = \"\" / 86400, "
       "MX mail.example.com. = smtp.example.com. (Preference 10) / 86400, "
       "TXT t.example.com. = \"aAb, rest\" / 86400"},
      // An unclosed continuation ends the file.
      {"a A 10.0.0.1\nb TXT (\n\"x\"\n\"y\"\nc A 10.0.0.3\n", "A a.example.com. = 10.0.0.1 / 86400"},
      // Lines that describe no record are skipped silently.
      {"a CH A 10.0.0.1\nb IN CH A 10.0.0.1\nc AAAA 10.0.0.1\nd A\ne 3600\nf IN\n@\n\n   \t  \n; only a "
       "comment\n",
       ""}};
  for (const auto& [text, listing] : cases) EXPECT_EQ(LoadListing(text), listing) << text;
  EXPECT_EQ(LogTexts(), TextList(std::size(cases), "Loading Zone: example.com."));
  EXPECT_FALSE(ErrorReported("clDNSAuthData LoadZone"));

  EXPECT_EQ(LoadListing("@ NS a.root-servers.net.\nhost A 10.0.0.1\n", "."),
            "NS . = a.root-servers.net. / 86400, A host. = 10.0.0.1 / 86400");
  EXPECT_EQ(LogTexts().size(), std::size(cases) + 1);
  EXPECT_EQ(LogTexts().back(), "Loading Zone: <root>");
}

// Types held as opaque data: the text form read into RDATA (hex), or no record.
TEST_F(ZoneFileTest, OpaqueTypesTextFormReadIntoWireData) {
  const std::tuple<const char*, int32_t, const char*> cases[] = {
      {"AAAA 2001:DB8::1", 28, "20010DB8000000000000000000000001"},
      {"IN 60 AAAA ::ffff:10.0.0.1", 28, "00000000000000000000FFFF0A000001"},
      {"CAA 128 issue \"ca.example\"", 257, "8005697373756563612E6578616D706C65"},
      {"CAA 0 issue \"a\\059\\\"b\"", 257, "00056973737565613B2262"},  // \DDD and \" escapes
      {"CAA 0 issuewild \"a b\"", 257, "0009697373756577696C64612062"},
      {"HTTPS 1 . port=8443 alpn=h2,h3 ipv4hint=192.0.2.1,192.0.2.2", 65,
       "000100000100060268320268330003000220FB00040008C0000201C0000202"},
      {"SVCB 0 Svc.Example.NET.", 64, "000003737663076578616D706C65036E657400"},
      {"HTTPS 2 svc ipv6hint=2001:db8::1 mandatory=port port=53 no-default-alpn key65000=ab", 65,
       "000203737663076578616D706C6503636F6D00"
       "000000020003 00020000 000300020035 00060010 20010DB8000000000000000000000001 FDE800026162"},
      {"NAPTR 100 10 \"S\" \"SIP+D2U\" \"\" _sip._udp", 35,
       "0064000A0153075349502B44325500045F736970045F756470076578616D706C6503636F6D00"},
      {"DS 60485 5 1 2BB183AF5F22588179A53B0A98631FAD1A292118", 43,
       "EC4505012BB183AF5F22588179A53B0A98631FAD1A292118"},
      {"DNSKEY 256 3 8 AwEA AQ==", 48, "0100030803010001"},
      {"SSHFP 1 1 dd465c09cfa51fb45020cc83316fff21b9ec74ac", 44,
       "0101DD465C09CFA51FB45020CC83316FFF21B9EC74AC"},
      {"TLSA 3 1 1 0c72ac70", 52, "0301010C72AC70"},
      {"TYPE65534 \\# 4 0A 000001", 65534, "0A000001"},
      {"TYPE1 \\# 4 0A000001", 1, "0A000001"},
      {"TYPE260 \\# 0", 260, ""}};
  for (const auto& [line, type, rdata] : cases) {
    const clZone* zone = Load("example.com.", std::string("x ") + line + "\n");
    ASSERT_NE(zone, nullptr);
    ASSERT_EQ(zone->Records.size(), 1u) << line;
    EXPECT_EQ(zone->Records[0]->RecType, type) << line;
    std::string hex = rdata;
    std::erase(hex, ' ');
    EXPECT_EQ(HWToHex(zone->Records[0]->Data), hex) << line;
  }
  for (const char* line :
       {"AAAA 10.0.0.1", "CAA 0", "CAA 256 issue x", "TYPE65534 \\# 3 0A000001", "DS 1 2 3 XYZ",
        "HTTPS 1 . port=x", "HTTPS 1 . port=1 port=2", "TLSA 3 1 1 0c72 trailing", "TYPE2 \\# 1 00",
        "TYPE41 \\# 0", "TYPE65536 \\# 0", "NSEC3 1 0 0 -"}) {
    EXPECT_EQ(LoadListing(std::string("x ") + line + "\n"), "") << line;
  }
}

TEST_F(ZoneFileTest, ControlCommentsSetTheZone) {
  const clZone* zone = Load("example.com.",
                            "; Notify 192.0.2.1  192.0.2.2 \n;NOTIFY 192.0.2.9\n; primaryip  10.9.9.9 \n"
                            "; NOTSECURE\nwww A 10.0.0.1 ; NOTIFY 192.0.2.8\n");
  ASSERT_NE(zone, nullptr);
  EXPECT_EQ(zone->Slaves, (TextList{"192.0.2.1", "192.0.2.2"}));
  EXPECT_EQ(zone->PrimaryIP, "10.9.9.9");
  EXPECT_FALSE(zone->Secure);
  EXPECT_TRUE(Load("example.com.", "www A 10.0.0.1\n")->Secure);
}

TEST_F(ZoneFileTest, ZoneDefaultsAndFileTime) {
  const clZone* plain = Load("example.com.", "");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->NextRefresh, t.ctx.Now());
  EXPECT_EQ(plain->Expires, t.ctx.Now());
  EXPECT_FALSE(plain->Checked);

  auth().LoadZone("example.com.", 120, t.ctx.Now() - 1);
  const clZone* synced = Zone("example.com.");
  ASSERT_NE(synced, nullptr);
  EXPECT_DOUBLE_EQ(synced->Expires, t.ctx.Now() + Seconds(120));
  EXPECT_EQ(synced->FILETIME, t.ctx.Now() - 1);
  EXPECT_TRUE(synced->Checked);
  EXPECT_EQ(LogTexts(), TextList{"Loading Zone: example.com."});  // only the load without a file time
}

TEST_F(ZoneFileTest, FailedLoadsLeaveTheZoneOut) {
  ASSERT_NE(Load("example.com.", "www A 10.0.0.1\n"), nullptr);
  EXPECT_EQ(Load("example.com.", "www 2147483648 A 10.0.0.1\n"), nullptr);
  EXPECT_TRUE(ErrorReported("clDNSAuthData LoadZone"));
  ASSERT_NE(Load("example.com.", "www 2147483647 A 10.0.0.1\n"), nullptr);
  EXPECT_EQ(Load("example.com.", "@ SOA ns1 hm 4294967295 1 2 3 4\n"), nullptr);

  ASSERT_NE(Load("example.com.", "www A 10.0.0.1\n"), nullptr);
  std::filesystem::remove(t.dir.File("data/example.com.dns"));
  auth().LoadZone("example.com.", 0);
  EXPECT_EQ(Zone("example.com."), nullptr);
  EXPECT_EQ(LogTexts().back(), "** Error accessing file!");
}

}  // namespace
}  // namespace vell::test
