#include "console/metrics.h"

#include <cstdio>

namespace vell {

namespace {

void Metric(std::string& out, const char* name, const char* type, const char* help, double value) {
  char number[32];
  std::snprintf(number, sizeof number, "%.0f", value);
  out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n" + name + " " +
         number + "\n";
}

}  // namespace

std::string MetricsText(const MetricValues& v) {
  std::string out;
  Metric(out, "vellion_requests_total", "counter", "DNS requests and DHCP messages received.", v.requests);
  Metric(out, "vellion_server_running", "gauge", "1 while the server answers, 0 while paused.",
         v.running ? 1 : 0);
  Metric(out, "vellion_cache_records", "gauge", "Records in the cache.",
         static_cast<double>(v.cache_records));
  Metric(out, "vellion_dhcp_leases", "gauge", "Entries in the DHCP lease table.",
         static_cast<double>(v.leases));
  Metric(out, "vellion_dhcp_leases_live", "gauge", "DHCP leases not yet expired.",
         static_cast<double>(v.live_leases));
  Metric(out, "vellion_blocked_addresses", "gauge", "Addresses on the block list.",
         static_cast<double>(v.blocked));
  return out;
}

}  // namespace vell
