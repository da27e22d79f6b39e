// The tray icon as state the operator console can show: icon 0 running,
// 1 activity, 2 stopped.
#pragma once

#include <string>

#include "core/clock.h"

namespace vell {

struct TrayIcon {
  int icon = -1;
  std::string tip;
  bool shown = false;
};

// The icon and when it last changed; activity (1) falls back to running (0)
// a second after the last datagram.
class Tray {
 public:
  explicit Tray(const Clock& clock) : clock_(clock) {}

  void DoTray(int state) {
    changed_ = clock_.Now();
    icon.icon = state;
  }
  // The housekeeping tick's part.
  void Settle() {
    if (icon.icon == 1 && clock_.Now() > changed_ + Seconds(1)) DoTray(0);
  }

  TrayIcon icon;

 private:
  const Clock& clock_;
  DateTime changed_ = 0;
};

}  // namespace vell
