#include "server/lease_commands.h"

namespace vell {

RenameOutcome RenameLease(Context& ctx, const std::string& address, const std::string& edited,
                          uint16_t reload_port) {
  const RenameOutcome outcome = ctx.DHCPLeases.Rename(address, edited, ctx.settings.DHCPALIAS);
  if (outcome == RenameOutcome::kNameExists && ctx.state.Interactive) {
    ctx.boxes.Show("Name already exists!", "Vellion");
  }
  if (outcome == RenameOutcome::kRenamed) ctx.SaveSettings(reload_port);
  return outcome;
}

void DelLease(Context& ctx, const std::string& address) { ctx.DHCPLeases.Delete(address); }

}  // namespace vell
