// The running server: the endpoints, the query layer that answers what they
// receive and sends through the DNS endpoint, and the main form that runs
// them; made in this order over the process-wide data.
#pragma once

#include "query/query_context.h"
#include "query/transfer_client.h"
#include "server/context.h"
#include "server/endpoints.h"
#include "server/frm_alpha.h"
#include "server/services.h"

namespace vell {

struct Server {
  explicit Server(Context& ctx)
      : services(ctx, query, soa_check, dhcp),
        ids(ctx.clock),
        endpoints(ctx, services, ids),
        soa_check(ctx.loop, query, ctx.ports.peer),
        query(ctx.env, ctx.LocalIPs, ctx.AuthData, ctx.Cache, ctx.Random, ids, endpoints.dns, soa_check,
              [&ctx] { ctx.tray.DoTray(1); }),
        dhcp(ctx.env, ctx.DHCPLeases, endpoints.dhcp, ctx.ports.dhcp_client),
        form(ctx, services, endpoints) {}
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Bound before query and dhcp exist and used only once events arrive.
  Services services;
  // Shared by the outgoing sockets, which open and close queries, and the
  // query layer, which draws their identifiers.
  OutgoingIds ids;
  Endpoints endpoints;
  // The transfer client; bound to query before query exists, used only once
  // events arrive.
  ctlZTS soa_check;
  QueryContext query;
  // DHCP message handling; sends through the DHCP endpoints.
  modDHCP dhcp;
  frmAlpha form;
};

}  // namespace vell
