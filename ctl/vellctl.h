// vellctl, the command-line companion of vellmain: it tells a running
// server to reload or unload zones through the reload control port.
// It finds the port in the "ReloadPort:" line of vellion.ini
// and sends one command text from 127.0.0.1. The server never answers on
// that port, so a command counts as delivered when the port is held and
// the system reports no refusal within a short wait.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vell::ctl {

// Exit statuses.
constexpr int kExitSent = 0;
constexpr int kExitClean = 0;
constexpr int kExitNoServer = 1;  // not running, did not take the command, or ignores it
constexpr int kExitFindings = 1;  // a check found lines read otherwise than written
constexpr int kExitUsage = 2;

enum class Action {
  kSend,         // a command for the server
  kCheckZone,    // read a zone file as the server would
  kCheckConfig,  // read vellion.ini as the server would
};

// The command line, read.
struct Invocation {
  bool help = false;
  Action action = Action::kSend;
  std::string home;           // empty: the directory of the executable
  std::string text;           // the datagram to send
  bool zone_command = false;  // reload and unload, which MASTERDIR turns off
  std::string file;           // check-zone: the zone file
  std::string zone;           // check-zone: the zone, when named
};

// nullopt and a message in error for a command line that is not one.
std::optional<Invocation> ParseArgs(const std::vector<std::string>& args, std::string& error);

// The man page that --help prints.
std::string HelpText();

enum class Delivery {
  kSent,      // handed to the port; nobody refused it
  kNoServer,  // nobody holds the port
  kRefused,   // the system reported the datagram refused
  kFailed,    // the datagram could not be sent
};

// Sends text from 127.0.0.1 to 127.0.0.1:port and waits up to `wait` for a
// refusal. error describes kFailed.
Delivery SendCommand(uint16_t port, const std::string& text, std::chrono::milliseconds wait,
                     std::string& error);

// The checks: findings on out, one per line, then a summary; exit status.
int CheckZone(const std::string& file, const std::string& zone, std::ostream& out, std::ostream& err);
int CheckConfig(const std::string& ini, std::ostream& out);

// The whole program: reads the command line, sends, reports on out (what
// was sent) or err (why not); returns the exit status.
int Run(const std::vector<std::string>& args, const std::string& default_home, std::ostream& out,
        std::ostream& err);

}  // namespace vell::ctl
