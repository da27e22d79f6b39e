#include "query/client_edns.h"

#include "dns/edns.h"
#include "dns/header.h"
#include "dns/tables.h"
#include "query/query_context.h"

namespace vell {

EdnsCheck CheckEdns(QueryContext& ctx, const std::string& ip, const std::string& msg) {
  const EdnsQuery edns = ReadEdns(ctx.errors, msg);
  switch (edns.status) {
    case EdnsQuery::Status::kAbsent:
      return {};
    case EdnsQuery::Status::kPresent:
      return {edns.payload, {}};
    default:
      break;
  }
  const bool badvers = edns.status == EdnsQuery::Status::kBadVers;
  ctx.log.AddLine(0, "Sending answer to " + ip + " about an EDNS query");
  ctx.log.AddLine(0, "-> Header: " + (badvers ? std::string("Bad EDNS version.")
                                              : RCodeN(ctx.errors, header::kRCodeFormErr)));
  return {std::nullopt, EdnsErrorReply(ctx.errors, msg, edns.status)};
}

}  // namespace vell
