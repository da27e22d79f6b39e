// Live DHCP leases published as DNS records: the authoritative lookup and
// the cache lookup both start their answers with them.
#pragma once

#include <cstdint>
#include <string>

#include "core/clock.h"
#include "core/error_report.h"
#include "dhcp/lease_table.h"
#include "dns/answer.h"

namespace vell {

// Appends to Section2 an A record for every live lease of the host ReqName
// (types 1 and 255) and a PTR record for every live lease of the address
// whose reverse name is ReqName (types 12 and 255). The records are made
// for this answer only and never age.
void PublishLeases(const LeaseTable& leases, const Clock& clock, ErrorSink& errors,
                   const std::string& ReqName, int16_t ReqType, clDNSAnswer& answer);

// True when a live lease has the name, or the address whose reverse name it is.
bool LeaseHolds(const LeaseTable& leases, const Clock& clock, ErrorSink& errors, const std::string& name);

}  // namespace vell
