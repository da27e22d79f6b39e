#include "core/services.h"

namespace vell {

// Until the query subsystem is wired in, queries and responses that pass the
// front end are read and dropped.
void Services::ProcDNSRequest(const std::string&, long, const std::string&) {}
void Services::ProcDNSAnswer(const std::string&, const std::string&) {}

// The flood guard is off until its subsystem exists (BOMBLEVEL 0 behaviour).
bool Services::FloodBlocked(const std::string&) { return false; }

// Connections are left unanswered until the TCP handlers exist.
bool Services::AcceptConnection(TcpSocket&, int) { return false; }

// DHCP requests are dropped until the DHCP server exists.
void Services::Arrival(int, const std::string&, std::string&) {}

}  // namespace vell
