// Process-wide state of the running server that other subsystems read.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/clock.h"

namespace vell {

// The operator windows by their WindowOpen index.
enum Window { kMainWindow = 0, kGraphWindow = 1, kLogWindow = 2, kLeaseWindow = 3 };

struct ProcessState {
  bool ServerRunning = false;
  bool Interactive = false;
  bool IsNT = false;
  DateTime StartTime = 0;
  std::string StatusText;
  std::array<bool, 4> WindowOpen{};
  double RequestCount = 0;
  std::array<int, 60> PerSecond{};
  // The status-bar panels of the main window, 1..3 (index 0 unused).
  std::array<std::string, 4> StatusPanel{};

  // Counts one DNS request or DHCP message in RequestCount and in the slot
  // of the current second of PerSecond, and clears the slot after it.
  void CountRequest(DateTime now);
  // The one-line status text, also shown on the main window when it is open.
  void SetStatus(const std::string& text);
};

// Ports of this platform's command line (see the README).
struct Ports {
  uint16_t dns = 53;
  uint16_t peer = 53;
  uint16_t dhcp = 67;
  uint16_t dhcp_client = 68;
};

}  // namespace vell
