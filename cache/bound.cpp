// The bound on the cache's size: when full, the learnt records closest to
// expiry make room; permanent records (root hints, hosts file) never go.
#include <algorithm>
#include <string>
#include <vector>

#include "cache/cache.h"

namespace vell {

void clDNSCache::Bound() {
  const auto limit = static_cast<size_t>(std::max(1, env_.settings.CACHERECORDS));
  if (records_.size() <= limit) return;
  std::vector<DateTime> timeouts;
  for (const RecordPtr& record : records_.items()) {
    if (!record->Permanent) timeouts.push_back(record->mTimeOut);
  }
  const size_t keep = limit - limit / 10;
  const size_t excess = std::min(records_.size() - keep, timeouts.size());
  if (excess == 0) return;
  std::nth_element(timeouts.begin(), timeouts.begin() + static_cast<std::ptrdiff_t>(excess - 1),
                   timeouts.end());
  const DateTime last_to_go = timeouts[excess - 1];
  records_.EraseIf(
      [&](const RecordPtr& record) { return !record->Permanent && record->mTimeOut <= last_to_go; });
  full_.Hit(std::to_string(limit) + " cache records; those closest to expiry removed");
}

}  // namespace vell
