// The options dialog: cleaning of the boxes, the default mask, and OK's
// checks in order with their messages and where they send the operator.
#include "console/options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vell {
namespace {

TEST(Options, CleaningOnLeavingABox) {
  const std::vector<std::vector<std::string>> cases = {
      {"NAME", " My..Server. ", "my.server"},
      {"Domain", "LAN", "lan"},
      {"MASTERDIR", " /srv/zones/ ", "/srv/zones"},
      {"MASTERDIR", "/srv//", "/srv/"},
      {"HOSTS", "  /etc/hosts ", "/etc/hosts"},
      {"MINTIMEOUT", "-12.9", "12"},
      {"MINTIMEOUT", "0", ""},
      {"MINTIMEOUT", "junk", ""},
      {"MASTERSYNC", "0.5", "60"},
      {"MASTERSYNC", "-7", "7"},
      {"CACHETTL", " 5 ", " 5 "},
  };
  for (const auto& c : cases) EXPECT_EQ(CleanOptionField(c[0], c[1]), c[2]) << c[0] << " " << c[1];
}

TEST(Options, DefaultMaskByFirstNumber) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"10.0.0.1", "255.0.0.0"},    {"125.1.1.1", "255.0.0.0"},       {"126.1.1.1", "255.255.0.0"},
      {"191.1.1.1", "255.255.0.0"}, {"192.168.1.1", "255.255.255.0"},
  };
  for (const auto& [address, mask] : cases) EXPECT_EQ(DefaultMask(address), mask) << address;
}

clDHCPif Interface() {
  return {"192.168.1.1", "192.168.1.100", "192.168.1.200", "255.255.255.0", "192.168.1.254", 3600, "lan.",
          true};
}

OptionsForm ValidForm() {
  OptionsForm f;
  f.NAME = "ns";
  f.DHCP = {Interface()};
  return f;
}

struct Case {
  const char* what;
  std::function<void(OptionsForm&)> change;
  OptionsProblem expected;  // message empty: all checks pass
};

TEST(Options, ChecksBeforeTheDhcpInterfacesInOrder) {
  const std::vector<Case> cases = {
      {"valid", [](OptionsForm&) {}, {}},
      {"no name before anything else",
       [](OptionsForm& f) { f.NAME = "", f.RECURSIONOUT = true; },
       {"Please enter server name!", "general", "NAME"}},
      {"forwarding without forwarders",
       [](OptionsForm& f) { f.RECURSIONOUT = true; },
       {"Please add at least one external DNS server\nIP Address to use forwarding!", "dns", "forwarder"}},
      {"forwarding with one", [](OptionsForm& f) { f.RECURSIONOUT = true, f.NS = {"10.0.0.1"}; }, {}},
      {"missing hosts file before DHCP",
       [](OptionsForm& f) { f.HOSTS = "/nonexistent/hosts", f.DHCP[0].Domain = "."; },
       {"The specified 'Hosts' file does not exist!", "dns", "HOSTS"}},
      {"disabled interface unchecked",
       [](OptionsForm& f) {
         f.DHCP.insert(f.DHCP.begin(), clDHCPif{"1.2.3.4", "", "", "", "", 0, ".", false});
         f.DHCP.push_back(Interface());
         f.DHCP.back().TTL = 0;
       },
       {"The Lease Period cannot be zero!", "dhcp", "TTL", 2}},
  };
  RecordingErrorSink sink;
  for (const Case& c : cases) {
    OptionsForm form = ValidForm();
    c.change(form);
    EXPECT_EQ(CheckOptions(form, "/home/v", sink).value_or(OptionsProblem{}), c.expected) << c.what;
  }
}

