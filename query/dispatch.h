// Every DNS message that arrives over UDP: queries and responses.
#pragma once

#include <string>

namespace vell {

struct QueryContext;

// A query (QR clear) from ip:port.
void ProcDNSRequest(QueryContext& ctx, const std::string& ip, long port, const std::string& msg);
// A response (QR set) from ip: cached, then handed to the request waiting for it.
void ProcDNSAnswer(QueryContext& ctx, const std::string& ip, const std::string& msg);

}  // namespace vell
