#include "dns/record.h"

#include "core/error_report.h"

namespace vell {

void clDNSRecord::SetTTL(const Clock& clock, int32_t v) {
  mTTL = v;
  mTimeOut = clock.Now() + (Permanent ? kPermanentDays : Seconds(v));
}

int32_t clDNSRecord::TTL(const Clock& clock) const {
  if (Permanent) return mTTL;
  return CheckedInt32((mTimeOut - clock.Now()) * kSecondsPerDay);
}

}  // namespace vell
