// Every DNS message that arrives over UDP: queries and responses; and the
// responses to our own queries that went over TCP.
#pragma once

#include <string>

namespace vell {

struct QueryContext;

enum class Transport { kUdp, kTcp };

// A query (QR clear) from ip:port.
void ProcDNSRequest(QueryContext& ctx, const std::string& ip, long port, const std::string& msg);
// A response (QR set) from ip: cached, then handed to the request waiting for
// it. Truncated over UDP, it makes the request ask again over TCP instead.
void ProcDNSAnswer(QueryContext& ctx, const std::string& ip, const std::string& msg,
                   Transport via = Transport::kUdp);

}  // namespace vell
