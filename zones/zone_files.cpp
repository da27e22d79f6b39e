#include "zones/zone_files.h"

#include <algorithm>

#include "core/text.h"

namespace vell {

namespace {

constexpr char kRootFile[] = "_root.dns";
constexpr char kRootStem[] = "_root.";

}  // namespace

std::string ZoneFileName(const std::string& zone) {
  if (zone == ".") return kRootFile;
  std::string file = zone;
  std::replace(file.begin(), file.end(), '/', '~');
  return file + "dns";
}

std::string ZoneOfFileName(const std::string& file) {
  std::string zone = file;
  std::replace(zone.begin(), zone.end(), '~', '/');
  const size_t dot = zone.rfind('.');
  if (dot != std::string::npos) zone.resize(dot + 1);
  zone = LowerCase(zone);
  return zone == kRootStem ? "." : zone;
}

}  // namespace vell
