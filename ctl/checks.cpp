// check-zone and check-config: the server's own readers, listening to what
// they do with each line.
#include <filesystem>
#include <fstream>

#include "core/clock.h"
#include "core/config/ini_check.h"
#include "core/text.h"
#include "ctl/vellctl.h"
#include "zones/zone_check.h"
#include "zones/zone_files.h"

namespace vell::ctl {

namespace {

void PrintFindings(const std::string& file, const std::vector<LineFinding>& findings, std::ostream& out) {
  for (const auto& f : findings) {
    out << file;
    if (f.line > 0) out << ":" << f.line << ": \"" << f.text << "\"";
    out << ": " << f.effect << "\n";
  }
}

std::string Plural(size_t n, const std::string& word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// The zone named on the command line, or the one the file's name gives.
std::string ZoneName(const std::string& file, const std::string& named) {
  if (!named.empty()) {
    const std::string zone = LowerCase(named);
    return zone.ends_with('.') ? zone : zone + ".";
  }
  const std::string base = std::filesystem::path(file).filename().string();
  return base.ends_with(".dns") ? ZoneOfFileName(base) : std::string();
}

}  // namespace

int CheckZone(const std::string& file, const std::string& named, std::ostream& out, std::ostream& err) {
  const std::string zone = ZoneName(file, named);
  if (zone.empty()) {
    err << "vellctl: name the zone: " << file << " is not named ZONE.dns\n";
    return kExitUsage;
  }
  std::error_code ec;
  std::ifstream in(file, std::ios::binary);
  if (!in || !std::filesystem::is_regular_file(file, ec)) {
    err << "vellctl: cannot read " << file << "\n";
    return kExitFindings;
  }
  SystemClock clock;
  const ZoneCheck check = CheckZoneFile(in, zone, clock);
  PrintFindings(file, check.findings, out);
  out << file << ": zone " << zone << ": " << Plural(check.records, "record") << ", serial "
      << static_cast<long long>(check.serial) << "; "
      << (check.findings.empty() ? "no problems" : Plural(check.findings.size(), "finding")) << "\n";
  return check.findings.empty() ? kExitClean : kExitFindings;
}

int CheckConfig(const std::string& ini, std::ostream& out) {
  const IniCheck check = CheckINI(ini);
  if (!check.found) {
    out << ini << ": no such file: the server starts on the defaults and writes it\n";
    return kExitFindings;
  }
  PrintFindings(ini, check.findings, out);
  out << ini << ": recursion: " << check.recursion << "\n";
  out << ini << ": " << (check.findings.empty() ? "no problems" : Plural(check.findings.size(), "finding"))
      << "\n";
  return check.findings.empty() ? kExitClean : kExitFindings;
}

}  // namespace vell::ctl
