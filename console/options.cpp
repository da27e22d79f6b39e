#include "console/options.h"

#include <cmath>

#include "core/ip.h"
#include "core/platform/file_time.h"
#include "core/text.h"

namespace vell {

namespace {

// The whole-number part of the absolute numeric value, as the box shows it.
std::string WholeNumber(const std::string& text) {
  const double whole = std::trunc(std::fabs(LeadingNumber(text)));
  return std::isfinite(whole) ? Trim(NumText(whole)) : "0";
}

int Number(const std::string& text) { return CheckedInt32(LeadingNumber(text)); }

// The directory box without its blanks and one trailing "/".
std::string CleanDirectory(const std::string& text) {
  std::string dir = Trim(text);
  if (!dir.empty() && dir.back() == '/') dir.pop_back();
  return dir;
}

}  // namespace

OptionsForm OptionsForm::Open(const Settings& s) {
  OptionsForm f;
  f.NAME = s.NAME;
  f.PRIMARYIP = s.PRIMARYIP;
  f.bind = !s.DNSBIND.empty();
  f.service = s.NTSERVICE;
  f.STARTWIN = s.STARTWIN;
  f.STARTMINI = s.STARTMINI;
  f.WRITELOG = s.WRITELOG;
  f.LOGDETAIL = s.LOGDETAIL;
  f.log_outgoing = !s.LOGINONLY;
  f.LOGBLOCK = s.LOGBLOCK;
  f.DNSRECURSION = s.DNSRECURSION;
  f.MINTIMEOUT = s.MINTIMEOUT == 0 ? "" : Trim(NumText(s.MINTIMEOUT));
  f.SPOOFSECURE = s.SPOOFSECURE;
  f.AUTOCNAME = s.AUTOCNAME;
  f.ROUNDROBIN = s.ROUNDROBIN;
  f.RECURSIONOUT = s.RECURSIONOUT;
  f.NS = s.NS;
  f.MASTERDIR = s.MASTERDIR;
  f.MASTERSYNC = Trim(NumText(s.MASTERSYNC));
  f.HOSTS = s.HOSTS;
  f.HOSTSTTL = Trim(NumText(s.HOSTSTTL));
  f.CACHETTL = Trim(NumText(s.CACHETTL));
  f.CACHERELOAD = s.CACHERELOAD;
  f.DHCP = s.DHCP;
  for (clDHCPif& d : f.DHCP) {
    if (d.Gateway == "0.0.0.0") d.Gateway.clear();
  }
  return f;
}

void OptionsForm::Store(Settings& s) const {
  s.NAME = NAME;
  s.STARTWIN = STARTWIN;
  s.STARTMINI = STARTMINI;
  s.WRITELOG = WRITELOG;
  s.LOGDETAIL = LOGDETAIL;
  s.LOGINONLY = !log_outgoing;
  s.LOGBLOCK = LOGBLOCK;
  s.DNSRECURSION = LowerCase(DNSRECURSION);
  s.MINTIMEOUT = Number(MINTIMEOUT);
  s.SPOOFSECURE = SPOOFSECURE;
  s.AUTOCNAME = AUTOCNAME;
  s.ROUNDROBIN = ROUNDROBIN;
  s.RECURSIONOUT = RECURSIONOUT;
  s.NS = NS;
  s.MASTERDIR = MASTERDIR;
  s.MASTERSYNC = CheckedInt16(LeadingNumber(MASTERSYNC));
  s.HOSTS = HOSTS;
  s.HOSTSTTL = Number(HOSTSTTL);
  s.CACHETTL = Number(CACHETTL);
  s.CACHERELOAD = CACHERELOAD;
  s.DHCP.clear();
  for (const clDHCPif& d : DHCP) {
    if (d.Enable) s.DHCP.push_back(d);
  }
}

std::string CleanOptionField(const std::string& field, const std::string& text) {
  if (field == "NAME" || field == "Domain") return CleanName(text);
  if (field == "MASTERDIR") return CleanDirectory(text);
  if (field == "HOSTS") return Trim(text);
  if (field == "MINTIMEOUT") {
    const std::string whole = WholeNumber(text);
    return whole == "0" ? "" : whole;
  }
  if (field == "MASTERSYNC") {
    const std::string whole = WholeNumber(text);
    return whole == "0" ? "60" : whole;
  }
  return text;
}

std::string DefaultMask(const std::string& address) {
  const double first = LeadingNumber(CleanIP(address));
  if (first < 126) return "255.0.0.0";
  if (first < 192) return "255.255.0.0";
  return "255.255.255.0";
}

std::optional<std::string> CheckDhcpInterface(clDHCPif& d, std::string& field, ErrorSink& sink) {
  const auto fail = [&field](const char* at, const char* message) {
    field = at;
    return std::optional<std::string>(message);
  };
  if (d.Domain == ".") return fail("Domain", "Please enter domain name for DHCP!");
  if (d.ScopeFrom.empty()) return fail("ScopeFrom", "Please enter from and to IP-Addresses!");
  if (d.ScopeTo.empty()) return fail("ScopeTo", "Please enter from and to IP-Addresses!");
  if (d.Subnet.empty()) d.Subnet = DefaultMask(d.IPaddr);
  const std::string bits = IPToBin(sink, d.Subnet);
  const size_t zero = bits.find('0');
  const size_t p = zero == std::string::npos ? 0 : zero + 1;
  if (p < 3 || p > 31 || bits.find('1', p) != std::string::npos || !ValidIP(sink, d.IPaddr, d.Subnet)) {
    return fail("Subnet", "Invalid subnet mask for DHCP!");
  }
  if (!SameNet(sink, d.ScopeFrom, d.IPaddr, d.Subnet) || !SameNet(sink, d.ScopeTo, d.IPaddr, d.Subnet)) {
    return fail("ScopeFrom", "DHCP IP-Addresses must be on the same subnet as interface!");
  }
  if (!ValidIP(sink, d.ScopeFrom, d.Subnet)) return fail("ScopeFrom", "Invalid DHCP From IP-Address!");
  if (!ValidIP(sink, d.ScopeTo, d.Subnet)) return fail("ScopeTo", "Invalid DHCP To IP-Address!");
  if (!d.Gateway.empty()) {
    if (!SameNet(sink, d.Gateway, d.IPaddr, d.Subnet)) {
      return fail("Gateway", "DHCP Gateway must be on the same subnet as interface!");
    }
    if (!ValidIP(sink, d.Gateway, d.Subnet))
      return fail("Gateway", "Invalid DHCP default gateway IP-Address!");
  }
  if (d.TTL == 0) return fail("TTL", "The Lease Period cannot be zero!");
  if (IPToBin(sink, d.ScopeFrom) > IPToBin(sink, d.ScopeTo)) std::swap(d.ScopeFrom, d.ScopeTo);
  return std::nullopt;
}

std::optional<OptionsProblem> CheckOptions(OptionsForm& form, const std::string& home, ErrorSink& sink) {
  if (form.NAME.empty()) return OptionsProblem{"Please enter server name!", "general", "NAME"};
  if (form.RECURSIONOUT && form.NS.empty()) {
    return OptionsProblem{"Please add at least one external DNS server\nIP Address to use forwarding!", "dns",
                          "forwarder"};
  }
  if (LowerCase(form.MASTERDIR) == LowerCase(home + "/data")) form.MASTERDIR.clear();
  DateTime modified = 0;
  if (!form.HOSTS.empty() && !FileModified(form.HOSTS, modified)) {
    return OptionsProblem{"The specified 'Hosts' file does not exist!", "dns", "HOSTS"};
  }
  for (size_t i = 0; i < form.DHCP.size(); ++i) {
    if (!form.DHCP[i].Enable) continue;
    std::string field;
    if (auto message = CheckDhcpInterface(form.DHCP[i], field, sink)) {
      return OptionsProblem{*message, "dhcp", field, static_cast<int>(i)};
    }
  }
  return std::nullopt;
}

}  // namespace vell
