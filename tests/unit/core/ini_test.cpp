#include "core/config/ini.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace vell {
namespace {

class Ini : public ::testing::Test {
 protected:
  Settings Load(const std::string& text) {
    dir.Write("vellion.ini", text);
    return Load();
  }
  Settings Load() {
    Settings s;
    LoadINI(s, ctx);
    return s;
  }
  std::string Save(const Settings& s, uint16_t reload_port = 0) {
    std::string written;
    SaveINI(s, reload_port, ctx, written);
    return dir.Read("vellion.ini");
  }
  Settings Defaults() {
    Settings s;
    s.PRIMARYIP = "192.168.1.7";
    return s;
  }
  void ExpectOneError(const char* where, int number) {
    ASSERT_EQ(errors.entries.size(), 1u);
    EXPECT_EQ(errors.entries[0].where, where);
    EXPECT_EQ(errors.entries[0].number, number);
  }
  testing::TempDir dir;
  std::vector<std::string> local_ips{"192.168.1.7", "127.0.0.1"};
  RecordingErrorSink errors;
  IniContext ctx{dir.File("vellion.ini"), &local_ips, &errors};
};

TEST_F(Ini, MissingFileResetsEverythingToDefaultsAndIsWrittenAsTheDefaultFile) {
  Settings s;
  s.NS = {"1.1.1.1"};
  s.WRITELOG = true;
  s.MAXACTDNSREQ = 5;
  LoadINI(s, ctx);
  EXPECT_EQ(s, Defaults());
  local_ips.clear();
  EXPECT_EQ(Load().PRIMARYIP, "127.0.0.1");
  EXPECT_EQ(Save(s),
            "HostsTTL: 3600\r\nPrimaryIP: 192.168.1.7\r\nDNSRecursion: <none>\r\nServiceName: vellion\r\n"
            "ServiceDesc: Vellion\r\nMaxActDNSReq: 100\r\nReloadPort: 0\r\nBombLevel: 0\r\n");
  EXPECT_TRUE(errors.entries.empty());
}

TEST_F(Ini, FlagIsTrueExactlyWhenValueStartsWithY) {
  const std::pair<std::string, bool> cases[] = {
      {"WriteLog: YES", true},   {"writelog:yes", true},  {"WRITELOG: y", true},
      {"WriteLog:   Yep", true}, {"WriteLog: NO", false}, {"WriteLog:", false},
      {"WriteLog: 1", false},    {"WRITELOG", false},     {"WriteLog: true", false}};
  for (const auto& [line, expected] : cases) EXPECT_EQ(Load(line).WRITELOG, expected) << line;
  // A flag that defaults to true is cleared by anything but "Y...".
  EXPECT_FALSE(Load("LogDetail").LOGDETAIL);
}

TEST_F(Ini, NumbersTakeLeadingPartRoundedHalfToEven) {
  const std::pair<std::string, int> cases[] = {{"2.5", 2}, {"3.5", 4}, {"-2.5", -2},  {"7200 seconds", 7200},
                                               {"abc", 0}, {"", 0},    {"1e3", 1000}, {"  12.51", 13}};
  for (const auto& [text, expected] : cases) {
    const Settings s = Load("BombLevel: " + text + "\r\nHostsTTL: " + text + "\r\n");
    EXPECT_EQ(s.BOMBLEVEL, expected) << text;
    EXPECT_EQ(s.HOSTSTTL, expected) << text;
  }
  EXPECT_EQ(Load("CacheTTL: 99999").CACHETTL, 99999);  // a Long takes what an Integer cannot
}

TEST_F(Ini, OverflowEndsReadingAndKeepsEarlierSettings) {
  const Settings s = Load("BombLevel: 5\r\nMaxActDNSReq: 99999\r\nWriteLog: YES\r\nNS: 10.0.0.1\r\n");
  EXPECT_EQ(s.BOMBLEVEL, 5);
  EXPECT_EQ(s.MAXACTDNSREQ, 100);
  EXPECT_FALSE(s.WRITELOG);
  EXPECT_TRUE(s.NS.empty());
  ExpectOneError("modMain LoadINI", kErrOverflow);
  // Long settings overflow beyond 32 bits.
  Load("HostsTTL: 3000000000\r\n");
  Load("DHCP: 1.2.3.4 a 1.2.3.5 1.2.3.9 255.0.0.0 0.0.0.0 3e10\r\n");
  EXPECT_EQ(errors.entries.size(), 3u);
}

TEST_F(Ini, TextSettingsAreCleanedPerKey) {
  const Settings s = Load(
      "MasterDir: C:\\Zones\r\nHosts: /etc/Hosts\r\nName:  My Host.Example. \r\nDNSRecursion: <NONE>\r\n"
      "ServiceName: My DNS/Srv\\1\r\nServiceDesc:  My DNS \r\n");
  // Everything after the first colon; paths keep their case.
  EXPECT_EQ((std::vector{s.MASTERDIR, s.HOSTS, s.NAME, s.DNSRECURSION, s.SERVICENAME, s.SERVICEDESC}),
            (std::vector<std::string>{"C:\\Zones", "/etc/Hosts", "myhost.example", "<none>", "mydnssrv1",
                                      "My DNS"}));
}

TEST_F(Ini, DnsBindSetsPrimaryIPUntilALaterPrimaryIPLine) {
  EXPECT_EQ(Load("DNSBind: 10.0.0.5\r\nPrimaryIP: 10.0.0.9\r\n").PRIMARYIP, "10.0.0.9");
  const Settings s = Load("PrimaryIP: 10.0.0.9\r\nDNSBind: 010.0.0.5\r\n");
  EXPECT_EQ(s.PRIMARYIP, "10.0.0.5");
  EXPECT_EQ(s.DNSBIND, "10.0.0.5");
}

TEST_F(Ini, AddressListsAppendNormalisedAndStartEmpty) {
  const std::string text = "NS: 10.0.0.1\nns:010.000.0.2\rNoBlock: 10.1\r\nNS: junk\r\nNOBLOCK\r\n";
  Load(text);
  const Settings s = Load(text);
  EXPECT_EQ(s.NS, (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "0.0.0.0"}));
  EXPECT_EQ(s.NOBLOCK, (std::vector<std::string>{"10.1.0.0", "0.0.0.0"}));
}

