// The wire form of a stored record's data, shared by replies and zone
// transfers.
#pragma once

#include <string>
#include <string_view>

#include "core/error_report.h"
#include "dns/record.h"

namespace vell {

// The RDATA of record, its names compressed against message as it stands.
std::string WireRData(ErrorSink& sink, std::string_view message, const clDNSRecord& record);

}  // namespace vell
