#include "ctl/vellctl.h"

#include "core/config/ini.h"
#include "core/reload_command.h"
#include "core/text.h"

namespace vell::ctl {

namespace {

// How long a refusal of the datagram is waited for; on loopback it comes
// back in well under a millisecond.
constexpr std::chrono::milliseconds kRefusalWait{300};

// The command words and their arguments, from the first word on.
bool ReadCommand(const std::vector<std::string>& words, Invocation& inv, std::string& error) {
  if (words.empty()) {
    error = "no command given";
    return false;
  }
  const std::string command = LowerCase(words[0]);
  const size_t n = words.size();
  for (size_t i = 1; i < n; ++i) {
    if (Trim(words[i]).empty()) {
      error = "empty argument to " + command;
      return false;
    }
  }
  if (command == "check-zone" && (n == 2 || n == 3)) {
    inv.action = Action::kCheckZone;
    inv.file = words[1];
    if (n == 3) inv.zone = words[2];
    return true;
  }
  if (command == "check-config" && n == 1) {
    inv.action = Action::kCheckConfig;
    return true;
  }
  if (command == "hello" && n == 1) {
    inv.text = HelloText();
  } else if (command == "reload" && n == 1) {
    inv.text = ReloadAllText();
  } else if (command == "reload" && n == 2) {
    inv.text = ReloadZoneText(words[1]);
  } else if (command == "reload" && n == 3 && (UpperCase(words[2]) == "S" || UpperCase(words[2]) == "P")) {
    inv.text = ReloadZoneText(words[1], words[2]);
  } else if (command == "unload" && n == 2) {
    inv.text = UnloadZoneText(words[1]);
  } else if (command == "reload" || command == "unload" || command == "hello" || command == "check-zone" ||
             command == "check-config") {
    error = "wrong arguments to " + command +
            " (reload [ZONE [S|P]], unload ZONE, hello, check-zone FILE [ZONE], check-config)";
    return false;
  } else {
    error = "unknown command '" + words[0] + "'";
    return false;
  }
  inv.zone_command = command != "hello";
  return true;
}

// "--home DIR" or "--home=DIR"; false with error when DIR is missing.
bool ReadHome(const std::vector<std::string>& args, size_t& i, Invocation& inv, std::string& error) {
  const std::string& arg = args[i];
  if (arg.starts_with("--home=")) {
    inv.home = arg.substr(7);
  } else if (i + 1 < args.size()) {
    inv.home = args[++i];
  }
  if (inv.home.empty()) error = "--home needs a directory";
  return !inv.home.empty();
}

}  // namespace

std::optional<Invocation> ParseArgs(const std::vector<std::string>& args, std::string& error) {
  Invocation inv;
  std::vector<std::string> words;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      inv.help = true;
      return inv;
    }
    if (arg == "--home" || arg.starts_with("--home=")) {
      if (!ReadHome(args, i, inv, error)) return std::nullopt;
    } else if (arg.size() > 1 && arg[0] == '-' && words.empty()) {
      error = "unknown option '" + arg + "'";
      return std::nullopt;
    } else {
      words.push_back(arg);
    }
  }
  if (!ReadCommand(words, inv, error)) return std::nullopt;
  return inv;
}