TEST_F(Ini, DhcpRecordsFromTokens) {
  const Settings s = Load(
      "DHCP: 192.168.0.1 Office.Lan 192.168.0.100 192.168.0.199 255.255.255.0\r\n"
      "DHCP:  10.0.0.1   x  10.0.0.10 10.0.0.20 255.0.0.0 10.0.0.254 3600.5 extra\r\n"
      "DHCPAlias: 000aFF Bob Smith\r\nDHCPAlias: ABC\r\n");
  EXPECT_EQ(s.DHCP, (std::vector<clDHCPif>{{"192.168.0.1", "192.168.0.100", "192.168.0.199", "255.255.255.0",
                                            "0.0.0.0", 259200, "office.lan.", true},
                                           {"10.0.0.1", "10.0.0.10", "10.0.0.20", "255.0.0.0", "10.0.0.254",
                                            3600, "x.", true}}));
  EXPECT_EQ(s.DHCPALIAS, (std::vector<clDHCPAlias>{{std::string("\x00\x0a\xff", 3), "bob"}, {"\xab", ""}}));
}

TEST_F(Ini, UnknownKeysCommentsAndReloadPortAreIgnored) {
  EXPECT_EQ(Load("; WriteLog: YES\r\nReloadPort: 5353\r\nFoo: bar\r\n\r\n:YES\r\n"), Defaults());
}

// What companion programs read: the last valid "ReloadPort:" line.
TEST_F(Ini, ReloadPortForCompanions) {
  const std::pair<const char*, int> cases[] = {
      {"HostsTTL: 3600\r\nReloadPort: 40001\r\nBombLevel: 0\r\n", 40001},
      {"reloadport:7\r\nReloadPort: 9\r\n", 9},
      {"ReloadPort: 0\r\n", 0},
      {"ReloadPort: 70000\r\n", 0},
      {"ReloadPort: junk\r\n", 0},
      {"BombLevel: 0\r\n", 0}};
  for (const auto& [text, port] : cases) {
    dir.Write("vellion.ini", text);
    EXPECT_EQ(ReadReloadPort(ctx.path), port) << text;
  }
  EXPECT_EQ(ReadReloadPort(dir.File("missing.ini")), 0);
}

