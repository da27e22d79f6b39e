// The tray icon as state the operator console can show: icon 0 running,
// 1 activity, 2 stopped.
#pragma once

#include <string>

namespace vell {

struct TrayIcon {
  int icon = -1;
  std::string tip;
  bool shown = false;
};

}  // namespace vell
