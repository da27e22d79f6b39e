// The wire form of a request's reply.
#pragma once

#include <string>

namespace vell {

struct QueryContext;
class clDNSAnswer;
class clDNSRequest;

// Header, the question as received and the three sections of answer, each
// name compressed against the message built so far. With ROUNDROBIN each
// run of address records of one name is rotated by one more position on
// every reply. There is no size limit and TC is never set: a UDP reply is
// sent whole however long it gets, unlike other servers.
std::string WriteReply(QueryContext& ctx, const clDNSRequest& request, const clDNSAnswer& answer);

}  // namespace vell
