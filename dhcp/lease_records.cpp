#include "dhcp/lease_records.h"

#include <memory>

#include "core/context.h"
#include "dns/ip.h"
#include "dns/record_data.h"

namespace vell {

namespace {

constexpr int16_t kTypeAny = 255;

void AppendLeaseRecord(Context& ctx, const std::string& name, int16_t type, std::string data,
                       clDNSAnswer& answer) {
  answer.Section2.push_back(MakeRecord(ctx.clock, Lifetime::kPermanent, name, type, std::move(data), 0));
}

}  // namespace

void PublishLeases(Context& ctx, const std::string& ReqName, int16_t ReqType, clDNSAnswer& answer) {
  if (ctx.Leases.empty()) return;
  const DateTime now = ctx.Now();
  if (ReqType == kTypeA || ReqType == kTypeAny) {
    for (const clLease& lease : ctx.Leases) {
      if (lease.Expires > now && lease.ClientName == ReqName) {
        AppendLeaseRecord(ctx, ReqName, kTypeA, IPToData(lease.IPaddr), answer);
      }
    }
  }
  if (ReqType == kTypePTR || ReqType == kTypeAny) {
    const std::string address = ArpaToIP(ctx.errors, ReqName);
    for (const clLease& lease : ctx.Leases) {
      if (lease.Expires > now && lease.IPaddr == address) {
        AppendLeaseRecord(ctx, ReqName, kTypePTR, lease.ClientName, answer);
      }
    }
  }
}

}  // namespace vell
