// The cache file: what SaveCache writes, and what LoadCache makes of it
// after the server was stopped for a while.
#include <filesystem>

#include "cache_fixture.h"
#include "core/platform/file_time.h"

namespace vell::test {
namespace {

class CacheFile : public CacheTest {
 protected:
  // Moves the clock to `seconds` after the cache file was last written.
  void StopFor(double seconds) {
    DateTime written = 0;
    ASSERT_TRUE(FileModified(t.dir.File("named.cache"), written));
    t.clock.Set(written + Seconds(seconds));
  }
  void LoadText(const std::string& text) {
    t.dir.Write("named.cache", text);
    StopFor(0);
    cache.LoadCache();
  }
  int32_t TTLOf(size_t index) const { return cache.Records()[index]->TTL(t.clock); }
};

TEST_F(CacheFile, RoundTripKeepsEveryTypeAndCountsDownWhileStopped) {
  cache.AddRec(A("www.example.", "10.0.0.1"));
  cache.AddRec(A("www.example.", "10.0.0.2"));
  cache.AddRec(Rec("example.", kTypeMX, MakeMxData({10, "mail.example."})));
  cache.AddRec(Soa("example.", 60));
  cache.AddRec(Rec("example.", kTypeNS, "ns.example."));
  cache.AddRec(Rec("_sip._udp.example.", kTypeSRV, MakeSrvData({5, 10, 5060, "sip.example."})));
  cache.AddRec(Rec("alias.example.", kTypeCNAME, "www.example."));
  cache.AddRec(Rec("1.0.0.10.in-addr.arpa.", kTypePTR, "www.example."));
  cache.AddRec(Rec("text.example.", kTypeTXT, MakeTxtData({"say \"hi\"", "two"})));
  cache.AddRec(A("short.example.", "10.0.0.9", 300));
  t.clock.AdvanceSeconds(100);
  cache.SaveCache(false);

  EXPECT_EQ(t.dir.Read("named.cache"),
            "; Vellion - Cache\r\n"
            "1.0.0.10.in-addr.arpa. 3500 PTR www.example.\r\n"
            "_sip._udp.example. 3500 SRV 5 10 5060 sip.example.\r\n"
            "alias.example. 3500 CNAME www.example.\r\n"
            "example. 3500 NS ns.example.\r\n"
            " 3500 SOA ns.example. admin.example. 1 900 300 86400 60\r\n"
            " 3500 MX 10 mail.example.\r\n"
            "short.example. 200 A 10.0.0.9\r\n"
            "text.example. 3500 TXT \"say \\042hi\\042\" \"two\" \r\n"
            "www.example. 3500 A 10.0.0.2\r\n"
            " 3500 A 10.0.0.1\r\n");

  cache.ClearCache();
  StopFor(600);
  cache.LoadCache();
  // Records of one owner come back in the reverse of their file order.
  EXPECT_EQ(Cached(),
            "1.0.0.10.in-addr.arpa. 12 www.example., _sip._udp.example. 33 " +
                MakeSrvData({5, 10, 5060, "sip.example."}) + ", alias.example. 5 www.example., example. 15 " +
                MakeMxData({10, "mail.example."}) +
                ", example. 6, example. 2 ns.example., short.example. 1 10.0.0.9, text.example. 16 " +
                MakeTxtData({"say \"hi\"", "two"}) + ", www.example. 1 10.0.0.1, www.example. 1 10.0.0.2");
  EXPECT_EQ(ReadSoaData(cache.Records()[4]->Data).minimum, 60);
  EXPECT_EQ(TTLOf(0), 2900);
  EXPECT_FALSE(cache.Records()[0]->Permanent);

  // The entry that ran out while stopped is loaded spent: never answered,
  // and swept.
  EXPECT_EQ(TTLOf(6), -400);
  EXPECT_TRUE(Ask("short.example.", kTypeA, true, true)->Section2.empty());
  for (int i = 0; i < 20; ++i) cache.Purge();
  EXPECT_EQ(cache.Count(), 9);
}

TEST_F(CacheFile, OnlyLiveLearntRecordsAreWrittenAndAnOwnerIsRepeatedAfterASkippedOne) {
  cache.AddRec(A("b.example.", "10.0.0.2"));
  cache.AddRec(Rec("b.example.", kNameErrorType, "example."));
  cache.AddRec(A("a.example.", "10.0.0.1"));
  cache.AddRec(Rec("a.example.", kTypeA, IPToData("10.0.0.3"), 3600, true));
  cache.AddRec(A("gone.example.", "10.0.0.4", 10));
  cache.AddRec(A("last.example.", "10.0.0.5", 11));  // live up to its time-out moment
  cache.AddRec(Rec("b.example.", kNegativeType + kTypeMX, "example."));
  cache.AddRec(Rec("c.example.", 65534, IPToData("10.0.0.1")));
  cache.AddRec(Rec("c.example.", kTypeAAAA, IPToData("32.1.13.184") + std::string(11, '\0') + '\1'));
  t.clock.AdvanceSeconds(11);
  cache.SaveCache(false);
  EXPECT_EQ(t.dir.Read("named.cache"),
            "; Vellion - Cache\r\n"
            "a.example. 3589 A 10.0.0.1\r\n"
            "b.example. 3589 A 10.0.0.2\r\n"
            "c.example. 3589 AAAA 2001:db8::1\r\n"
            " 3589 TYPE65534 \\# 4 0A000001\r\n"
            "last.example. 0 A 10.0.0.5\r\n");
}

TEST_F(CacheFile, ReaderSkipsWhatItCannotUseAndExpiresRecordsWithoutTTL) {
  LoadText(
      "; comment line\r\n"
      " 300 A 10.9.9.9\r\n"                        // no owner yet
      "Host.Example 300 IN A 10.0.0.1 ; note\r\n"  // names are always absolute
      "\t300 A 0.0.0.0\r\n"                        // all-zero address
      " IN 300 A 10.0.0.2\r\n"
      " 300 CH A 10.0.0.3\r\n"
      " 300 HINFO pc linux\r\n"
      " A 10.0.0.4\r\n"  // no TTL: spent at once
      "zone. 300 SOA ns.zone. admin.zone. 1 2 3 4\r\n"
      "zone. 300 SOA ns admin (\r\n"
      "   1 2 3 4 ; serial .. expire\r\n"
      "   5 )\r\n"
      "zone. 300 DFCN other.\r\n"
      "zone. 300 MX -10.5 mail\r\n"
      "late. 300 A (\r\n");
  EXPECT_EQ(Cached(),
            "host.example. 1 10.0.0.4, host.example. 1 10.0.0.2, host.example. 1 10.0.0.1, zone. 15 " +
                MakeMxData({10, "mail."}) + ", zone. 6");
  EXPECT_EQ(ReadSoaData(cache.Records()[4]->Data).mailbox, "admin.");
  EXPECT_EQ(Describe(Ask("host.example.", kTypeA)->Section2),
            "host.example. 1 10.0.0.2, host.example. 1 10.0.0.1");
}

TEST_F(CacheFile, MissingFileLoadsNothingAndAnOversizedTTLStopsTheLoad) {
  cache.LoadCache();
  EXPECT_EQ(cache.Count(), 0);
  EXPECT_FALSE(std::filesystem::exists(t.dir.File("support.txt")));

  LoadText("a. 60 A 10.0.0.1\r\nb. 99999999999 A 10.0.0.2\r\nc. 60 A 10.0.0.3\r\n");
  EXPECT_EQ(Cached(), "a. 1 10.0.0.1");
  EXPECT_TRUE(t.dir.Read("support.txt").find("clDNSCache LoadFile") != std::string::npos);
}

}  // namespace
}  // namespace vell::test
