// Reading a zone file: the records, and the settings its control comments
// carry ("; PRIMARYIP", "; NOTIFY", "; NOTSECURE").
#pragma once

#include <istream>

#include "core/clock.h"
#include "core/error_report.h"
#include "dns/record_lines.h"
#include "zones/zone.h"

namespace vell {

// Adds the records of in to zone, whose Name is the origin. A value out of
// range throws; the zone then holds nothing new. note hears of every line
// read otherwise than written.
void ReadZoneFile(std::istream& in, clZone& zone, const Clock& clock, ErrorSink& sink,
                  const LineNote& note = {});

}  // namespace vell
