#include "zones/zone_files.h"

#include <algorithm>
#include <filesystem>

#include "core/text.h"

namespace vell {

namespace {

constexpr char kRootFile[] = "_root.dns";
constexpr char kRootStem[] = "_root.";
constexpr char kZoneFileSuffix[] = ".dns";

}  // namespace

std::string ZoneFileName(const std::string& zone) {
  if (zone == ".") return kRootFile;
  // Zone names come from outside (reload commands, transfers, file names of
  // a master directory): a "/" would leave data/, a NUL would cut the path
  // short, control characters have no place in a file name.
  std::string file = zone;
  std::replace_if(
      file.begin(), file.end(),
      [](char c) { return c == '/' || static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; }, '~');
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

std::optional<std::vector<std::string>> ListZoneFiles(const std::string& dir) {
  namespace fs = std::filesystem;
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string file = it->path().filename().string();
    if (file.ends_with(kZoneFileSuffix) && it->is_regular_file(ec)) files.push_back(file);
  }
  if (ec) return std::nullopt;
  return files;
}

}  // namespace vell
