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

RecordPtr MakeRecordWithoutTTL(Lifetime lifetime, std::string name, int32_t type, std::string data) {
  auto record = std::make_shared<clDNSRecord>();
  record->Permanent = lifetime == Lifetime::kPermanent;
  record->Name = std::move(name);
  record->RecType = type;
  record->Data = std::move(data);
  return record;
}

RecordPtr MakeRecord(const Clock& clock, Lifetime lifetime, std::string name, int32_t type, std::string data,
                     int32_t ttl) {
  RecordPtr record = MakeRecordWithoutTTL(lifetime, std::move(name), type, std::move(data));
  record->SetTTL(clock, ttl);
  return record;
}

}  // namespace vell
