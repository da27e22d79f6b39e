// The permanent records: root hints, the hosts file, the loopback names,
// and the snapshot that shows them beside the learnt records and leases.
#include <filesystem>

#include "cache_fixture.h"

namespace vell::test {
namespace {

class PermFiles : public CacheTest {
 protected:
  void SetUp() override { t.ctx.log.KeepLog = true; }
  std::vector<std::string> LogTexts() const { return test::LogTexts(t.ctx); }
};

TEST_F(PermFiles, HostsLinesGiveAddressReverseNameAndAliasesWithHostsTTL) {
  t.ctx.settings.HOSTS = "hosts";
  t.ctx.settings.HOSTSTTL = 120;
  t.dir.Write("hosts",
              "# address  name  aliases\n"
              "10.0.0.5\tServer1 mail\t ftp   # the file server\n"
              "lonely\n"
              "127.0.0.1 localhost\r\n"
              "10.0.0.6 box localhost\n");
  cache.LoadPerm(false);
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{"Loading Root DNS server records...",
                                                  "Loading hosts file \"hosts\"..."}));
  // The hosts file gave both loopback records, so neither is added again,
  // even with an alias met first at the name.
  EXPECT_EQ(
      Cached(),
      "1.0.0.127.in-addr.arpa. 12 localhost., 5.0.0.10.in-addr.arpa. 12 server1., 6.0.0.10.in-addr.arpa. 12 "
      "box., box. 1 10.0.0.6, ftp. 5 server1., localhost. 5 box., localhost. 1 127.0.0.1, mail. 5 server1., "
      "server1. 1 10.0.0.5");
  for (const RecordPtr& r : cache.Records().items()) {
    EXPECT_TRUE(r->Permanent);
    EXPECT_EQ(r->TTL(t.clock), 120);
  }
}

TEST_F(PermFiles, WithoutHintsOrHostsFileOnlyTheLoopbackNamesCome) {
  const std::string loopback = "1.0.0.127.in-addr.arpa. 12 localhost., localhost. 1 127.0.0.1";
  t.dir.Write("named.root", ". 3600000 NS a.root.\r\n");
  cache.LoadPerm(true);  // holding the root zone: the hints are left unread
  EXPECT_TRUE(LogTexts().empty());
  EXPECT_EQ(Cached(), loopback);

  std::filesystem::remove(t.dir.File("named.root"));
  t.ctx.settings.HOSTS = t.dir.File("nowhere");
  cache.LoadPerm(false);
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{"Loading Root DNS server records...",
                                                  "Loading hosts file \"" + t.dir.File("nowhere") + "\"...",
                                                  "-> File not found!"}));
  EXPECT_EQ(Cached(), loopback);
  EXPECT_EQ(Describe(Ask("localhost.", kTypeA)->Section2), "localhost. 1 127.0.0.1");
}

TEST_F(PermFiles, RootHintsArePermanentAndReplacedAsAWholeButLearntRecordsStay) {
  t.dir.Write("named.root",
              ". 3600000 IN NS a.root.\r\n"
              "a.root. 3600000 A 192.0.2.1\r\n"
              "b.root. A 192.0.2.2\r\n");  // no TTL: never used
  Add(Response({A("www.example.", "10.0.0.1")}));
  cache.LoadPerm(false);
  cache.LoadPerm(false);
  EXPECT_EQ(Cached(),
            ". 2 a.root., 1.0.0.127.in-addr.arpa. 12 localhost., a.root. 1 192.0.2.1, b.root. 1 192.0.2.2, "
            "localhost. 1 127.0.0.1, www.example. 1 10.0.0.1");
  EXPECT_EQ(cache.Records()[0]->TTL(t.clock), 3600000);
  EXPECT_EQ(Describe(Ask("host.other.", kTypeA)->Section3), ". 2 a.root.");
  EXPECT_TRUE(Ask("b.root.", kTypeA)->Section2.empty());
}

TEST_F(PermFiles, SnapshotListsPermanentAndLearntRecordsAndLiveLeases) {
  cache.LoadPerm(false);
  cache.AddRec(A("www.example.", "10.0.0.1", 600));
  cache.AddRec(Rec("www.example.", kNegativeType + kTypeMX, "example."));
  const DateTime now = t.clock.Now();
  t.ctx.Leases = {{"10.0.0.7", "pc7.lan.", now + Seconds(90.5), "", ""},
                  {"10.0.0.8", "pc8.lan.", now, "", ""}};
  cache.SaveCache(true);
  EXPECT_EQ(t.dir.Read("snapshot.dat"),
            "1.0.0.127.in-addr.arpa. 3600 PTR localhost.\r\n"
            "localhost. 3600 A 127.0.0.1\r\n"
            "www.example. 600 A 10.0.0.1\r\n"
            "pc7.lan. 90.5 A 10.0.0.7\r\n"
            "7.0.0.10.in-addr.arpa. 90.5 PTR pc7.lan.\r\n");
  cache.SaveCache(false);
  EXPECT_EQ(t.dir.Read("named.cache"), "; Vellion - Cache\r\nwww.example. 600 A 10.0.0.1\r\n");
}

}  // namespace
}  // namespace vell::test
