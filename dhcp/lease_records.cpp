#include "dhcp/lease_records.h"

#include <algorithm>
#include <memory>

#include "core/ip.h"
#include "dns/record_data.h"

namespace vell {

namespace {

void AppendLeaseRecord(const Clock& clock, const std::string& name, int16_t type, std::string data,
                       clDNSAnswer& answer) {
  answer.Section2.push_back(MakeRecord(clock, Lifetime::kPermanent, name, type, std::move(data), 0));
}

bool AnyLive(const std::vector<LeaseTable::Ref>& refs, DateTime now) {
  return std::any_of(refs.begin(), refs.end(),
                     [&](LeaseTable::Ref ref) { return LeaseTable::Of(ref).Expires > now; });
}

}  // namespace

void PublishLeases(const LeaseTable& leases, const Clock& clock, ErrorSink& errors,
                   const std::string& ReqName, int16_t ReqType, clDNSAnswer& answer) {
  if (leases.empty()) return;
  const DateTime now = clock.Now();
  if (ReqType == kTypeA || ReqType == kTypeANY) {
    for (LeaseTable::Ref ref : leases.OfName(ReqName)) {
      const clLease& lease = LeaseTable::Of(ref);
      if (lease.Expires > now) AppendLeaseRecord(clock, ReqName, kTypeA, IPToData(lease.IPaddr), answer);
    }
  }
  if (ReqType == kTypePTR || ReqType == kTypeANY) {
    for (LeaseTable::Ref ref : leases.OfAddress(ArpaToIP(errors, ReqName))) {
      const clLease& lease = LeaseTable::Of(ref);
      if (lease.Expires > now) AppendLeaseRecord(clock, ReqName, kTypePTR, lease.ClientName, answer);
    }
  }
}

bool LeaseHolds(const LeaseTable& leases, const Clock& clock, ErrorSink& errors, const std::string& name) {
  if (leases.empty()) return false;
  const DateTime now = clock.Now();
  return AnyLive(leases.OfName(name), now) || AnyLive(leases.OfAddress(ArpaToIP(errors, name)), now);
}

}  // namespace vell
