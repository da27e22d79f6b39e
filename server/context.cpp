#include "server/context.h"

#include <iostream>

#include "core/config/ini.h"

namespace vell {

void Context::LoadSettings() { LoadINI(settings, IniContext{Path("vellion.ini"), &LocalIPs, &errors}); }

void Context::SaveSettings(uint16_t reload_port) {
  const std::string path = Path("vellion.ini");
  const std::vector<std::string> lost =
      SaveINI(settings, reload_port, IniContext{path, &LocalIPs, &errors}, ini_written_);
  if (lost.empty()) return;
  std::cerr << "vellmain: " << path << " rewritten: " << lost.size()
            << " line(s) dropped or changed (first: \"" << lost.front()
            << "\"); the previous file is kept as " << path << ".bak\n";
}

}  // namespace vell
