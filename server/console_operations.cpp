#include "server/console_operations.h"

#include "core/platform/kv_store.h"
#include "core/text.h"
#include "server/lease_commands.h"

namespace vell {

void ServerOperations::StartStop() {
  Trap(ctx_.errors, "frmMain mnuStartStop", [&] {
    if (ctx_.state.ServerRunning) {
      server_.form.PauseServer();
    } else {
      server_.form.StartServer();
    }
  });
}

void ServerOperations::Reload() {
  Trap(ctx_.errors, "frmMain mnuReload", [&] {
    if (ctx_.settings.MASTERDIR.empty()) {
      server_.services.LoadAll();
    } else {
      server_.services.MLSync();
    }
    server_.services.LoadPerm();
  });
}

void ServerOperations::ClearCache() {
  Trap(ctx_.errors, "frmMain mnuClearCache", [&] {
    ctx_.Cache.ClearCache();
    ctx_.log.AddLine(0, "Cache cleared by operator");
  });
}

void ServerOperations::ClearWindow() {
  ctx_.log.LogBuffer.clear();
  if (ctx_.log.window != nullptr) ctx_.log.window->Clear();
}

void ServerOperations::Dump() { ctx_.errors.Report("", 0, "", ""); }

void ServerOperations::GetRoot() { fetch_.Start(); }

void ServerOperations::Exit() {
  Trap(ctx_.errors, "frmMain mnuExit", [&] { exit_(false); });
}

std::string ServerOperations::SnapShot() {
  ctx_.Cache.SaveCache(true);
  return ctx_.Path("snapshot.dat");
}

RenameOutcome ServerOperations::RenameLease(const std::string& address, const std::string& name) {
  return vell::RenameLease(ctx_, address, name, server_.endpoints.reload.Port());
}

void ServerOperations::DeleteLease(const std::string& address) { DelLease(ctx_, address); }

BlockLists ServerOperations::OpenBlocks() {
  const BlockDialog dialog = BlockDialog::Open(ctx_.settings, ctx_.blocks);
  return {dialog.rate, dialog.noblock, dialog.blocks};
}

void ServerOperations::ApplyBlocks(const BlockLists& lists) {
  Trap(ctx_.errors, "frmBlock cmdOK", [&] {
    // The lists come back as the page's text areas: entered through the
    // dialog's Add, which drops empty and repeated entries.
    BlockDialog dialog{RateBoxLeave(lists.rate), {}, {}};
    for (const std::string& ip : lists.noblock) BlockListAdd(dialog.noblock, Trim(ip));
    for (const std::string& ip : lists.blocks) BlockListAdd(dialog.blocks, Trim(ip));
    dialog.Ok(ctx_.settings, ctx_.blocks);
    ctx_.SaveSettings(server_.endpoints.reload.Port());
  });
}

}  // namespace vell

namespace vell {

bool ServerOperations::SwitchServiceMode(bool on) {
  if (on == ctx_.settings.NTSERVICE) return false;
  service_.ServiceName = ctx_.settings.SERVICENAME;
  service_.DisplayName = ctx_.settings.SERVICEDESC;
  if (on ? service_.Install() : service_.Remove()) {
    ctx_.settings.NTSERVICE = on;
    return true;
  }
  ctx_.boxes.Show(on ? "Failed to Install NT System Service!" : "Failed to Remove NT System Service!",
                  "Vellion");
  return false;
}

// Start with the system: the service, else the program in the foreground.
void ServerOperations::WriteRunValue() {
  const Settings& s = ctx_.settings;
  const std::string program = ctx_.home + "/vellmain";
  KeyValueStore(ctx_.Path("registry.dat"))
      .Set("Run/Vellion", s.NTSERVICE  ? program
                          : s.STARTWIN ? program + " -n"
                                       : "");
}

std::string ServerOperations::ApplyOptions(const OptionsForm& form) {
  return TrapOr(ctx_.errors, "frmOptions cmdOK", std::string(), [&] {
    Settings& s = ctx_.settings;
    s.NAME = form.NAME;
    s.PRIMARYIP = form.PRIMARYIP;
    s.DNSBIND = form.bind ? form.PRIMARYIP : "";
    const bool switched = SwitchServiceMode(form.service);
    form.Store(s);
    ctx_.SaveSettings(server_.endpoints.reload.Port());
    WriteRunValue();
    if (switched) {
      ctx_.state.WindowOpen[kMainWindow] = false;
      server_.form.PauseServer();
      exit_(s.NTSERVICE);
      return std::string(s.NTSERVICE ? "\nNT System Service Installed!\nVellion will now be restarted."
                                     : "\nNT System Service Un-Installed!\nPlease restart Vellion from the "
                                       "Windows Start Menu.");
    }
    if (ctx_.state.ServerRunning) {
      server_.form.PauseServer();
      ctx_.loop.DoEvents();
      server_.form.StartServer();
    }
    server_.services.LoadPerm();
    if (!s.MASTERDIR.empty()) server_.services.MLSync();
    return std::string();
  });
}

}  // namespace vell
