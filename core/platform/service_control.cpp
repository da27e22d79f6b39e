#include "core/platform/service_control.h"

#include <pwd.h>
#include <sys/stat.h>
#include <syslog.h>

#include <cstdio>
#include <optional>
#include <utility>

#include "core/platform/atomic_file.h"

namespace vell {

namespace {

// systemd expands "%" specifiers in every setting, and "$" variables in
// ExecStart; both are doubled so that the text is taken literally.
std::string EscapeExpansions(const std::string& text, bool dollar) {
  std::string out;
  for (char c : text) {
    if (c == '%' || (dollar && c == '$')) out += c;
    out += c;
  }
  return out;
}

std::string QuoteArgument(const std::string& arg) {
  std::string escaped = EscapeExpansions(arg, true);
  if (!arg.empty() && arg.find_first_of(" \t\"'\\;") == std::string::npos) return escaped;
  std::string quoted = "\"";
  for (char c : escaped) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string CommandLine(const std::vector<std::string>& argv) {
  std::string line;
  for (const auto& arg : argv) line += (line.empty() ? "" : " ") + QuoteArgument(arg);
  return line;
}

// The server needs the DNS and DHCP ports below 1024 and its program
// directory; nothing else of the system. (SO_BINDTODEVICE for the DHCP
// sockets needs no capability since Linux 5.7.) The same settings are in
// packaging/vellion.service. /dev/shm stays writable under
// ProtectSystem=strict, and so does /run on systemd 252 once
// ProtectKernelTunables=, ProtectControlGroups= or ProtectProc= is set: both
// are made read-only, so that the program directory is the one place written.
constexpr char kLockedDown[] =
    "AmbientCapabilities=CAP_NET_BIND_SERVICE\n"
    "CapabilityBoundingSet=CAP_NET_BIND_SERVICE\n"
    "NoNewPrivileges=yes\n"
    "ProtectSystem=strict\n"
    "ReadOnlyPaths=/run /dev/shm\n"
    "ProtectHome=read-only\n"
    "PrivateTmp=yes\n"
    "PrivateDevices=yes\n"
    "DevicePolicy=closed\n"
    "ProtectKernelTunables=yes\n"
    "ProtectKernelModules=yes\n"
    "ProtectKernelLogs=yes\n"
    "ProtectControlGroups=yes\n"
    "ProtectClock=yes\n"
    "ProtectHostname=yes\n"
    "ProtectProc=invisible\n"
    "RestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX AF_NETLINK\n"
    "RestrictNamespaces=yes\n"
    "RestrictRealtime=yes\n"
    "RestrictSUIDSGID=yes\n"
    "LockPersonality=yes\n"
    "MemoryDenyWriteExecute=yes\n"
    "RemoveIPC=yes\n"
    "KeyringMode=private\n"
    "UMask=0027\n"
    "SystemCallArchitectures=native\n"
    "SystemCallFilter=@system-service\n"
    "SystemCallFilter=~@privileged @resources\n";

// The DHCP sockets and a DNSBIND address need the interfaces' addresses
// at the start: at boot the run waits for the network to be up.
constexpr char kAfterNetwork[] = "Wants=network-online.target\nAfter=network-online.target\n";

// The program directory: the argument after --home.
std::string HomeOf(const std::vector<std::string>& argv) {
  for (size_t i = 0; i + 1 < argv.size(); ++i) {
    if (argv[i] == "--home") return argv[i + 1];
  }
  return {};
}

// The service runs as the owner of its program directory, which it must
// write. A directory owned by root is first given to a system user named
// after the service, made when missing, so that the run never keeps uid 0.
// Nothing when the user cannot be made or given the directory.
std::optional<std::string> UserLines(const std::string& home, const std::string& name,
                                     CommandRunner& runner) {
  struct stat st {};
  if (home.empty() || stat(home.c_str(), &st) != 0) return "";
  if (st.st_uid != 0)
    return "User=" + std::to_string(st.st_uid) + "\nGroup=" + std::to_string(st.st_gid) + "\n";
  const passwd* user = getpwnam(name.c_str());
  if (user != nullptr && user->pw_uid == 0) return std::nullopt;
  if (user == nullptr && runner.Run({"useradd", "--system", "--user-group", "--no-create-home", "--home-dir",
                                     home, "--shell", "/usr/sbin/nologin", name}) != 0) {
    return std::nullopt;
  }
  if (runner.Run({"chown", "-R", "-h", "--", name + ":" + name, home}) != 0) return std::nullopt;
  return "User=" + name + "\nGroup=" + name + "\n";
}

std::string UnitText(const std::string& description, const std::vector<std::string>& exec_start,
                     const std::vector<std::string>& exec_reload, const std::string& user_lines) {
  const std::string reload = exec_reload.empty() ? "" : "ExecReload=" + CommandLine(exec_reload) + "\n";
  const std::string home = HomeOf(exec_start);
  const std::string writable = home.empty() ? "" : "ReadWritePaths=" + QuoteArgument(home) + "\n";
  return "[Unit]\nDescription=" + EscapeExpansions(description, false) + "\n" + kAfterNetwork +
         "\n[Service]\nExecStart=" + CommandLine(exec_start) + "\n" + reload + "Type=simple\n" + user_lines +
         writable + kLockedDown + "\n[Install]\nWantedBy=multi-user.target\n";
}

}  // namespace

ServiceControl::ServiceControl(std::string unit_dir, CommandRunner& runner,
                               std::vector<std::string> exec_start, std::vector<std::string> exec_reload)
    : unit_dir_(std::move(unit_dir)),
      runner_(runner),
      exec_start_(std::move(exec_start)),
      exec_reload_(std::move(exec_reload)) {}

std::string ServiceControl::UnitPath() const { return unit_dir_ + "/" + ServiceName + ".service"; }

bool ServiceControl::Install() {
  if (ServiceName.empty()) return false;
  const auto user_lines = UserLines(HomeOf(exec_start_), ServiceName, runner_);
  if (!user_lines) return false;
  try {
    WriteFileAtomically(UnitPath(), UnitText(DisplayName, exec_start_, exec_reload_, *user_lines));
  } catch (const std::exception&) {
    return false;
  }
  return runner_.Run({"systemctl", "daemon-reload"}) == 0 &&
         runner_.Run({"systemctl", "enable", ServiceName}) == 0;
}

bool ServiceControl::Remove() {
  if (ServiceName.empty()) return false;
  // Disabling fails when the unit was never enabled; the file is removed
  // all the same.
  runner_.Run({"systemctl", "disable", ServiceName});
  const bool removed = std::remove(UnitPath().c_str()) == 0;
  return runner_.Run({"systemctl", "daemon-reload"}) == 0 && removed;
}

void ServiceControl::StartService() { runner_.Run({"systemctl", "start", ServiceName}); }

void ServiceControl::StopService() { runner_.Run({"systemctl", "stop", ServiceName}); }

void ServiceControl::LogEvent(const std::string& text) { syslog(LOG_DAEMON | LOG_ERR, "%s", text.c_str()); }

}  // namespace vell
