#include "core/config/ini.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <utility>

#include "core/config/ini_parts.h"
#include "core/ip.h"
#include "core/platform/atomic_file.h"
#include "core/text.h"

namespace vell {

namespace {

constexpr int kDefaultLeaseSeconds = 259200;  // three days

// The value of one line: as written (trimmed), and upper-cased, which is
// what every key but SERVICEDESC works on.
struct Value {
  const std::string& raw;
  const std::string& u;
};
using Handler = std::function<void(Settings&, const Value&)>;

bool IsYes(const std::string& u) { return !u.empty() && u[0] == 'Y'; }

Handler Flag(bool Settings::*field) {
  return [field](Settings& s, const Value& v) { s.*field = IsYes(v.u); };
}
Handler Int16(short Settings::*field) {
  return [field](Settings& s, const Value& v) { s.*field = CheckedInt16(LeadingNumber(v.u)); };
}
Handler Int32(int Settings::*field) {
  return [field](Settings& s, const Value& v) { s.*field = CheckedInt32(LeadingNumber(v.u)); };
}
Handler Lower(std::string Settings::*field) {
  return [field](Settings& s, const Value& v) { s.*field = LowerCase(v.u); };
}
// A path keeps the case it was written in (Linux file names are
// case-sensitive).
Handler Keep(std::string Settings::*field) {
  return [field](Settings& s, const Value& v) { s.*field = v.raw; };
}
Handler AppendIP(std::vector<std::string> Settings::*field) {
  return [field](Settings& s, const Value& v) { (s.*field).push_back(CleanIP(v.u)); };
}

std::string ServiceNameOf(const std::string& u) {
  std::string out;
  for (char c : u) {
    if (c != ' ' && c != '/' && c != '\\') out += c;
  }
  return LowerCase(out);
}

clDHCPif DhcpOf(std::string u) {
  clDHCPif d;
  d.IPaddr = CleanIP(NextToken(u));
  d.Domain = CleanName(NextToken(u)) + ".";
  d.ScopeFrom = CleanIP(NextToken(u));
  d.ScopeTo = CleanIP(NextToken(u));
  d.Subnet = CleanIP(NextToken(u));
  d.Gateway = CleanIP(NextToken(u));
  d.TTL = CheckedInt32(LeadingNumber(NextToken(u)));
  if (d.TTL == 0) d.TTL = kDefaultLeaseSeconds;
  d.Enable = true;
  return d;
}

clDHCPAlias AliasOf(std::string u) {
  clDHCPAlias a;
  a.ClientID = HexToHW(NextToken(u));
  a.Name = LowerCase(NextToken(u));
  return a;
}

const std::map<std::string, Handler>& Handlers() {
  static const std::map<std::string, Handler> table = {
      {"NAME", [](Settings& s, const Value& v) { s.NAME = CleanName(v.u); }},
      {"STARTMINI", Flag(&Settings::STARTMINI)},
      {"STARTWIN", Flag(&Settings::STARTWIN)},
      {"HOSTS", Keep(&Settings::HOSTS)},
      {"HOSTSTTL", Int32(&Settings::HOSTSTTL)},
      {"MASTERDIR", Keep(&Settings::MASTERDIR)},
      {"MASTERSYNC", Int16(&Settings::MASTERSYNC)},
      {"MAXACTDNSREQ", Int16(&Settings::MAXACTDNSREQ)},
      {"BOMBLEVEL", Int16(&Settings::BOMBLEVEL)},
      {"MINTIMEOUT", Int32(&Settings::MINTIMEOUT)},
      {"PRIMARYIP", [](Settings& s, const Value& v) { s.PRIMARYIP = CleanIP(v.u); }},
      {"DNSBIND", [](Settings& s, const Value& v) { s.PRIMARYIP = s.DNSBIND = CleanIP(v.u); }},
      {"DNSRECURSION", Lower(&Settings::DNSRECURSION)},
      {"AUTOCNAME", Flag(&Settings::AUTOCNAME)},
      {"ROUNDROBIN", Flag(&Settings::ROUNDROBIN)},
      {"NTSERVICE", Flag(&Settings::NTSERVICE)},
      {"SERVICENAME", [](Settings& s, const Value& v) { s.SERVICENAME = ServiceNameOf(v.u); }},
      {"SERVICEDESC", [](Settings& s, const Value& v) { s.SERVICEDESC = v.raw; }},
      {"WRITELOG", Flag(&Settings::WRITELOG)},
      {"LOGDETAIL", Flag(&Settings::LOGDETAIL)},
      {"LOGINONLY", Flag(&Settings::LOGINONLY)},
      {"LOGBLOCK", Flag(&Settings::LOGBLOCK)},
      {"RECURSIONOUT", Flag(&Settings::RECURSIONOUT)},
      {"NS", AppendIP(&Settings::NS)},
      {"SPOOFSECURE", Flag(&Settings::SPOOFSECURE)},
      {"CACHETTL", Int32(&Settings::CACHETTL)},
      {"CACHERELOAD", Flag(&Settings::CACHERELOAD)},
      {"NOBLOCK", AppendIP(&Settings::NOBLOCK)},
      {"DHCP", [](Settings& s, const Value& v) { s.DHCP.push_back(DhcpOf(v.u)); }},
      {"DHCPALIAS", [](Settings& s, const Value& v) { s.DHCPALIAS.push_back(AliasOf(v.u)); }},
      {"OUTGOINGRANGE", Int32(&Settings::OUTGOINGRANGE)},
      {"OUTGOINGPORTFROM", Int32(&Settings::OUTGOINGPORTFROM)},
      {"OUTGOINGPORTTO", Int32(&Settings::OUTGOINGPORTTO)},
      {"TCPCONNECTIONS", Int32(&Settings::TCPCONNECTIONS)},
      {"TCPPERADDRESS", Int32(&Settings::TCPPERADDRESS)},
      {"TCPBUFFER", Int32(&Settings::TCPBUFFER)},
      {"CACHERECORDS", Int32(&Settings::CACHERECORDS)},
      {"OUTGOINGQUERIES", Int32(&Settings::OUTGOINGQUERIES)},
  };
  return table;
}

}  // namespace

bool IsIniKey(const std::string& key) { return Handlers().count(key) > 0; }

void ApplyLine(Settings& s, const std::string& line) {
  const size_t colon = line.find(':');
  const std::string key = UpperCase(Trim(line.substr(0, colon)));
  const std::string raw = colon == std::string::npos ? "" : Trim(line.substr(colon + 1));
  const std::string u = UpperCase(raw);
  const auto handler = Handlers().find(key);
  if (handler != Handlers().end()) handler->second(s, Value{raw, u});
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

std::string IniText(const Settings& s, uint16_t reload_port) {
  std::vector<std::string> lines;
  const auto add = [&lines](bool wanted, std::string line) {
    if (wanted) lines.push_back(std::move(line));
  };
  add(!s.NAME.empty(), "Name: " + s.NAME);
  add(!s.HOSTS.empty(), "Hosts: " + s.HOSTS);
  add(true, "HostsTTL:" + NumText(s.HOSTSTTL));
  add(!s.PRIMARYIP.empty(), "PrimaryIP: " + s.PRIMARYIP);
  add(!s.DNSBIND.empty(), "DNSBind: " + s.DNSBIND);
  add(s.STARTMINI, "StartMini: YES");
  add(!s.DNSRECURSION.empty(), "DNSRecursion: " + s.DNSRECURSION);
  add(s.AUTOCNAME, "AutoCNAME: YES");
  add(s.ROUNDROBIN, "RoundRobin: YES");
  add(s.NTSERVICE, "NTService: YES");
  add(true, "ServiceName: " + s.SERVICENAME);
  add(true, "ServiceDesc: " + s.SERVICEDESC);
  add(s.STARTWIN, "StartWin: YES");
  add(s.WRITELOG, "WriteLog: YES");
  add(!s.LOGDETAIL, "LogDetail: NO");
  add(s.LOGINONLY, "LogInOnly: YES");
  add(!s.LOGBLOCK, "LogBlock: NO");
  add(true, "MaxActDNSReq:" + NumText(s.MAXACTDNSREQ));
  add(s.CACHETTL > 0, "CacheTTL:" + NumText(s.CACHETTL));
  add(s.CACHERELOAD, "CacheReload: YES");
  add(s.SPOOFSECURE, "SpoofSecure: YES");
  add(s.MINTIMEOUT > 0, "MinTimeOut:" + NumText(s.MINTIMEOUT));
  add(!s.MASTERDIR.empty(), "MasterDir: " + s.MASTERDIR);
  add(!s.MASTERDIR.empty(), "MasterSync:" + NumText(s.MASTERSYNC));
  add(s.RECURSIONOUT, "RecursionOut: YES");
  for (const auto& ns : s.NS) add(true, "NS: " + ns);
  add(true, "ReloadPort:" + NumText(reload_port));
  add(true, "BombLevel:" + NumText(s.BOMBLEVEL));
  for (const auto& ip : s.NOBLOCK) add(true, "NoBlock: " + ip);
  for (const auto& d : s.DHCP) {
    const std::string gateway = d.Gateway.empty() ? "0.0.0.0" : d.Gateway;
    // The TTL is joined by a blank and then written in the one-blank number
    // form, hence two blanks before it; the reader skips runs of blanks.
    add(true, "DHCP: " + d.IPaddr + " " + d.Domain + " " + d.ScopeFrom + " " + d.ScopeTo + " " + d.Subnet +
                  " " + gateway + " " + NumText(d.TTL));
  }
  for (const auto& a : s.DHCPALIAS) add(true, "DHCPAlias: " + HWToHex(a.ClientID) + " " + a.Name);
  // Settings of this platform are written only when they differ from
  // their defaults.
  const Settings defaults;
  const auto add_changed = [&](const std::string& key, int Settings::*field) {
    add(s.*field != defaults.*field, key + ":" + NumText(s.*field));
  };
  add_changed("OutgoingRange", &Settings::OUTGOINGRANGE);
  add_changed("OutgoingPortFrom", &Settings::OUTGOINGPORTFROM);
  add_changed("OutgoingPortTo", &Settings::OUTGOINGPORTTO);
  add_changed("TCPConnections", &Settings::TCPCONNECTIONS);
  add_changed("TCPPerAddress", &Settings::TCPPERADDRESS);
  add_changed("TCPBuffer", &Settings::TCPBUFFER);
  add_changed("CacheRecords", &Settings::CACHERECORDS);
  add_changed("OutgoingQueries", &Settings::OUTGOINGQUERIES);

  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> LostLines(const std::string& old_text, const std::string& new_text,
                                   const std::string& own_text) {
  const std::vector<std::string> kept = SplitLines(new_text);
  const std::vector<std::string> own = SplitLines(own_text);
  std::vector<std::string> lost;
  for (const auto& line : SplitLines(old_text)) {
    const std::string t = Trim(line);
    if (t.empty() || UpperCase(t).rfind("RELOADPORT:", 0) == 0) continue;
    if (std::find(kept.begin(), kept.end(), t) == kept.end() &&
        std::find(own.begin(), own.end(), t) == own.end()) {
      lost.push_back(t);
    }
  }
  return lost;
}

void LoadINI(Settings& s, const IniContext& ctx) {
  s = Settings{};
  const bool have_local = ctx.local_ips != nullptr && !ctx.local_ips->empty();
  s.PRIMARYIP = have_local ? ctx.local_ips->front() : "127.0.0.1";

  const std::string text = ReadWhole(ctx.path);
  // A bad line (a number out of range) ends the reading there; what was read
  // before it stays in force.
  Trap(*ctx.errors, "modMain LoadINI", [&] {
    for (const auto& line : SplitLines(text)) ApplyLine(s, line);
  });
}

uint16_t ReadReloadPort(const std::string& path) {
  uint16_t port = 0;
  for (const auto& line : SplitLines(ReadWhole(path))) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos || UpperCase(Trim(line.substr(0, colon))) != "RELOADPORT") continue;
    const double value = LeadingNumber(line.substr(colon + 1));
    port = value >= 1 && value <= 65535 ? static_cast<uint16_t>(value) : 0;
  }
  return port;
}

std::vector<std::string> SaveINI(const Settings& s, uint16_t reload_port, const IniContext& ctx,
                                 std::string& written) {
  std::vector<std::string> lost;
  Trap(*ctx.errors, "modMain SaveINI", [&] {
    const std::string old_text = ReadWhole(ctx.path);
    const std::string text = IniText(s, reload_port);
    lost = LostLines(old_text, text, written);
    if (!lost.empty()) WriteFileAtomically(ctx.path + ".bak", old_text);
    WriteFileAtomically(ctx.path, text);
    written = text;
  });
  return lost;
}

}  // namespace vell
