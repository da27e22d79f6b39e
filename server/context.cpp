#include "server/context.h"

#include "core/config/ini.h"

namespace vell {

void Context::LoadSettings() { LoadINI(settings, IniContext{Path("vellion.ini"), &LocalIPs, &errors}); }

void Context::SaveSettings(uint16_t reload_port) {
  SaveINI(settings, reload_port, IniContext{Path("vellion.ini"), &LocalIPs, &errors});
}

}  // namespace vell
