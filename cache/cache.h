// The cache: records learnt from other servers, negative answers, and the
// permanent records (root hints, hosts file, loopback names).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dns/answer.h"
#include "dns/record_list.h"

namespace vell {

struct Context;

// Negative entries: the name exists but lacks type T (kNegativeType + T),
// or the name does not exist (kNameErrorType).
constexpr int16_t kNegativeType = 1000;
constexpr int16_t kNameErrorType = 2000;

class clDNSCache {
 public:
  explicit clDNSCache(Context& ctx) : ctx_(ctx) {}

  std::shared_ptr<clDNSAnswer> Ask(const std::string& ReqName, int16_t ReqType, bool RDFlag, bool Quickie);
  void CacheAdd(clDNSAnswer& answer);
  // One step of the expiry sweep (called every second).
  void Purge();
  long Count() const { return static_cast<long>(records_.size()); }
  void ClearCache();
  void RemoveNS(const std::string& name, const std::string& data);
  void AddAddl(clDNSAnswer& answer, const std::string& name);

  const SortedRecords& Records() const { return records_; }
  // Inserts a record at its sorted place (the cache files load through it).
  void AddRec(RecordPtr record);

 private:
  bool CRemRec(const std::string& name, int16_t type);

  Context& ctx_;
  SortedRecords records_;
  size_t purge_cursor_ = 0;  // 1-based position of the next record to examine; 0 = start over
};

}  // namespace vell
