#include "server/console_run.h"

#include <cstdlib>
#include <iostream>

#include "server/bind_failure.h"

namespace vell {

ConsoleRun::ConsoleRun(Context& ctx, Server& server, ServiceControl& service, CommandRunner& runner,
                       ConsoleMessageBoxes& boxes, std::string address, uint16_t port,
                       const std::string& getroot)
    : ctx_(ctx),
      server_(server),
      service_(service),
      boxes_(boxes),
      address_(std::move(address)),
      port_(port),
      ops_(ctx, server, service, runner, getroot, [this](bool start_service) { Exit(start_service); }) {}

void ConsoleRun::Open() {
  if (address_.empty()) return;
  try {
    console_ = std::make_unique<Console>(
        ConsoleData{ctx_.env, ctx_.Leases, ctx_.tray.icon, ctx_.LocalIPs, boxes_, ctx_.ports.dns}, ops_,
        address_, port_);
  } catch (const SocketError& e) {
    ReportBindFailure("operator console", address_, port_, e);
    ctx_.log.AddLine(0, "Binding operator console to " + address_ + " failed!");
    return;
  }
  // Only an explicit --console value gets here with another address.
  if (address_.rfind("127.", 0) != 0)
    ctx_.log.AddLine(0, "Operator console open to the network on " + address_);
  // Under systemd the output goes to the journal, which more people may
  // read than the token file (mode 0600): there the token stays out of it.
  const std::string url = console_->Url();
  if (std::getenv("JOURNAL_STREAM") != nullptr) {
    std::cout << "Console: " << url.substr(0, url.find('?')) << " (token in "
              << ctx_.env.Path("console.token") << ")" << std::endl;
  } else {
    std::cout << "Console: " << url << std::endl;
  }
}

// mnuExit, or the options' service switch: the answer to the page goes
// out first, then the run ends as on a termination request; the service
// started after that takes over the ports this run held.
void ConsoleRun::Exit(bool start_service) {
  exit_timer_ = ctx_.loop.AddTimer(100, [this, start_service] {
    ctx_.loop.EnableTimer(exit_timer_, false);
    if (ctx_.settings.NTSERVICE && !start_service) {
      server_.form.ServiceStop();
    } else {
      server_.form.QueryUnload(0);
    }
    console_.reset();
    if (start_service) service_.StartService();
    ctx_.loop.Stop();
  });
  ctx_.loop.EnableTimer(exit_timer_, true);
}

}  // namespace vell