// One box of the interface changed: the message and the box OK sends the
// operator to ("" when it passes).
TEST(Options, DhcpInterfaceChecksInOrder) {
  const std::map<std::string, std::string clDHCPif::*> boxes = {
      {"IPaddr", &clDHCPif::IPaddr}, {"ScopeFrom", &clDHCPif::ScopeFrom}, {"ScopeTo", &clDHCPif::ScopeTo},
      {"Subnet", &clDHCPif::Subnet}, {"Gateway", &clDHCPif::Gateway},     {"Domain", &clDHCPif::Domain}};
  const std::string range = "Please enter from and to IP-Addresses!", mask = "Invalid subnet mask for DHCP!";
  const std::vector<std::vector<std::string>> cases = {
      // box, value, message, box focused
      {"Domain", ".", "Please enter domain name for DHCP!", "Domain"},
      {"ScopeFrom", "", range, "ScopeFrom"},
      {"ScopeTo", "", range, "ScopeTo"},
      {"Subnet", "255.255.255.255", mask, "Subnet"},
      {"Subnet", "255.255.255.254", mask, "Subnet"},
      {"Subnet", "128.0.0.0", mask, "Subnet"},
      {"Subnet", "255.0.255.0", mask, "Subnet"},
      {"IPaddr", "192.168.1.0", mask, "Subnet"},
      {"ScopeTo", "192.168.2.10", "DHCP IP-Addresses must be on the same subnet as interface!", "ScopeFrom"},
      {"ScopeFrom", "192.168.1.255", "Invalid DHCP From IP-Address!", "ScopeFrom"},
      {"ScopeTo", "192.168.1.0", "Invalid DHCP To IP-Address!", "ScopeTo"},
      {"Gateway", "10.1.1.1", "DHCP Gateway must be on the same subnet as interface!", "Gateway"},
      {"Gateway", "192.168.1.255", "Invalid DHCP default gateway IP-Address!", "Gateway"},
      {"Gateway", "", "", ""},
      {"TTL", "0", "The Lease Period cannot be zero!", "TTL"},
  };
  RecordingErrorSink sink;
  for (const auto& c : cases) {
    OptionsForm form = ValidForm();
    if (c[0] == "TTL") {
      form.DHCP[0].TTL = std::stoi(c[1]);
    } else {
      form.DHCP[0].*boxes.at(c[0]) = c[1];
    }
    const OptionsProblem expected = c[2].empty() ? OptionsProblem{} : OptionsProblem{c[2], "dhcp", c[3], 0};
    EXPECT_EQ(CheckOptions(form, "/home/v", sink).value_or(OptionsProblem{}), expected)
        << c[0] << " " << c[1];
  }
  // Masks of 2 and of 30 ones pass.
  for (const clDHCPif& d :
       {clDHCPif{"10.0.0.1", "10.0.0.5", "10.0.0.9", "192.0.0.0", "", 60, "lan.", true},
        clDHCPif{"192.168.1.1", "192.168.1.2", "192.168.1.2", "255.255.255.252", "", 60, "lan.", true}}) {
    OptionsForm form = ValidForm();
    form.DHCP[0] = d;
    EXPECT_FALSE(CheckOptions(form, "/home/v", sink)) << d.Subnet;
  }
}

TEST(Options, SilentFixes) {
  RecordingErrorSink sink;
  OptionsForm form = ValidForm();
  form.MASTERDIR = "/HOME/V/Data";
  form.DHCP[0].ScopeFrom = "192.168.1.200";
  form.DHCP[0].ScopeTo = "192.168.1.100";
  form.DHCP[0].Subnet = "";
  const std::string hosts = std::filesystem::temp_directory_path() / "vellion-options-hosts";
  std::fclose(std::fopen(hosts.c_str(), "w"));
  form.HOSTS = hosts;
  EXPECT_FALSE(CheckOptions(form, "/home/v", sink));
  EXPECT_EQ(form.MASTERDIR, "");
  EXPECT_EQ(form.DHCP[0].ScopeFrom, "192.168.1.100");
  EXPECT_EQ(form.DHCP[0].ScopeTo, "192.168.1.200");
  EXPECT_EQ(form.DHCP[0].Subnet, "255.255.255.0");
  form.MASTERDIR = "/home/v/data/zones";
  EXPECT_FALSE(CheckOptions(form, "/home/v", sink));
  EXPECT_EQ(form.MASTERDIR, "/home/v/data/zones");
  std::filesystem::remove(hosts);
}

TEST(Options, StoreKeepsOnlyEnabledInterfaces) {
  OptionsForm form = ValidForm();
  form.DHCP.push_back(Interface());
  form.DHCP.back().Enable = false;
  form.log_outgoing = false;
  form.MINTIMEOUT = "";
  form.MASTERSYNC = "15";
  Settings s;
  form.Store(s);
  EXPECT_EQ(s.DHCP, std::vector<clDHCPif>{Interface()});
  EXPECT_TRUE(s.LOGINONLY);
  EXPECT_EQ(s.MINTIMEOUT, 0);
  EXPECT_EQ(s.MASTERSYNC, 15);
  EXPECT_EQ(OptionsForm::Open(s).log_outgoing, false);
}

}  // namespace
}  // namespace vell
