#include "server/reload_endpoint.h"

#include "core/reload_command.h"
#include "core/text.h"

namespace vell {

namespace {

constexpr char kLoopback[] = "127.0.0.1";
constexpr char kWhere[] = "frmAlpha WSReload";

}  // namespace

ReloadEndpoint::ReloadEndpoint(Context& ctx, InboundHandler& inbound)
    : ctx_(ctx), inbound_(inbound), socket_(ctx.loop) {
  socket_.OnDataArrival = [this](const Datagram& d) { OnDatagram(d); };
  socket_.OnError = [this](int n, const std::string& t) { OnSocketError(n, t); };
}

// The tray icon is shown again (it may have been lost with the shell, or
// no user was there), and message boxes are allowed from now on.
void ReloadEndpoint::Announce() {
  ctx_.tray.icon.shown = false;
  ctx_.tray.icon.shown = true;
  ctx_.state.Interactive = true;
}

void ReloadEndpoint::OnDatagram(const Datagram& d) {
  Trap(
      ctx_.errors, kWhere,
      [&] {
        if (d.host != kLoopback) return;
        if (IsHello(d.data) || !ctx_.state.Interactive) Announce();
        // With a master directory, zones follow it instead.
        if (!ctx_.settings.MASTERDIR.empty()) return;
        const ReloadCommand command = ParseReloadCommand(d.data);
        switch (command.kind) {
          case ReloadCommand::kReloadAll:
            inbound_.ReloadAll();
            break;
          case ReloadCommand::kReloadZone:
            inbound_.ReloadZone(command.zone);
            break;
          case ReloadCommand::kUnloadZone:
            inbound_.UnloadZone(command.zone);
            break;
          case ReloadCommand::kNone:
            break;
        }
      },
      "WS-State" + NumText(socket_.State()));
}

void ReloadEndpoint::OnSocketError(int number, const std::string& text) {
  if (number == kWsaConnReset) return;
  Trap(
      ctx_.errors, kWhere, [&] { throw SocketError(number, text); }, "WS-State" + NumText(socket_.State()));
}

}  // namespace vell
