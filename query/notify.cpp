// NOTIFY: sending to a zone's secondaries, answering a primary's.
#include "query/notify.h"

#include <algorithm>

#include "dns/header.h"
#include "dns/message.h"
#include "dns/record_data.h"
#include "dns/wire.h"
#include "query/query_context.h"

namespace vell {

namespace {

constexpr unsigned char kNotifyFlags1 = 0x24;  // opcode 4, AA

}  // namespace

void Notify(QueryContext& ctx, const std::string& ZName) {
  Trap(ctx.errors, "clDNSAuthData Notify", [&] {
    const size_t i = ctx.AuthData.ZoneFind(ZName);
    if (i == kNotFound) return;
    // A copy: events run between recipients may reload the zone.
    const std::vector<std::string> slaves = ctx.AuthData.Zones()[i]->Slaves;
    if (slaves.empty()) return;
    std::string msg = BuildQuery(ctx.errors, ctx.QueryIds.Next(), false, {ZName, kTypeSOA, kClassIN});
    msg[header::kFlags1] = static_cast<char>(kNotifyFlags1);
    const std::string shown = ZName == "." ? "<root>" : ZName;
    for (const std::string& slave : slaves) {
      if (slave == "127.0.0.1" ||
          std::find(ctx.LocalIPs.begin(), ctx.LocalIPs.end(), slave) != ctx.LocalIPs.end()) {
        continue;
      }
      std::string line = "Sending Zone Update Notification to ";
      line += slave;
      line += " about ";
      line += shown;
      ctx.log.AddLine(0, line);
      ctx.sender.SendRequest(slave, msg);
      ctx.DoEvents();
    }
  });
}

void ProcNotify(QueryContext& ctx, const std::string& FromIP, const std::string& ZName,
                const std::string& RqData, const NotifyReply& reply) {
  Trap(ctx.errors, "clDNSAuthData ProcNotify", [&] {
    if (RqData.size() < header::kFlags2 + 1) return;
    const size_t i = ctx.AuthData.ZoneFind(ZName);
    if (i != kNotFound && !ctx.AuthData.Zones()[i]->PrimaryIP.empty()) {
      ctx.log.AddLine(0, "Sending Notification Acknowledgement to " + FromIP);
      reply(EchoReply(RqData));
      if (ctx.settings.MASTERDIR.empty()) {
        clZone& zone = *ctx.AuthData.Zones()[i];
        zone.NextRefresh = ctx.Now() + Seconds(zone.SOARetry);
        ctx.soa_check.Que(ZName);
      }
      return;
    }
    ctx.log.AddLine(0, "Sending answer to " + FromIP + " about Zone Update Notification for " + ZName);
    ctx.log.AddLine(0, "-> Header: Server Failure (Not secondary for zone)");
    reply(EchoReply(RqData, header::kRCodeServerFailure));  // RA clear
  });
}

}  // namespace vell
