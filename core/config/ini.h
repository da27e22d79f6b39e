// Reading and writing vellion.ini.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/config/settings.h"
#include "core/error_report.h"

namespace vell {

// What the settings file needs besides the settings themselves.
struct IniContext {
  std::string path;                           // the program directory + "/vellion.ini"
  const std::vector<std::string>* local_ips;  // default PRIMARYIP
  ErrorSink* errors;
};

// Resets every setting to its default, then reads the file over them. A
// missing file leaves the defaults; a bad line ends the reading there
// ("modMain LoadINI").
void LoadINI(Settings& s, const IniContext& ctx);
// The port of the "ReloadPort:" line (the last one); 0 when the file, the
// line or a valid port is missing. Companion programs find the reload port
// here.
uint16_t ReadReloadPort(const std::string& path);
// Rewrites the whole file; reload_port is the port of the reload socket
// (0 before it is bound). Returns the lines written by someone else that
// the rewrite drops or changes; the file as it was is then kept beside it
// as vellion.ini.bak. written: the text this run wrote last (empty before
// its first save), whose lines are the server's own to change; it becomes
// the new text.
std::vector<std::string> SaveINI(const Settings& s, uint16_t reload_port, const IniContext& ctx,
                                 std::string& written);

}  // namespace vell
