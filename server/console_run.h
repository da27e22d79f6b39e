// The operator console of a run: opened once the server has begun, when
// an address was given; its URL goes to standard output, a failed bind to
// standard error and the log like the other binds.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "console/console.h"
#include "console/message_boxes.h"
#include "core/platform/command_runner.h"
#include "server/console_operations.h"
#include "server/server.h"

namespace vell {

class ConsoleRun {
 public:
  // address empty: no console (--console off).
  // runner starts getroot, the command that fetches the root hints.
  ConsoleRun(Context& ctx, Server& server, ServiceControl& service, CommandRunner& runner,
             ConsoleMessageBoxes& boxes, std::string address, uint16_t port, const std::string& getroot);

  void Open();

 private:
  void Exit(bool start_service);

  Context& ctx_;
  Server& server_;
  ServiceControl& service_;
  ConsoleMessageBoxes& boxes_;
  const std::string address_;
  const uint16_t port_;
  ServerOperations ops_;
  std::unique_ptr<Console> console_;
  int exit_timer_ = -1;
};

}  // namespace vell
