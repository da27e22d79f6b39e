// A socket the server could not bind is named on standard error with its
// address, port and the system's reason: the log lines say only which
// service did not start, and an administrator needs to know why.
#pragma once

#include <cstdint>
#include <string>

#include "core/platform/socket.h"

namespace vell {

// service: "DNS service (UDP)", ...; an empty address is the wildcard.
void ReportBindFailure(const std::string& service, const std::string& address, uint16_t port,
                       const SocketError& error);

}  // namespace vell
