// Every setting of the server, named after its key in vellion.ini.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "core/config/dhcp_config.h"

namespace vell {

// DNSRECURSION beyond "<all>": "<none>", or a plain text prefix of the
// client address that ends at its first "*" ("192.168.*"); an empty pattern
// admits everyone.
inline bool RecursionPrefixAdmits(const std::string& pattern, const std::string& ip) {
  if (pattern == "<none>") return false;
  const size_t p = std::min(pattern.find('*'), pattern.size());
  return ip.substr(0, p) == pattern.substr(0, p);
}

struct Settings {
  std::string NAME;
  bool STARTMINI = false;
  bool STARTWIN = false;
  std::string HOSTS;
  int HOSTSTTL = 3600;
  std::string MASTERDIR;
  short MASTERSYNC = 1;
  short MAXACTDNSREQ = 100;
  short BOMBLEVEL = 0;
  int MINTIMEOUT = 0;
  std::string PRIMARYIP;
  std::string DNSBIND;
  std::string DNSRECURSION = "<all>";
  bool AUTOCNAME = false;
  bool ROUNDROBIN = false;
  bool NTSERVICE = false;
  std::string SERVICENAME = "vellion";
  std::string SERVICEDESC = "Vellion";
  bool WRITELOG = false;
  bool LOGDETAIL = true;
  bool LOGINONLY = false;
  bool LOGBLOCK = true;
  bool RECURSIONOUT = false;
  std::vector<std::string> NS;
  bool SPOOFSECURE = false;
  int CACHETTL = 0;
  bool CACHERELOAD = false;
  std::vector<std::string> NOBLOCK;
  std::vector<clDHCPif> DHCP;
  std::vector<clDHCPAlias> DHCPALIAS;
  bool operator==(const Settings&) const = default;
};

}  // namespace vell
