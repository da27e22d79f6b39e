#include <gtest/gtest.h>

#include "core/config/ini.h"
#include "temp_dir.h"

namespace vell {
namespace {

class IniRead : public ::testing::Test {
 protected:
  Settings Load(const std::string& text) {
    dir.Write("vellion.ini", text);
    Settings s;
    LoadINI(s, ctx);
    return s;
  }
  Settings Defaults() {
    Settings s;
    s.PRIMARYIP = "192.168.1.7";
    return s;
  }
  testing::TempDir dir;
  std::vector<std::string> local_ips{"192.168.1.7", "127.0.0.1"};
  RecordingErrorSink errors;
  IniContext ctx{dir.File("vellion.ini"), &local_ips, &errors};
};

TEST_F(IniRead, MissingFileResetsEverythingToDefaults) {
  Settings s;
  s.NS = {"1.1.1.1"};
  s.WRITELOG = true;
  s.MAXACTDNSREQ = 5;
  LoadINI(s, ctx);
  EXPECT_EQ(s, Defaults());
  local_ips.clear();
  LoadINI(s, ctx);
  EXPECT_EQ(s.PRIMARYIP, "127.0.0.1");
  EXPECT_TRUE(errors.entries.empty());
}

TEST_F(IniRead, FlagIsTrueExactlyWhenValueStartsWithY) {
  const std::pair<std::string, bool> cases[] = {
      {"WriteLog: YES", true},   {"writelog:yes", true},  {"WRITELOG: y", true},
      {"WriteLog:   Yep", true}, {"WriteLog: NO", false}, {"WriteLog:", false},
      {"WriteLog: 1", false},    {"WRITELOG", false},     {"WriteLog: true", false}};
  for (const auto& [line, expected] : cases) EXPECT_EQ(Load(line).WRITELOG, expected) << line;
  // A flag that defaults to true is cleared by anything but "Y...".
  EXPECT_FALSE(Load("LogDetail").LOGDETAIL);
}

TEST_F(IniRead, NumbersTakeLeadingPartRoundedHalfToEven) {
  const std::pair<std::string, int> cases[] = {{"2.5", 2}, {"3.5", 4}, {"-2.5", -2},  {"7200 seconds", 7200},
                                               {"abc", 0}, {"", 0},    {"1e3", 1000}, {"  12.51", 13}};
  for (const auto& [text, expected] : cases) {
    const Settings s = Load("BombLevel: " + text + "\r\nHostsTTL: " + text + "\r\n");
    EXPECT_EQ(s.BOMBLEVEL, expected) << text;
    EXPECT_EQ(s.HOSTSTTL, expected) << text;
  }
  EXPECT_EQ(Load("CacheTTL: 99999").CACHETTL, 99999);  // a Long takes what an Integer cannot
}

TEST_F(IniRead, OverflowEndsReadingAndKeepsEarlierSettings) {
  const Settings s = Load("BombLevel: 5\r\nMaxActDNSReq: 99999\r\nWriteLog: YES\r\nNS: 10.0.0.1\r\n");
  EXPECT_EQ(s.BOMBLEVEL, 5);
  EXPECT_EQ(s.MAXACTDNSREQ, 100);
  EXPECT_FALSE(s.WRITELOG);
  EXPECT_TRUE(s.NS.empty());
  ASSERT_EQ(errors.entries.size(), 1u);
  EXPECT_EQ(errors.entries[0].where, "modMain LoadINI");
  EXPECT_EQ(errors.entries[0].number, kErrOverflow);

  // Long settings overflow beyond 32 bits.
  Load("HostsTTL: 3000000000\r\n");
  Load("DHCP: 1.2.3.4 a 1.2.3.5 1.2.3.9 255.0.0.0 0.0.0.0 3e10\r\n");
  EXPECT_EQ(errors.entries.size(), 3u);
}

TEST_F(IniRead, TextSettingsAreCleanedPerKey) {
  const Settings s = Load(
      "MasterDir: C:\\Zones\r\nHosts: /etc/Hosts\r\nName:  My Host.Example. \r\nDNSRecursion: <NONE>\r\n"
      "ServiceName: My DNS/Srv\\1\r\nServiceDesc:  My DNS \r\n");
  // Everything after the first colon; paths keep their case.
  EXPECT_EQ(s.MASTERDIR, "C:\\Zones");
  EXPECT_EQ(s.HOSTS, "/etc/Hosts");
  EXPECT_EQ(s.NAME, "myhost.example");
  EXPECT_EQ(s.DNSRECURSION, "<none>");
  EXPECT_EQ(s.SERVICENAME, "mydnssrv1");
  EXPECT_EQ(s.SERVICEDESC, "My DNS");
}

TEST_F(IniRead, DnsBindSetsPrimaryIPUntilALaterPrimaryIPLine) {
  EXPECT_EQ(Load("DNSBind: 10.0.0.5\r\nPrimaryIP: 10.0.0.9\r\n").PRIMARYIP, "10.0.0.9");
  const Settings s = Load("PrimaryIP: 10.0.0.9\r\nDNSBind: 010.0.0.5\r\n");
  EXPECT_EQ(s.PRIMARYIP, "10.0.0.5");
  EXPECT_EQ(s.DNSBIND, "10.0.0.5");
}

TEST_F(IniRead, AddressListsAppendNormalisedAndStartEmpty) {
  const std::string text = "NS: 10.0.0.1\nns:010.000.0.2\rNoBlock: 10.1\r\nNS: junk\r\nNOBLOCK\r\n";
  Load(text);
  const Settings s = Load(text);
  EXPECT_EQ(s.NS, (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "0.0.0.0"}));
  EXPECT_EQ(s.NOBLOCK, (std::vector<std::string>{"10.1.0.0", "0.0.0.0"}));
}

TEST_F(IniRead, DhcpRecordsFromTokens) {
  const Settings s = Load(
      "DHCP: 192.168.0.1 Office.Lan 192.168.0.100 192.168.0.199 255.255.255.0\r\n"
      "DHCP:  10.0.0.1   x  10.0.0.10 10.0.0.20 255.0.0.0 10.0.0.254 3600.5 extra\r\n"
      "DHCPAlias: 000aFF Bob Smith\r\nDHCPAlias: ABC\r\n");
  ASSERT_EQ(s.DHCP.size(), 2u);
  EXPECT_EQ(s.DHCP[0], (clDHCPif{"192.168.0.1", "192.168.0.100", "192.168.0.199", "255.255.255.0", "0.0.0.0",
                                 259200, "office.lan.", true}));
  EXPECT_EQ(s.DHCP[1],
            (clDHCPif{"10.0.0.1", "10.0.0.10", "10.0.0.20", "255.0.0.0", "10.0.0.254", 3600, "x.", true}));
  EXPECT_EQ(s.DHCPALIAS, (std::vector<clDHCPAlias>{{std::string("\x00\x0a\xff", 3), "bob"}, {"\xab", ""}}));
}

TEST_F(IniRead, UnknownKeysCommentsAndReloadPortAreIgnored) {
  EXPECT_EQ(Load("; WriteLog: YES\r\nReloadPort: 5353\r\nFoo: bar\r\n\r\n:YES\r\n"), Defaults());
}

// What companion programs read: the last valid "ReloadPort:" line.
TEST_F(IniRead, ReloadPortForCompanions) {
  const std::pair<const char*, int> cases[] = {
      {"HostsTTL: 3600\r\nReloadPort: 40001\r\nBombLevel: 0\r\n", 40001},
      {"reloadport:7\r\nReloadPort: 9\r\n", 9},
      {"ReloadPort: 0\r\n", 0},
      {"ReloadPort: 70000\r\n", 0},
      {"ReloadPort: junk\r\n", 0},
      {"BombLevel: 0\r\n", 0},
  };
  for (const auto& [text, port] : cases) {
    dir.Write("vellion.ini", text);
    EXPECT_EQ(ReadReloadPort(ctx.path), port) << text;
  }
  EXPECT_EQ(ReadReloadPort(dir.File("missing.ini")), 0);
}

}  // namespace
}  // namespace vell
