// One line of a zone file, already freed of comments and continuations,
// turned into a record.
#pragma once

#include <cstdint>
#include <string>

#include "core/clock.h"
#include "core/error_report.h"
#include "dns/record.h"
#include "zones/zone.h"

namespace vell {

// What one line leaves to the next.
struct ZoneLineState {
  std::string owner;        // the owner most recently named; empty until one is
  int32_t default_ttl = 0;  // the minimum of the last SOA line
};

// The record the line describes, or nullptr when it describes none. An SOA
// line also sets the zone's SOA fields; an owner starting with "*" sets
// HasWildcards. A TTL or number that does not fit 32 bits throws.
RecordPtr ParseZoneLine(std::string line, clZone& zone, ZoneLineState& state, const Clock& clock,
                        ErrorSink& sink);

}  // namespace vell
