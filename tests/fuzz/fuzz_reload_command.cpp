// Reads any bytes as a datagram of the reload port: nothing may crash, a
// zone command names a clean zone (lower case, no blanks, one final dot),
// and the text a companion would send for that command reads back as it.
#include <stdlib.h>

#include <cstdint>
#include <string>

#include "core/reload_command.h"

namespace {

bool CleanZone(const std::string& zone) {
  if (zone.empty() || zone.back() != '.') return false;
  if (zone != "." && (zone.front() == '.' || zone.find("..") != std::string::npos)) return false;
  for (char c : zone) {
    if (c == ' ' || (c >= 'A' && c <= 'Z')) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const vell::ReloadCommand command = vell::ParseReloadCommand(text);
  if (vell::IsHello(text) && command.kind != vell::ReloadCommand::kNone) abort();
  switch (command.kind) {
    case vell::ReloadCommand::kNone:
    case vell::ReloadCommand::kReloadAll:
      if (!command.zone.empty()) abort();
      break;
    case vell::ReloadCommand::kReloadZone:
      if (!CleanZone(command.zone)) abort();
      if (vell::ParseReloadCommand(vell::ReloadZoneText(command.zone, "S")) != command) abort();
      if (vell::ParseReloadCommand(vell::ReloadZoneText(command.zone)) != command) abort();
      break;
    case vell::ReloadCommand::kUnloadZone:
      if (!CleanZone(command.zone)) abort();
      if (vell::ParseReloadCommand(vell::UnloadZoneText(command.zone)) != command) abort();
      break;
  }
  return 0;
}
