// The operator commands behind the console: what each menu command does to
// the running server, over the main form, the services and the data.
#pragma once

#include <functional>
#include <string>

#include "console/operations.h"
#include "core/platform/command_runner.h"
#include "core/platform/service_control.h"
#include "server/block_dialog.h"
#include "server/root_fetch.h"
#include "server/server.h"

namespace vell {

class ServerOperations final : public ConsoleOperations {
 public:
  // getroot: the shell command that fetches named.root into the program
  // directory; exit: what ends the run, then starts the service when asked.
  using ExitFn = std::function<void(bool start_service)>;
  ServerOperations(Context& ctx, Server& server, ServiceControl& service, CommandRunner& runner,
                   std::string getroot, ExitFn exit)
      : ctx_(ctx),
        server_(server),
        service_(service),
        fetch_(ctx.env, runner, std::move(getroot), [&server] { server.services.LoadPerm(); }),
        exit_(std::move(exit)) {}

  void StartStop() override;
  void Reload() override;
  void ClearCache() override;
  void ClearWindow() override;
  void Dump() override;
  void GetRoot() override;
  void Exit() override;
  std::string SnapShot() override;
  RenameOutcome RenameLease(const std::string& address, const std::string& name) override;
  void DeleteLease(const std::string& address) override;
  BlockLists OpenBlocks() override;
  void ApplyBlocks(const BlockLists& lists) override;
  std::string ApplyOptions(const OptionsForm& form) override;
  long CacheCount() const override { return ctx_.Cache.Count(); }

 private:
  // Apply step 3; true when the service mode changed.
  bool SwitchServiceMode(bool on);
  void WriteRunValue();
  Context& ctx_;
  Server& server_;
  ServiceControl& service_;
  RootFetch fetch_;
  ExitFn exit_;
};

}  // namespace vell
