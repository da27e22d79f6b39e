// Answers from the cache: live leases, the records at the name, negative
// entries, and the closest cached name servers as a referral.
#include <memory>

#include "cache/cache.h"
#include "core/env.h"
#include "dhcp/lease_records.h"
#include "dns/header.h"
#include "dns/record_data.h"

namespace vell {

namespace {

// A record is valid up to and including its time-out moment.
bool Valid(const clDNSRecord& record, DateTime now) { return record.mTimeOut >= now; }

}  // namespace

std::shared_ptr<clDNSAnswer> clDNSCache::Ask(const std::string& ReqName, int32_t ReqType, Recursion RDFlag,
                                             LookupKind Quickie) {
  auto answer = std::make_shared<clDNSAnswer>();
  Trap(env_.errors, "clDNSCache Ask", [&] {
    PublishLeases(leases_, env_.clock, env_.errors, ReqName, ReqType, *answer);
    if (AnswerFromName(*answer, ReqName, ReqType, RDFlag, Quickie)) return;
    if (Quickie == LookupKind::kQuick) return;
    if (RDFlag == Recursion::kDesired && !answer->Section2.empty()) return;
    AddReferral(*answer, ReqName);
  });
  return answer;
}

bool clDNSCache::AnswerFromName(clDNSAnswer& answer, const std::string& ReqName, int32_t ReqType,
                                Recursion RDFlag, LookupKind Quickie) {
  const DateTime now = env_.Now();
  for (size_t i = records_.Find(ReqName); records_.NameAt(i, ReqName); ++i) {
    const RecordPtr& record = records_[i];
    if (!Valid(*record, now)) continue;  // expired: left for the sweep
    const int type = record->RecType;
    if (type < kNegativeType && ReqType == kTypeANY) {
      answer.Section2.push_back(record);
    } else if (type == ReqType) {
      answer.Section2.push_back(record);
      if (ReqType == kTypeMX || ReqType == kTypeSRV) {
        AddAddl(answer, std::string(NameAfterNumbers(ReqType, record->Data)));
      }
    } else if (type == kTypeCNAME) {
      answer.Section2.push_back(record);
      return false;
    } else if (type == ReqType + kNegativeType || type == kNameErrorType) {
      if (AnswerNegative(answer, *record, RDFlag, Quickie)) return true;
    }
  }
  return false;
}

// A negative entry only counts while the SOA that proved it is still
// cached; without it the entry is passed over.
bool clDNSCache::AnswerNegative(clDNSAnswer& answer, const clDNSRecord& entry, Recursion RDFlag,
                                LookupKind Quickie) {
  if (Quickie == LookupKind::kQuick) {
    answer.RCode = header::kRCodeNameError;
    return true;
  }
  if (entry.RecType == kNameErrorType) {
    answer.RCode = header::kRCodeNameError;
    if (RDFlag == Recursion::kDesired) return true;
  }
  if (const RecordPtr* soa = FindValid(entry.Data, kTypeSOA)) {
    answer.AA = true;
    answer.Section3.push_back(*soa);
    return true;
  }
  answer.RCode = header::kRCodeNoError;
  return false;
}

// The closest enclosing name with cached name servers, the root last.
void clDNSCache::AddReferral(clDNSAnswer& answer, const std::string& ReqName) {
  const DateTime now = env_.Now();
  std::string name = ReqName;
  for (;;) {
    bool found = false;
    for (size_t i = records_.Find(name); records_.NameAt(i, name); ++i) {
      const RecordPtr& record = records_[i];
      if (record->RecType != kTypeNS || !Valid(*record, now)) continue;
      answer.Section3.push_back(record);
      AddAddl(answer, record->Data);
      found = true;
    }
    if (found || name.size() <= 1) return;
    const size_t dot = name.find('.');
    name.erase(0, dot == std::string::npos ? std::string::npos : dot + 1);
    if (name.empty()) name.push_back('.');  // the root
  }
}

const RecordPtr* clDNSCache::FindValid(const std::string& name, int32_t type) const {
  const DateTime now = env_.Now();
  for (size_t i = records_.Find(name); records_.NameAt(i, name); ++i) {
    const RecordPtr& record = records_[i];
    if (record->RecType == type && Valid(*record, now)) return &record;
  }
  return nullptr;
}

// Every address record at name, whatever its age.
void clDNSCache::AddAddl(clDNSAnswer& answer, const std::string& name) {
  Trap(env_.errors, "clDNSCache AddAddl", [&] {
    for (size_t i = records_.Find(name); records_.NameAt(i, name); ++i) {
      if (IsAddressType(records_[i]->RecType)) answer.Section4.push_back(records_[i]);
    }
  });
}

}  // namespace vell