// Every line the server writes, in its order, reads back to the same file;
// PRIMARYIP follows DNSBIND, whose line comes later.
TEST_F(Ini, EveryLineInOrderReadsBackToTheSameFile) {
  const std::string text =
      "Name: ns1.lan\r\nHosts: /etc/hosts\r\nHostsTTL: 60\r\nPrimaryIP: 10.0.0.9\r\nDNSBind: 10.0.0.5\r\n"
      "StartMini: YES\r\nDNSRecursion: 10.0.\r\nAutoCNAME: YES\r\nRoundRobin: YES\r\nNTService: YES\r\n"
      "ServiceName: vell\r\nServiceDesc: Vell DNS\r\nStartWin: YES\r\nWriteLog: YES\r\nLogDetail: NO\r\n"
      "LogInOnly: YES\r\nLogBlock: NO\r\nMaxActDNSReq: 20\r\nCacheTTL: 300\r\nCacheReload: YES\r\n"
      "SpoofSecure: YES\r\nMinTimeOut: 3\r\nMasterDir: /srv/master\r\nMasterSync: 5\r\n"
      "RecursionOut: YES\r\nNS: 10.0.0.1\r\nNS: 10.0.0.2\r\nReloadPort: 5353\r\nBombLevel: 7\r\n"
      "NoBlock: 10.0.0.3\r\n"
      "DHCP: 10.0.0.5 office.lan. 10.0.0.100 10.0.0.199 255.255.255.0 0.0.0.0  259200\r\n"
      "DHCPAlias: 000AFF bob\r\nOutgoingRange: 64\r\n";
  Settings s = Load(text);
  EXPECT_EQ(s.PRIMARYIP, "10.0.0.5");
  s.PRIMARYIP = "10.0.0.9";
  EXPECT_EQ(Save(s, 5353), text);
}

TEST_F(Ini, NumbersOutsideTheirConditionsAreLeftOutAndAnEmptyGatewayIsWrittenAsZeros) {
  Settings s;
  s.HOSTSTTL = -1;
  s.CACHETTL = -5;
  s.MASTERSYNC = 9;  // written only with a master directory
  s.DNSRECURSION = "";
  s.DHCP = {{"10.0.0.5", "10.0.0.100", "10.0.0.199", "255.255.255.0", "", 60, "x.", true}};
  EXPECT_EQ(Save(s),
            "HostsTTL:-1\r\nServiceName: vellion\r\nServiceDesc: Vellion\r\nMaxActDNSReq: 100\r\n"
            "ReloadPort: 0\r\nBombLevel: 0\r\nDHCP: 10.0.0.5 x. 10.0.0.100 10.0.0.199 255.255.255.0 0.0.0.0  "
            "60\r\n");
}

TEST_F(Ini, RewriteDropsCommentsUnknownKeysAndOldReloadPortKeepingTheOldFile) {
  const std::string old_text =
      "; my notes\r\nFoo: bar\r\nReloadPort: 1111\r\nBombLevel: 0\r\n"
      "DHCP: 192.168.0.1 Office.Lan 192.168.0.100 192.168.0.199 255.255.255.0\r\n";
  const Settings first = Load(old_text);
  std::string written;
  EXPECT_EQ(
      SaveINI(first, 2222, ctx, written),
      (std::vector<std::string>{"; my notes", "Foo: bar",
                                "DHCP: 192.168.0.1 Office.Lan 192.168.0.100 192.168.0.199 255.255.255.0"}));
  EXPECT_EQ(dir.Read("vellion.ini.bak"), old_text);
  const std::string text = dir.Read("vellion.ini");
  EXPECT_TRUE(SaveINI(first, 3333, ctx, written).empty())
      << "the server's own file changes only in its reload port";
  // The server's own lines change without a notice; a line somebody added
  // since does not go unnoticed.
  Settings second = first;
  second.SERVICEDESC = "Other";
  EXPECT_TRUE(SaveINI(second, 3333, ctx, written).empty());
  dir.Write("vellion.ini", dir.Read("vellion.ini") + "Foo: again\r\n");
  EXPECT_EQ(SaveINI(first, 3333, ctx, written), std::vector<std::string>{"Foo: again"});
  for (const char* gone : {"notes", "Foo", "1111"}) EXPECT_EQ(text.find(gone), std::string::npos) << gone;
  EXPECT_NE(text.find("\r\nReloadPort: 2222\r\n"), std::string::npos);
  EXPECT_NE(
      text.find(
          "\r\nDHCP: 192.168.0.1 office.lan. 192.168.0.100 192.168.0.199 255.255.255.0 0.0.0.0  259200\r\n"),
      std::string::npos);
  EXPECT_EQ(Load().DHCP, first.DHCP);
}

TEST_F(Ini, UnwritableTargetIsReported) {
  ctx.path = dir.File("missing/vellion.ini");
  Save(Settings{});
  ExpectOneError("modMain SaveINI", kErrPathFileAccess);
}

}  // namespace
}  // namespace vell
