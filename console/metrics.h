// /metrics: the server's counters in the Prometheus text format.
#pragma once

#include <cstddef>
#include <string>

namespace vell {

struct MetricValues {
  double requests = 0;  // RequestCount: DNS requests and DHCP messages
  bool running = false;
  long cache_records = 0;
  size_t leases = 0;       // lease table entries
  size_t live_leases = 0;  // of which not expired
  size_t blocked = 0;      // block list entries
};

std::string MetricsText(const MetricValues& v);

}  // namespace vell
