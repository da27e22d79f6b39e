// The cache: records learnt from other servers, negative answers, and the
// permanent records (root hints, hosts file, loopback names).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/env.h"
#include "core/limit_notice.h"
#include "dhcp/lease_table.h"
#include "dns/answer.h"
#include "dns/record_list.h"

namespace vell {

// Negative entries: the name exists but lacks type T (kNegativeType + T),
// or the name does not exist (kNameErrorType).
constexpr int32_t kNegativeType = 0x10000;
constexpr int32_t kNameErrorType = 0x20000;

// The saved cache in the program directory.
constexpr char kCacheFileName[] = "named.cache";

class clDNSCache {
 public:
  clDNSCache(Env& env, const LeaseTable& leases) : env_(env), leases_(leases) {}

  std::shared_ptr<clDNSAnswer> Ask(const std::string& ReqName, int32_t ReqType, Recursion RDFlag,
                                   LookupKind Quickie);
  void CacheAdd(clDNSAnswer& answer);
  // Rebuilds the permanent records: root hints (unless the root zone is held
  // here), the hosts file, and the loopback names.
  void LoadPerm(bool root_zone_held);
  // Writes snapshot.dat (every record and the live leases, for viewing)
  // when SnapShot is true, else named.cache (the learnt records).
  void SaveCache(bool SnapShot);
  // One step of the expiry sweep (called every second).
  void Purge();
  long Count() const { return static_cast<long>(records_.size()); }
  // Reloads named.cache as written by SaveCache, aged by the file's age.
  void LoadCache();
  void ClearCache();
  void RemoveNS(const std::string& name, const std::string& data);
  void AddAddl(clDNSAnswer& answer, const std::string& name);

  const SortedRecords& Records() const { return records_; }
  // Inserts a record at its sorted place (the cache files load through it).
  void AddRec(RecordPtr record);

 private:
  // Lookup steps (lookup.cpp). The first two return true when the answer is final.
  bool AnswerFromName(clDNSAnswer& answer, const std::string& ReqName, int32_t ReqType, Recursion RDFlag,
                      LookupKind Quickie);
  bool AnswerNegative(clDNSAnswer& answer, const clDNSRecord& entry, Recursion RDFlag, LookupKind Quickie);
  void AddReferral(clDNSAnswer& answer, const std::string& ReqName);
  // The first record of that name and type whose time-out has not passed.
  const RecordPtr* FindValid(const std::string& name, int32_t type) const;

  // Storing steps (store.cpp).
  void StoreNegative(const clDNSAnswer& answer);
  void StorePositive(clDNSAnswer& answer);
  void StoreNameGroup(const clDNSAnswer& answer, int first, std::vector<bool>& marked);
  void StoreTypeGroup(const clDNSAnswer& answer, int first, size_t pos, std::vector<bool>& marked);
  // Makes room for a negative entry or SOA and stores it unless it is spent.
  void StoreReplacing(const RecordPtr& record);
  void RaiseToMinimumTTL(clDNSRecord& record) const;
  // Clears the way for new data of that type at name; false when permanent
  // data is in the way.
  bool CRemRec(const std::string& name, int32_t type);

  // Over CACHERECORDS, the learnt records closest to expiry go, down to
  // nine tenths of the bound so that the next ones need no sweep (bound.cpp).
  void Bound();
  // Reads a record file (record_file.cpp); false when it cannot be opened
  // or, for learnt records, its age cannot be told.
  bool LoadFile(const std::string& path, bool permanent);

  Env& env_;
  // Live DHCP leases answer before any stored record.
  const LeaseTable& leases_;
  SortedRecords records_;
  size_t purge_cursor_ = 0;
  LimitNotice full_{env_.clock, env_.log};  // 1-based position of the next record to examine; 0 = start over
};

}  // namespace vell
