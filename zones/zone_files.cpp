#include "zones/zone_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>

#include "core/text.h"

namespace vell {

namespace {

constexpr char kRootFile[] = "_root.dns";
constexpr char kRootStem[] = "_root.";
// 1970-01-01 00:00 in the day count.
constexpr double kUnixEpochDay = 25569;

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

bool FileModified(const std::string& path, DateTime& when) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  tm local{};
  localtime_r(&st.st_mtim.tv_sec, &local);
  const double local_seconds = static_cast<double>(st.st_mtim.tv_sec) + static_cast<double>(local.tm_gmtoff);
  when = local_seconds / kSecondsPerDay + kUnixEpochDay;
  return true;
}

}  // namespace vell
