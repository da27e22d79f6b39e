#include <gtest/gtest.h>

#include "core/config/ini.h"
#include "temp_dir.h"

namespace vell {
namespace {

class IniWrite : public ::testing::Test {
 protected:
  std::string Save(const Settings& s, uint16_t reload_port = 0) {
    std::string written;
    SaveINI(s, reload_port, ctx, written);
    return dir.Read("vellion.ini");
  }
  Settings Load() {
    Settings s;
    LoadINI(s, ctx);
    return s;
  }
  testing::TempDir dir;
  std::vector<std::string> local_ips{"192.168.1.7"};
  RecordingErrorSink errors;
  IniContext ctx{dir.File("vellion.ini"), &local_ips, &errors};
};

TEST_F(IniWrite, DefaultFileOnFirstStart) {
  EXPECT_EQ(Save(Load()),
            "HostsTTL: 3600\r\nPrimaryIP: 192.168.1.7\r\nDNSRecursion: <none>\r\nServiceName: vellion\r\n"
            "ServiceDesc: Vellion\r\nMaxActDNSReq: 100\r\nReloadPort: 0\r\nBombLevel: 0\r\n");
  EXPECT_TRUE(errors.entries.empty());
}

Settings EverySettingChanged() {
  return Settings{
      .NAME = "ns1.lan",
      .STARTMINI = true,
      .STARTWIN = true,
      .HOSTS = "/etc/hosts",
      .HOSTSTTL = 60,
      .MASTERDIR = "/srv/master",
      .MASTERSYNC = 5,
      .MAXACTDNSREQ = 20,
      .BOMBLEVEL = 7,
      .MINTIMEOUT = 3,
      .PRIMARYIP = "10.0.0.9",
      .DNSBIND = "10.0.0.5",
      .DNSRECURSION = "10.0.",
      .AUTOCNAME = true,
      .ROUNDROBIN = true,
      .NTSERVICE = true,
      .SERVICENAME = "vell",
      .SERVICEDESC = "Vell DNS",
      .WRITELOG = true,
      .LOGDETAIL = false,
      .LOGINONLY = true,
      .LOGBLOCK = false,
      .RECURSIONOUT = true,
      .NS = {"10.0.0.1", "10.0.0.2"},
      .SPOOFSECURE = true,
      .CACHETTL = 300,
      .CACHERELOAD = true,
      .NOBLOCK = {"10.0.0.3"},
      .DHCP = {{"10.0.0.5", "10.0.0.100", "10.0.0.199", "255.255.255.0", "", 259200, "office.lan.", true}},
      .DHCPALIAS = {{std::string("\x00\x0a\xff", 3), "bob"}}};
}

TEST_F(IniWrite, EveryLineInOrder) {
  EXPECT_EQ(
      Save(EverySettingChanged(), 5353),
      "Name: ns1.lan\r\nHosts: /etc/hosts\r\nHostsTTL: 60\r\nPrimaryIP: 10.0.0.9\r\nDNSBind: 10.0.0.5\r\n"
      "StartMini: YES\r\nDNSRecursion: 10.0.\r\nAutoCNAME: YES\r\nRoundRobin: YES\r\nNTService: YES\r\n"
      "ServiceName: vell\r\nServiceDesc: Vell DNS\r\nStartWin: YES\r\nWriteLog: YES\r\nLogDetail: NO\r\n"
      "LogInOnly: YES\r\nLogBlock: NO\r\nMaxActDNSReq: 20\r\nCacheTTL: 300\r\nCacheReload: YES\r\n"
      "SpoofSecure: YES\r\nMinTimeOut: 3\r\nMasterDir: /srv/master\r\nMasterSync: 5\r\n"
      "RecursionOut: YES\r\nNS: 10.0.0.1\r\nNS: 10.0.0.2\r\nReloadPort: 5353\r\nBombLevel: 7\r\n"
      "NoBlock: 10.0.0.3\r\n"
      "DHCP: 10.0.0.5 office.lan. 10.0.0.100 10.0.0.199 255.255.255.0 0.0.0.0  259200\r\n"
      "DHCPAlias: 000AFF bob\r\n");
  // Reading it back gives the same settings, except that PRIMARYIP follows
  // DNSBIND, whose line comes later.
  Settings expected = EverySettingChanged();
  expected.PRIMARYIP = expected.DNSBIND;
  expected.DHCP[0].Gateway = "0.0.0.0";
  EXPECT_EQ(Load(), expected);
}

TEST_F(IniWrite, NumbersOutsideTheirConditionsAreLeftOut) {
  Settings s;
  s.HOSTSTTL = -1;
  s.CACHETTL = -5;
  s.MASTERSYNC = 9;  // written only with a master directory
  s.DNSRECURSION = "";
  EXPECT_EQ(Save(s),
            "HostsTTL:-1\r\nServiceName: vellion\r\nServiceDesc: Vellion\r\nMaxActDNSReq: 100\r\n"
            "ReloadPort: 0\r\nBombLevel: 0\r\n");
}

TEST_F(IniWrite, RewriteDropsCommentsUnknownKeysAndOldReloadPortKeepingTheOldFile) {
  const std::string old_text =
      "; my notes\r\nFoo: bar\r\nReloadPort: 1111\r\nBombLevel: 0\r\n"
      "DHCP: 192.168.0.1 Office.Lan 192.168.0.100 192.168.0.199 255.255.255.0\r\n";
  dir.Write("vellion.ini", old_text);
  const Settings first = Load();
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
  EXPECT_EQ(text.find("notes"), std::string::npos);
  EXPECT_EQ(text.find("Foo"), std::string::npos);
  EXPECT_EQ(text.find("1111"), std::string::npos);
  EXPECT_NE(text.find("\r\nReloadPort: 2222\r\n"), std::string::npos);
  EXPECT_NE(
      text.find(
          "\r\nDHCP: 192.168.0.1 office.lan. 192.168.0.100 192.168.0.199 255.255.255.0 0.0.0.0  259200\r\n"),
      std::string::npos);
  EXPECT_EQ(Load().DHCP, first.DHCP);
}

TEST_F(IniWrite, UnwritableTargetIsReported) {
  ctx.path = dir.File("missing/vellion.ini");
  std::string written;
  SaveINI(Settings{}, 0, ctx, written);
  ASSERT_EQ(errors.entries.size(), 1u);
  EXPECT_EQ(errors.entries[0].where, "modMain SaveINI");
  EXPECT_EQ(errors.entries[0].number, kErrPathFileAccess);
}

}  // namespace
}  // namespace vell
