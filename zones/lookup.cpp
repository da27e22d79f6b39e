// The authoritative lookup: zone selection, delegation, then the answer
// from leases, exact records and wildcards, or a name error or no data.
#include <algorithm>
#include <string_view>

#include "core/env.h"
#include "dhcp/lease_records.h"
#include "dns/header.h"
#include "dns/record_data.h"
#include "zones/auth_data.h"

namespace vell {

namespace {

// The most specific zone whose name is a label-aligned suffix of name;
// the root zone only for "." itself.
const clZone* SelectZone(const ZoneList& zones, std::string_view name) {
  if (zones.empty()) return nullptr;
  size_t pos = 0;
  for (;;) {
    const size_t found = zones.Find(name.substr(pos));
    if (found != kNotFound) return zones[found].get();
    const size_t dot = name.find('.', pos);
    if (dot == std::string_view::npos || dot == 0) return nullptr;
    pos = dot + 1;
  }
}

class Lookup {
 public:
  Lookup(Env& env, const LeaseTable& leases, const clZone& zone, const std::string& name, int32_t type,
         clDNSAnswer& answer)
      : env_(env),
        leases_(leases),
        zone_(zone),
        records_(zone.Records),
        name_(name),
        type_(type),
        answer_(answer) {}

  void Run(Recursion RDFlag, LookupKind Quickie) {
    if (Delegated()) return;
    answer_.AA = true;
    PublishLeases(leases_, env_.clock, env_.errors, name_, type_, answer_);  // live leases answer first
    const bool exists = AddExact();
    if (!answer_.Section2.empty()) return;
    if (!exists) {
      const Wildcard wildcard = zone_.HasWildcards ? AddWildcards() : Wildcard::kNone;
      if (wildcard == Wildcard::kAnswered) return;
      if (wildcard == Wildcard::kNone && !zone_.HasNamesBelow(name_)) {
        answer_.RCode = header::kRCodeNameError;
        if (RDFlag == Recursion::kDesired || Quickie == LookupKind::kQuick) return;
      }
    }
    AddSoa();
  }

 private:
  enum class Wildcard { kAnswered, kExists, kNone };

  // NS records at the name or at any name between it and the apex make a
  // referral, unless they name a server inside the child with no address.
  bool Delegated() {
    std::string_view s = name_;
    while (s.size() > zone_.Name.size()) {
      for (size_t i = zone_.FindRec(s); records_.NameAt(i, s); ++i) {
        if (records_[i]->RecType == kTypeNS) AddDelegation(records_[i], s);
      }
      if (!answer_.Section3.empty()) return true;
      const size_t dot = s.find('.');
      if (dot == std::string_view::npos) break;
      s.remove_prefix(dot + 1);
    }
    return false;
  }

  void AddDelegation(const RecordPtr& ns, std::string_view child) {
    const size_t glue = AddAddresses(ns->Data);
    const bool inside = std::string_view(ns->Data).ends_with(child);
    if (!inside || glue > 0) answer_.Section3.push_back(ns);
  }

  // The zone's address records at name go to the additional section;
  // nothing outside the zone is consulted.
  size_t AddAddresses(std::string_view name) {
    size_t count = 0;
    for (size_t i = zone_.FindRec(name); records_.NameAt(i, name); ++i) {
      if (!IsAddressType(records_[i]->RecType)) continue;
      answer_.Section4.push_back(records_[i]);
      ++count;
    }
    return count;
  }

  RecordPtr Synthesise(int32_t type, const std::string& data, int32_t ttl) const {
    return MakeRecord(env_.clock, Lifetime::kPermanent, name_, type, data, ttl);
  }

  // A CNAME answers every type; following it is the caller's business.
  bool Matches(const clDNSRecord& rec) const {
    return rec.RecType == type_ || type_ == kTypeANY || rec.RecType == kTypeCNAME;
  }

  void AddAnswer(const RecordPtr& rec) {
    const std::string& data = rec->Data;
    answer_.Section2.push_back(rec);
    if (type_ == kTypeMX || type_ == kTypeSRV) AddAddresses(NameAfterNumbers(type_, data));
  }

  // Whether the name has records of any type.
  bool AddExact() {
    bool exists = false;
    for (size_t i = zone_.FindRec(name_); records_.NameAt(i, name_); ++i) {
      exists = true;
      if (Matches(*records_[i])) AddAnswer(records_[i]);
    }
    return exists;
  }

  // Tries "*." under every ancestor of the name down to the apex, closest
  // first; a closer name that exists does not stop the search.
  Wildcard AddWildcards() {
    const size_t first_dot = name_.find('.');
    if (name_ == "." || first_dot == std::string::npos) return Wildcard::kNone;
    std::string w = "*" + name_.substr(first_dot);
    while (w.size() >= zone_.Name.size()) {
      bool exists = false;
      for (size_t i = zone_.FindRec(w); records_.NameAt(i, w); ++i) {
        exists = true;
        const clDNSRecord& rec = *records_[i];
        if (Matches(rec)) AddAnswer(Synthesise(rec.RecType, rec.Data, rec.mTTL));
      }
      if (!answer_.Section2.empty()) return Wildcard::kAnswered;
      if (exists) return Wildcard::kExists;
      const size_t next_dot = w.find('.', 2);  // none after "*."
      if (next_dot == std::string::npos) break;
      w.erase(1, next_dot - 1);
    }
    return Wildcard::kNone;
  }

  // An empty non-terminal exists (RFC 8020: a name error would tell
  // resolvers that nothing exists below it). The records are sorted by
  // name as text, so names below this one are spread out: a scan, paid
  // only for names that would otherwise not exist.
  void AddSoa() {
    for (size_t i = zone_.FindRec(zone_.Name); records_.NameAt(i, zone_.Name); ++i) {
      if (records_[i]->RecType == kTypeSOA) {
        answer_.Section3.push_back(records_[i]);
        return;
      }
    }
  }

  Env& env_;
  const LeaseTable& leases_;
  const clZone& zone_;
  const SortedRecords& records_;
  const std::string& name_;
  const int32_t type_;
  clDNSAnswer& answer_;
};

}  // namespace

bool clDNSAuthData::Serves(std::string_view name) const {
  return SelectZone(zones_, name) != nullptr ||
         LeaseHolds(leases_, env_.clock, env_.errors, std::string(name));
}

std::shared_ptr<clDNSAnswer> clDNSAuthData::Ask(const std::string& ReqName, int32_t ReqType, Recursion RDFlag,
                                                LookupKind Quickie) {
  auto answer = std::make_shared<clDNSAnswer>();
  Trap(env_.errors, "clDNSAuthData Ask", [&] {
    if (const clZone* zone = SelectZone(zones_, ReqName)) {
      Lookup(env_, leases_, *zone, ReqName, ReqType, *answer).Run(RDFlag, Quickie);
    }
  });
  return answer;
}

}  // namespace vell
