// The words the log and the operator's windows use for DNS numbers and
// records. Nothing here takes part in answering a query.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/error_report.h"
#include "dns/record.h"

namespace vell {

// Builds the type mnemonic table now, so that the first query does not.
void InitTypeNames();
// Mnemonic of types 1..255 ("A", "AXFR", "*"); "?n?" for any other number.
std::string TypeN(int32_t type);
// Sentence for a response code; "Unknown error." beyond 10. A failure is
// reported as "modDNS RCodeN" with an empty result.
std::string RCodeN(ErrorSink& sink, int16_t rcode);
std::string OpCodeN(int opcode);
std::string ClassN(int32_t dns_class);

// "<type>-record for <name>", plus the main data for A, NS, CNAME, PTR,
// SOA, MX, TXT and SRV.
std::string RecText(const clDNSRecord& record);
// TXT data as its strings joined by ", ", octets outside 32..126 dropped.
std::string TxtText(const std::string& data);

// "Question", "Answer", "Authority", "Additional" for sections 1..4;
// std::out_of_range for any other number.
std::string_view SectionNames(int section);

}  // namespace vell