std::string HelpText() {
  return R"(NAME
    vellctl - tell a running Vellion server to reload or unload zones

SYNOPSIS
    vellctl [--home DIR] reload [ZONE [S|P]]
    vellctl [--home DIR] unload ZONE
    vellctl [--home DIR] hello
    vellctl check-zone FILE [ZONE]
    vellctl [--home DIR] check-config
    vellctl --help

DESCRIPTION
    vellctl sends one command to the reload control port of the vellmain
    server whose program directory is DIR. The server publishes the port,
    which the system chooses at each start, in the "ReloadPort:" line of
    DIR/vellion.ini and accepts commands only from 127.0.0.1. It never
    answers them: what the command did shows in the server's log.

    vellctl reports the command as sent when a socket holds the port and
    the system does not refuse the datagram within a short wait.

    check-zone and check-config need no running server: they read a file
    with the server's own reader and list every line it would skip, cut,
    or read otherwise than written.

COMMANDS
    reload
        Reload every zone file of DIR/data, then the root hints, the
        hosts file and the permanent cache entries ("RELOAD").

    reload ZONE [S|P]
        Reload the one zone ZONE from its file ("RELOAD ZONE"). A
        secondary zone is then queued for a check against its primary; a
        primary zone's secondaries are sent NOTIFY, unless the server is
        paused. The letter S or P is passed on and changes nothing.

    unload ZONE
        Remove ZONE from the server until the next reload ("UNLOAD ZONE").

    hello
        Announce a companion: the server shows its tray icon again and,
        when it runs as a service, allows message boxes from then on.

    check-zone FILE [ZONE]
        Read the zone file FILE as the server loads zone ZONE (by default
        the zone its name gives: example.com.dns holds example.com). Each
        finding is printed as FILE:LINE: "the line as read": what the
        server does with it; then the records the server would serve and
        the serial. A missing SOA record and a number too large, which
        keeps the whole zone from loading, are findings too.

    check-config
        Read DIR/vellion.ini as the server does at start. Each line the
        server ignores, stops reading at, or drops or changes when it
        rewrites the file at start is printed with its line number, as
        above. Then who may use recursion.

    The server ignores reload and unload while vellion.ini names a master
    directory (MasterDir:): its zones then follow that directory. vellctl
    says so and sends nothing.

OPTIONS
    --home DIR
        The server's program directory. Default: the directory of the
        vellctl program, which is where vellmain is built and installed.

    -h, --help
        Print this text.

EXIT STATUS
    0   the command was sent; a check found nothing.
    1   the server is not running (no reload port published, or nothing
        listens on it), refused the datagram, or ignores the command.
        A check found something, or the file could not be read.
    2   the command line is wrong.

FILES
    DIR/vellion.ini
        The "ReloadPort:" and "MasterDir:" lines are read; check-config
        reads it all.

EXAMPLES
    vellctl --home /srv/vellion reload example.com
    vellctl unload 0.0.127.in-addr.arpa
    vellctl check-zone /srv/vellion/data/example.com.dns

    In a systemd unit of the server:
        ExecReload=/srv/vellion/vellctl --home /srv/vellion reload
)";
}

namespace {

// The master directory when vellion.ini names one; then zones follow it
// and the server ignores reload and unload.
std::string MasterDir(const std::string& ini) {
  Settings settings;
  RecordingErrorSink ignored;
  LoadINI(settings, IniContext{ini, nullptr, &ignored});
  return settings.MASTERDIR;
}

int Deliver(const Invocation& inv, const std::string& ini, uint16_t port, std::ostream& out,
            std::ostream& err) {
  const std::string where = "127.0.0.1 port " + std::to_string(port);
  std::string error;
  switch (SendCommand(port, inv.text, kRefusalWait, error)) {
    case Delivery::kSent:
      out << "vellctl: sent \"" << inv.text << "\" to the server on " << where << "\n";
      return kExitSent;
    case Delivery::kNoServer:
    case Delivery::kRefused:
      err << "vellctl: the server is not running: nothing listens on its reload port (" << where << ", from "
          << ini << ")\n";
      return kExitNoServer;
    case Delivery::kFailed:
      break;
  }
  err << "vellctl: could not send to " << where << ": " << error << "\n";
  return kExitNoServer;
}

}  // namespace

int Run(const std::vector<std::string>& args, const std::string& default_home, std::ostream& out,
        std::ostream& err) {
  std::string error;
  const auto inv = ParseArgs(args, error);
  if (!inv) {
    err << "vellctl: " << error << "\nTry 'vellctl --help'.\n";
    return kExitUsage;
  }
  if (inv->help) {
    out << HelpText();
    return kExitSent;
  }
  const std::string ini = (inv->home.empty() ? default_home : inv->home) + "/vellion.ini";
  if (inv->action == Action::kCheckZone) return CheckZone(inv->file, inv->zone, out, err);
  if (inv->action == Action::kCheckConfig) return CheckConfig(ini, out);
  const uint16_t port = ReadReloadPort(ini);
  if (port == 0) {
    err << "vellctl: the server is not running: " << ini
        << " names no reload port (vellmain writes it when it starts)\n";
    return kExitNoServer;
  }
  if (inv->zone_command) {
    const std::string master = MasterDir(ini);
    if (!master.empty()) {
      err << "vellctl: the server takes its zones from the master directory \"" << master
          << "\" (MasterDir: in " << ini << ") and ignores reload and unload; nothing sent\n";
      return kExitNoServer;
    }
  }
  return Deliver(*inv, ini, port, out, err);
}

}  // namespace vell::ctl
