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
  // Recursion for this machine only until the operator opens it: a new
  // server must not be an open resolver, usable for amplification.
  std::string DNSRECURSION = "<none>";
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
  // The sockets outgoing queries leave from, and the range their ports are
  // drawn from: Unbound's outgoing-range and outgoing-port-permit. Each
  // socket holds a descriptor for the whole run, hence fewer than Unbound's
  // 1024, which opens its sockets per query.
  int OUTGOINGRANGE = 256;
  int OUTGOINGPORTFROM = 1024;
  int OUTGOINGPORTTO = 65535;
  // Resource bounds, so that no client can exhaust memory or descriptors:
  // TCP connections in all (BIND's tcp-clients) and from one address, the
  // octets a TCP connection may have waiting to be sent, the cache's
  // records, and the queries open to other servers at once.
  int TCPCONNECTIONS = 150;
  int TCPPERADDRESS = 10;
  int TCPBUFFER = 65536;
  int CACHERECORDS = 200000;
  int OUTGOINGQUERIES = 1024;
  bool operator==(const Settings&) const = default;
};

}  // namespace vell
