#include "dhcp/lease_records.h"

#include <memory>

#include "core/ip.h"
#include "dns/record_data.h"

namespace vell {

namespace {

void AppendLeaseRecord(const Clock& clock, const std::string& name, int16_t type, std::string data,
                       clDNSAnswer& answer) {
  answer.Section2.push_back(MakeRecord(clock, Lifetime::kPermanent, name, type, std::move(data), 0));
}

}  // namespace

void PublishLeases(const std::vector<clLease>& leases, const Clock& clock, ErrorSink& errors,
                   const std::string& ReqName, int16_t ReqType, clDNSAnswer& answer) {
  if (leases.empty()) return;
  const DateTime now = clock.Now();
  if (ReqType == kTypeA || ReqType == kTypeANY) {
    for (const clLease& lease : leases) {
      if (lease.Expires > now && lease.ClientName == ReqName) {
        AppendLeaseRecord(clock, ReqName, kTypeA, IPToData(lease.IPaddr), answer);
      }
    }
  }
  if (ReqType == kTypePTR || ReqType == kTypeANY) {
    const std::string address = ArpaToIP(errors, ReqName);
    for (const clLease& lease : leases) {
      if (lease.Expires > now && lease.IPaddr == address) {
        AppendLeaseRecord(clock, ReqName, kTypePTR, lease.ClientName, answer);
      }
    }
  }
}

}  // namespace vell
