#include "core/context.h"

#include "core/config/ini.h"
#include "core/platform/event_loop.h"

namespace vell {

void Context::LoadSettings() { LoadINI(settings, IniContext{Path("vellion.ini"), &LocalIPs, &errors}); }

void Context::SaveSettings(uint16_t reload_port) {
  SaveINI(settings, reload_port, IniContext{Path("vellion.ini"), &LocalIPs, &errors});
}

void Context::SetStatus(const std::string& text) {
  state.StatusText = text;
  if (state.WindowOpen[kMainWindow]) state.StatusPanel[1] = text;
}

void Context::DoEvents() {
  if (loop != nullptr) loop->DoEvents();
}

}  // namespace vell
