// Loading every zone file of the data directory, with the expiry that
// secondary zones carried over from the last run (zonettl.dat).
#include <fstream>
#include <vector>

#include "core/env.h"
#include "core/platform/file_time.h"
#include "core/text.h"
#include "dns/record_lines.h"
#include "zones/auth_data.h"
#include "zones/zone_files.h"

namespace vell {

namespace {

// zonettl.dat: "zone seconds-left" lines, as they stood when the file was
// written, which was `age` seconds ago.
struct CarryOver {
  std::vector<std::string> lines;
  double age = 0;

  // Seconds the zone still has to live now; 0 for a zone not listed.
  double ExpiryOf(const std::string& zone) const {
    for (const std::string& line : lines) {
      const size_t blank = line.find(' ');
      if (line.compare(0, blank, zone) != 0) continue;
      return (blank == std::string::npos ? 0 : LeadingNumber(line.substr(blank + 1))) - age;
    }
    return 0;
  }
};

CarryOver ReadCarryOver(const std::string& path, DateTime now) {
  CarryOver carry;
  DateTime modified = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in || !FileModified(path, modified)) return carry;
  carry.age = (now - modified) * kSecondsPerDay;
  std::string line;
  while (ReadRawLine(in, line)) {
    line = Trim(line);
    if (!line.empty()) carry.lines.push_back(line);
  }
  return carry;
}

}  // namespace

void clDNSAuthData::LoadAll() {
  const std::string saved_status = env_.state.StatusText;
  env_.SetStatus("Loading DNS Records...");
  env_.DoEvents();
  Trap(env_.errors, "clDNSAuthData LoadAll", [&] {
    zones_.clear();
    const std::string data_dir = env_.Path("data");
    const CarryOver carry = ReadCarryOver(data_dir + "/zonettl.dat", env_.Now());
    for (const std::string& file : ListZoneFiles(data_dir).value_or(std::vector<std::string>{})) {
      const std::string zone = ZoneOfFileName(file);
      LoadZone(zone, carry.ExpiryOf(zone), kNoFileTime);
    }
  });
  env_.SetStatus(saved_status);
}

}  // namespace vell
