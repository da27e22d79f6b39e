// The command line: "-n" (start), "-u" (uninstall) or nothing, plus the
// options of this platform (--home, --dns-port, --peer-port, --dhcp-port,
// --dhcp-client-port, --console) and --help / -h and --version.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/process_state.h"

namespace vell {

struct CommandLine {
  std::string command;  // "-n", "-u" or empty (any case on the command line)
  bool help = false;
  bool version = false;
  std::string home;  // empty: the directory of the executable
  Ports ports;
  // The operator console: --console ADDR:PORT, or --console off.
  bool console = true;
  std::string console_address = "127.0.0.1";
  uint16_t console_port = 5380;
  // The options as given, for a service unit to repeat.
  std::vector<std::string> options;
};

// nullopt and a message in error for an unknown argument or option, a
// missing value or a bad port.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string& error);

// What --help prints.
std::string Usage();

}  // namespace vell
