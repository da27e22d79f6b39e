// Every endpoint of the server, each owning its sockets and handing what
// arrives to one InboundHandler.
#pragma once

#include "server/context.h"
#include "server/dhcp_endpoint.h"
#include "server/dns_endpoint.h"
#include "server/inbound.h"
#include "server/reload_endpoint.h"
#include "server/tcp_listener.h"

namespace vell {

struct Endpoints {
  Endpoints(Context& ctx, InboundHandler& inbound, OutgoingIds& ids)
      : dns(ctx, inbound, ids), tcp(ctx, inbound), dhcp(ctx, inbound), reload(ctx, inbound) {}

  DnsEndpoint dns;
  TcpListener tcp;
  DhcpEndpoints dhcp;
  ReloadEndpoint reload;
};

}  // namespace vell
