// Asking the server that just answered the same question once more: over
// TCP when its answer did not fit a datagram, without EDNS when it rejected
// our OPT record.
#include <algorithm>

#include "dns/tables.h"
#include "query/query_context.h"
#include "query/request.h"

namespace vell {

std::vector<clDNSRequestOut>::iterator clDNSRequest::OpenQuery(int32_t id) {
  return std::find_if(OpenRqOut.begin(), OpenRqOut.end(),
                      [&](const clDNSRequestOut& o) { return o.Id == id; });
}

void clDNSRequest::AskAgainOverTcp(int32_t id) {
  Trap(ctx_.errors, "clDNSRequest AskAgainOverTcp", [&] {
    const auto out = OpenQuery(id);
    if (out != OpenRqOut.end()) AskAgain(out, Transport::kTcp, " over TCP");
  });
}

bool clDNSRequest::AskAgainWithoutEdns(int32_t id) {
  return TrapOr(ctx_.errors, "clDNSRequest AskAgainWithoutEdns", false, [&] {
    const auto out = OpenQuery(id);
    if (out == OpenRqOut.end() || std::find(NoEdns.begin(), NoEdns.end(), out->IP) != NoEdns.end()) {
      return false;
    }
    NoEdns.push_back(out->IP);
    AskAgain(out, Transport::kUdp, " without EDNS");
    return true;
  });
}

void clDNSRequest::AskAgain(std::vector<clDNSRequestOut>::iterator out, Transport via,
                            const std::string& how) {
  const std::string ip = out->IP;
  OpenRqOut.erase(out);
  if (ctx_.log.Writes(2)) {
    ctx_.log.AddLine(2, "Sending request" + how + " to " + ip + " for " + TypeN(Request.type) +
                            "-record for " + LookupName);
  }
  Send(ip, ctx_.QueryIds.Next(), via);
}

}  // namespace vell
