// Client addresses whose requests every endpoint ignores.
#pragma once

#include <string>
#include <vector>

#include "core/config/settings.h"
#include "core/event_log.h"

namespace vell {

class BlockList {
 public:
  BlockList(const Settings& settings, EventLog& log) : settings_(settings), log_(log) {}

  // True when ip is blocked; logged (with LOGBLOCK) as what + ip.
  bool Blocked(const std::string& ip, const char* what);

  std::vector<std::string> Blocks;

 private:
  const Settings& settings_;
  EventLog& log_;
};

}  // namespace vell
