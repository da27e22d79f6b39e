// The lease window's two operations, for the operator console:
// the completion of an in-place rename, and the delete the operator has
// confirmed ("Please re-boot that client to avoid IP-Address conflicts!").
#pragma once

#include <cstdint>
#include <string>

#include "dhcp/lease_store.h"
#include "server/context.h"

namespace vell {

// Renames the lease of address to the edited short name. A name another
// lease holds shows "Name already exists!" and changes nothing; a rename
// keeps the name for the client as an alias and saves vellion.ini.
RenameOutcome RenameLease(Context& ctx, const std::string& address, const std::string& edited,
                          uint16_t reload_port);
// Removes every lease of the address.
void DelLease(Context& ctx, const std::string& address);

}  // namespace vell
