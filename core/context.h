// The one owning object of the process-wide state, created by Main (or by a
// test, with a fake clock and a temporary program directory) and passed by
// reference to whatever needs it.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "cache/cache.h"
#include "core/clock.h"
#include "core/config/settings.h"
#include "core/event_log.h"
#include "core/platform/message_box.h"
#include "core/process_state.h"
#include "core/support_report.h"
#include "dhcp/lease.h"
#include "query/query_ids.h"
#include "query/request_queue.h"
#include "zones/auth_data.h"

namespace vell {

class EventLoop;
class DnsSender;
class SoaCheckClient;

struct Context {
  Context(const Clock& clock, std::string home, MessageBoxes& boxes)
      : clock(clock), home(std::move(home)), boxes(boxes) {}
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  // A file of the program directory: Path("vellion.ini").
  std::string Path(const std::string& name) const { return home + "/" + name; }
  DateTime Now() const { return clock.Now(); }

  // vellion.ini of the program directory, read into and written from settings.
  void LoadSettings();
  void SaveSettings(uint16_t reload_port);

  // The one-line status text, also shown on the main window when it is open.
  void SetStatus(const std::string& text);
  // Lets pending events run once (nothing without a loop, as in unit tests).
  void DoEvents();

  const Clock& clock;
  const std::string home;
  MessageBoxes& boxes;
  Ports ports;
  Settings settings;
  std::vector<std::string> LocalIPs;
  ProcessState state;
  std::mt19937 Random;
  EventLoop* loop = nullptr;
  // Where DNS datagrams leave (the main form; a recorder in tests).
  DnsSender* sender = nullptr;
  // The zone-transfer client, once it runs: SOA answers are handed to it.
  SoaCheckClient* soa_checks = nullptr;
  std::vector<clLease> Leases;
  // Client addresses whose requests are ignored.
  std::vector<std::string> Blocks;
  EventLog log{*this};
  SupportReport errors{*this};
  clDNSAuthData AuthData{*this};
  clDNSCache Cache{*this};
  // The requests being answered.
  RequestQueue Requests{*this};
  // Identifiers of the queries sent to other servers.
  QueryIdCounter QueryIds;
};

}  // namespace vell
