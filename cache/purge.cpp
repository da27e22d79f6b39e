// Removing records: the expiry sweep, clearing the learnt cache, and
// forgetting a name server.
#include "cache/cache.h"
#include "core/env.h"
#include "dns/record_data.h"

namespace vell {

namespace {

// Called every second, a slice of this size visits the whole list about
// once an hour whatever its size.
constexpr size_t kRecordsPerSliceStep = 3600;

}  // namespace

void clDNSCache::Purge() {
  const size_t count = records_.size();
  if (count == 0) return;
  const DateTime now = env_.Now();
  for (size_t left = count / kRecordsPerSliceStep + 1; left > 0; --left) {
    if (purge_cursor_ == 0 || purge_cursor_ > records_.size()) purge_cursor_ = 1;
    const size_t index = purge_cursor_ - 1;
    if (records_[index]->mTimeOut < now) {
      records_.erase(index);  // the cursor now points at the next record
    } else {
      ++purge_cursor_;
    }
  }
}

void clDNSCache::ClearCache() {
  records_.EraseIf([](const RecordPtr& record) { return !record->Permanent; });
}

void clDNSCache::RemoveNS(const std::string& name, const std::string& data) {
  size_t i = records_.Find(name);
  while (records_.NameAt(i, name)) {
    const clDNSRecord& record = *records_[i];
    if (record.RecType == kTypeNS && !record.Permanent && record.Data == data) {
      records_.erase(i);
    } else {
      ++i;
    }
  }
}

}  // namespace vell
