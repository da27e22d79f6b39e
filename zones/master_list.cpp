// Master-list synchronisation: the zones follow the zone files
// of a directory shared by several servers. Each pass copies new and
// changed master files into the data directory and loads them, and drops
// zones whose master file has gone; ml.dat keeps each zone's master file
// time across restarts.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/platform/atomic_file.h"
#include "core/platform/file_time.h"
#include "core/text.h"
#include "dns/record_lines.h"
#include "zones/auth_data.h"
#include "zones/zone_files.h"

namespace vell {

namespace {

constexpr char kMasterListFile[] = "ml.dat";
constexpr char kFailed[] = "** Failed to synchronize!";

// Listing, copying or loading went wrong: the pass ends, nothing removed.
struct SyncFailure {};

std::string Shown(const std::string& zone) { return zone == "." ? "<root>" : zone; }

// File times are whole seconds; compared as such, so that a time read back
// from ml.dat equals the one it was written from.
bool SameSecond(DateTime a, DateTime b) {
  return std::llround(a * kSecondsPerDay) == std::llround(b * kSecondsPerDay);
}

// The master directory; a relative one is taken from the program directory.
std::string MasterPath(const Env& env) {
  const std::string& dir = env.settings.MASTERDIR;
  return std::filesystem::path(dir).is_absolute() ? dir : env.Path(dir);
}

// Into the data directory, which a fresh installation may not have yet.
void CopyFile(const std::string& from, const std::string& to) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(to).parent_path(), ignored);
  std::ifstream in(from, std::ios::binary);
  if (!in) throw SyncFailure{};
  const std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw SyncFailure{};
  try {
    WriteFileAtomically(to, contents);
  } catch (const RunError&) {
    throw SyncFailure{};
  }
}

}  // namespace

void clDNSAuthData::MLSync(const ZoneNotify& notify) {
  last_ml_sync_ = env_.Now();
  if (env_.settings.MASTERDIR.empty()) return;
  Trap(env_.errors, "clDNSAuthData MLSync", [&] {
    env_.log.AddLine(0, "Synchronizing with \"" + env_.settings.MASTERDIR + "\"");
    for (const ZonePtr& zone : zones_.items()) zone->Checked = false;
    const std::string master = MasterPath(env_);
    const std::vector<std::string> files = ListZoneFiles(master).value_or(std::vector<std::string>{});
    try {
      if (files.empty()) throw SyncFailure{};
      for (const std::string& file : files) SyncZoneFile(master, file, notify);
    } catch (const SyncFailure&) {
      env_.log.AddLine(0, kFailed);
      return;
    }
    RemoveUnchecked();
  });
}

// One master file: a zone not loaded or loaded from another file time is
// copied into the data directory, loaded and notified; an unchanged one is
// marked as seen.
void clDNSAuthData::SyncZoneFile(const std::string& master, const std::string& file,
                                 const ZoneNotify& notify) {
  const std::string path = master + "/" + file;
  const std::string zone = ZoneOfFileName(file);
  DateTime modified = 0;
  if (!FileModified(path, modified)) throw SyncFailure{};
  const size_t loaded = ZoneFind(zone);
  if (loaded == kNotFound) {
    env_.log.AddLine(0, "-> New zone: " + Shown(zone));
  } else if (!SameSecond(zones_[loaded]->FILETIME, modified)) {
    env_.log.AddLine(0, "-> Updated zone: " + zone);
  } else {
    zones_[loaded]->Checked = true;
    return;
  }
  CopyFile(path, env_.Path("data") + "/" + ZoneFileName(zone));
  LoadZone(zone, 0, modified);
  if (ZoneFind(zone) == kNotFound) throw SyncFailure{};
  notify(zone);
}

void clDNSAuthData::RemoveUnchecked() {
  for (size_t i = 0; i < zones_.size();) {
    if (zones_[i]->Checked) {
      ++i;
      continue;
    }
    const std::string name = zones_[i]->Name;
    env_.log.AddLine(0, "-> Removed Zone: " + Shown(name));
    std::error_code ignored;
    std::filesystem::remove(env_.Path("data") + "/" + ZoneFileName(name), ignored);
    zones_.erase(i);
  }
}

void clDNSAuthData::MLSave() const {
  Trap(env_.errors, "clDNSAuthData MLSave", [&] {
    if (zones_.empty()) return;
    std::string text;
    for (const ZonePtr& zone : zones_.items())
      text += zone->Name + " " + DateTimeText(zone->FILETIME) + "\r\n";
    WriteFileAtomically(env_.Path(kMasterListFile), text);
  });
}

void clDNSAuthData::MLLoad() {
  Trap(env_.errors, "clDNSAuthData MLLoad", [&] {
    std::ifstream in(env_.Path(kMasterListFile), std::ios::binary);
    std::string line;
    while (ReadRawLine(in, line)) {
      line = Trim(line);
      const size_t blank = line.find(' ');
      if (blank == std::string::npos) continue;
      DateTime file_time = 0;
      const size_t zone = ZoneFind(line.substr(0, blank));
      if (zone != kNotFound && ParseDateTime(Trim(line.substr(blank + 1)), file_time)) {
        zones_[zone]->FILETIME = file_time;
      }
    }
  });
}

}  // namespace vell
