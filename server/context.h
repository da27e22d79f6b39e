// The one owning object of the process-wide data, created by Main (or by a
// test, with a fake clock and a temporary program directory) and passed by
// reference to whatever needs it: settings, process state, the event log and
// error report, the machine's addresses, the leases, the block list, the
// authoritative data and the cache.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "cache/cache.h"
#include "core/clock.h"
#include "core/config/settings.h"
#include "core/env.h"
#include "core/event_log.h"
#include "core/platform/event_loop.h"
#include "core/platform/message_box.h"
#include "core/platform/tray.h"
#include "core/process_state.h"
#include "core/support_report.h"
#include "dhcp/lease_store.h"
#include "server/block_list.h"
#include "zones/auth_data.h"

namespace vell {

struct Context {
  Context(const Clock& clock, std::string home, MessageBoxes& boxes, EventLoop& loop)
      : clock(clock), home(std::move(home)), boxes(boxes), loop(loop) {}
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  // A file of the program directory: Path("vellion.ini").
  std::string Path(const std::string& name) const { return env.Path(name); }
  DateTime Now() const { return clock.Now(); }

  // vellion.ini of the program directory, read into and written from settings.
  void LoadSettings();
  void SaveSettings(uint16_t reload_port);

  const Clock& clock;
  const std::string home;
  MessageBoxes& boxes;
  EventLoop& loop;
  Ports ports;
  Settings settings;
  std::vector<std::string> LocalIPs;
  ProcessState state;
  std::mt19937 Random;
  Tray tray{clock};
  EventLog log{clock, settings, state, home + "/logs", errors};
  SupportReport errors{clock, settings, state, boxes, home, LocalIPs, log};
  Env env{clock, settings, log, errors, state, loop, home};
  LeaseTable Leases;
  LeaseStore DHCPLeases{env, Leases};
  BlockList blocks{env};
  clDNSAuthData AuthData{env, Leases};
  clDNSCache Cache{env, Leases};

 private:
  std::string ini_written_;  // vellion.ini as this run wrote it last
};

}  // namespace vell
