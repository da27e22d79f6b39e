#include "zones/zone_check.h"

#include "core/error_report.h"
#include "zones/zone.h"
#include "zones/zone_file.h"

namespace vell {

ZoneCheck CheckZoneFile(std::istream& in, const std::string& zone_name, const Clock& clock) {
  ZoneCheck check;
  clZone zone;
  zone.Name = zone_name;
  const LineNote note = [&](int line, const std::string& read, const std::string& effect) {
    check.findings.push_back({line, read, effect});
  };
  RecordingErrorSink sink;
  try {
    ReadZoneFile(in, zone, clock, sink, note);
  } catch (...) {
    // The loader gives up on the whole zone at the first value that does not fit.
    check.findings.push_back({0, "", "the zone is not loaded"});
    return check;
  }
  if (!FindSoa(zone, zone_name)) {
    check.findings.push_back({0, "",
                              "no SOA record for " + zone_name +
                                  ": negative answers carry none and the zone cannot be transferred"});
  }
  check.records = zone.Records.size();
  check.serial = zone.SOASerial;
  return check;
}

}  // namespace vell
