// Running as a system service, on systemd: install writes a unit named after
// the service name, remove deletes it, start and stop go through systemctl,
// and event-log entries go to syslog (LOG_DAEMON).
#pragma once

#include <string>
#include <vector>

#include "core/platform/command_runner.h"

namespace vell {

class ServiceControl {
 public:
  // unit_dir: where units are written (/etc/systemd/system on a real
  // installation). exec_start: the command line the unit runs;
  // exec_reload, when given, what "systemctl reload" runs (vellctl).
  ServiceControl(std::string unit_dir, CommandRunner& runner, std::vector<std::string> exec_start,
                 std::vector<std::string> exec_reload = {});

  // Set from SERVICENAME and SERVICEDESC before every request.
  std::string ServiceName;
  std::string DisplayName;

  std::string UnitPath() const;
  bool Install();  // writes the unit and reloads systemd
  bool Remove();   // deletes the unit and reloads systemd
  // "net start" / "net stop" of the service.
  void StartService();
  void StopService();
  // An error entry in the system log.
  void LogEvent(const std::string& text);

 private:
  std::string unit_dir_;
  CommandRunner& runner_;
  std::vector<std::string> exec_start_;
  std::vector<std::string> exec_reload_;
};

}  // namespace vell
