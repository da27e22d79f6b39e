// NOTIFY in both directions: telling a zone's secondaries that it changed,
// and acting on a NOTIFY from a primary.
#pragma once

#include <functional>
#include <string>

namespace vell {

struct QueryContext;

// Where the reply to one inbound NOTIFY goes: the UDP socket it came from,
// or the TCP connection it came over.
using NotifyReply = std::function<void(const std::string& msg)>;

// Sends one NOTIFY, the same identifier to every listed secondary.
void Notify(QueryContext& ctx, const std::string& ZName);
// Acknowledges a NOTIFY for a zone this server is secondary for and queues
// the zone for an SOA check; any other zone gets SERVFAIL.
void ProcNotify(QueryContext& ctx, const std::string& FromIP, const std::string& ZName,
                const std::string& RqData, const NotifyReply& reply);

}  // namespace vell
