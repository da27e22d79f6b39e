// Storing what a response teaches: negative entries proved by a lone SOA,
// and the response's records grouped by name and type, each group replacing
// what the cache held for it.
#include <memory>

#include "cache/cache.h"
#include "core/env.h"
#include "dns/header.h"
#include "dns/record_data.h"

namespace vell {

void clDNSCache::CacheAdd(clDNSAnswer& answer) {
  Trap(env_.errors, "clDNSCache CacheAdd", [&] {
    if (answer.TC) return;  // a truncated response is incomplete: learn nothing from it
    if (answer.Section2.empty() || answer.RCode == header::kRCodeNameError) {
      if (answer.Section3.size() == 1 && answer.Section3[0]->RecType == kTypeSOA) {
        StoreNegative(answer);
        return;
      }
      if (answer.RCode == header::kRCodeNameError) return;
    }
    StorePositive(answer);
  });
  Bound();
}

void clDNSCache::StoreNegative(const clDNSAnswer& answer) {
  const RecordPtr& soa = answer.Section3[0];
  if (!answer.RqName.empty()) {
    const int32_t type =
        answer.RCode == header::kRCodeNameError ? kNameErrorType : answer.RqType + kNegativeType;
    StoreReplacing(MakeRecord(env_.clock, Lifetime::kLearnt, answer.RqName, type, soa->Name,
                              ReadSoaData(soa->Data).minimum));
  }
  StoreReplacing(soa);
}

void clDNSCache::StoreReplacing(const RecordPtr& record) {
  if (!CRemRec(record->Name, record->RecType)) return;
  if (record->TTL(env_.clock) <= 0) return;
  RaiseToMinimumTTL(*record);
  AddRec(record);
}

void clDNSCache::StorePositive(clDNSAnswer& answer) {
  answer.CInit();
  // One mark per record, indexed like CRecord (1..S4C).
  std::vector<bool> marked(static_cast<size_t>(answer.S4C) + 1, false);
  for (int i = 1; i <= answer.S4C; ++i) {
    if (!marked[i]) StoreNameGroup(answer, i, marked);
  }
}

// Every record of the response with the name of record `first`, one type
// at a time. They all go to one position, before the older records of the
// name, so they read back in reverse order of arrival.
void clDNSCache::StoreNameGroup(const clDNSAnswer& answer, int first, std::vector<bool>& marked) {
  const std::string& name = answer.CRecord(static_cast<int16_t>(first))->Name;
  const size_t pos = records_.CountBefore(name);
  for (int j = first; j <= answer.S4C; ++j) {
    if (!marked[j] && answer.CRecord(static_cast<int16_t>(j))->Name == name) {
      StoreTypeGroup(answer, j, pos, marked);
    }
  }
}

void clDNSCache::StoreTypeGroup(const clDNSAnswer& answer, int first, size_t pos, std::vector<bool>& marked) {
  const RecordPtr& head = answer.CRecord(static_cast<int16_t>(first));
  const bool ok = CRemRec(head->Name, head->RecType);
  const DateTime now = env_.Now();
  // "Data# Data# " of the records taken so far. The duplicate test is a text
  // search, so data that is a suffix of an earlier record's data counts too.
  std::string accepted;
  for (int k = first; k <= answer.S4C; ++k) {
    const RecordPtr& record = answer.CRecord(static_cast<int16_t>(k));
    if (marked[k] || record->RecType != head->RecType || record->Name != head->Name) continue;
    marked[k] = true;
    if (!ok || record->mTimeOut <= now) continue;
    std::string key = record->Data + "#";
    if (accepted.find(key) != std::string::npos) continue;
    accepted += key + " ";
    RaiseToMinimumTTL(*record);
    records_.InsertAt(pos, record);
  }
}

void clDNSCache::RaiseToMinimumTTL(clDNSRecord& record) const {
  const int minimum = env_.settings.CACHETTL;
  if (record.TTL(env_.clock) < minimum) record.SetTTL(env_.clock, minimum);
}

// A type-negative entry (kNegativeType + T) makes room like type T; a name
// error (kNameErrorType) clears everything learnt at the name.
bool clDNSCache::CRemRec(const std::string& name, int32_t type) {
  return TrapOr(env_.errors, "clDNSCache CRemRec", false, [&] {
    const int t = type > kNegativeType && type < kNameErrorType ? type - kNegativeType : type;
    size_t i = records_.Find(name);
    while (records_.NameAt(i, name)) {
      const clDNSRecord& record = *records_[i];
      const bool matches = record.RecType == t || record.RecType == t + kNegativeType ||
                           record.RecType == kNameErrorType || t == kNameErrorType;
      if (!matches) {
        ++i;
      } else if (record.Permanent) {
        return false;
      } else {
        records_.erase(i);
      }
    }
    return true;
  });
}

void clDNSCache::AddRec(RecordPtr record) {
  Trap(env_.errors, "clDNSCache AddRec", [&] { records_.Insert(std::move(record)); });
}

}  // namespace vell
