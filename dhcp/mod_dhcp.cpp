#include "dhcp/mod_dhcp.h"

#include <cstdint>

#include "core/ip.h"
#include "core/platform/socket.h"
#include "core/text.h"

namespace vell {

namespace {

std::string Option(int code, const std::string& value) {
  const std::string v = value.substr(0, 255);
  return std::string(1, static_cast<char>(code)) + static_cast<char>(v.size()) + v;
}

std::string Long32(int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  return {static_cast<char>(u >> 24), static_cast<char>(u >> 16), static_cast<char>(u >> 8),
          static_cast<char>(u)};
}

const char* ReplyWord(int type) {
  switch (type) {
    case kDhcpOffer:
      return "Offer";
    case kDhcpAck:
      return "Acknowledgement";
    default:
      return "Negative";
  }
}

}  // namespace

std::string BuildDhcpReply(const clDHCPRequest& rq, int type, const std::string& address,
                           const std::string& dns_server) {
  const clDHCPif& dhcp = *rq.Interface;
  std::string msg(kDhcpOptionsOffset, '\0');
  msg[0] = 2;
  msg[1] = static_cast<char>(rq.HWType);
  msg[2] = static_cast<char>(rq.HWAddr.size());
  msg.replace(4, 4, (rq.txID + std::string(4, '\0')).substr(0, 4));
  msg.replace(12, 4, IPToData(rq.ClientIP));
  if (type == kDhcpOffer || type == kDhcpAck) msg.replace(16, 4, IPToData(address));
  msg.replace(28, 16, (rq.HWAddr + std::string(16, '\0')).substr(0, 16));
  msg.replace(236, 4, std::string{99, static_cast<char>(130), 83, 99});
  msg += Option(53, std::string(1, static_cast<char>(type)));
  msg += Option(61, rq.ClientID);
  msg += Option(1, IPToData(dhcp.Subnet));
  msg += Option(54, IPToData(dhcp.IPaddr));
  msg += Option(51, Long32(dhcp.TTL));
  msg += Option(6, IPToData(dns_server));
  if (dhcp.Gateway != "0.0.0.0") msg += Option(3, IPToData(dhcp.Gateway));
  msg += Option(12, rq.ClientName + std::string(1, '\0'));
  msg += Option(15, UpperCase(CleanNameF(dhcp.Domain)));
  msg += static_cast<char>(255);
  return msg;
}

const clDHCPif* modDHCP::InterfaceOf(int index) const {
  const std::string local = sender_.LocalIP(index);
  for (const clDHCPif& dhcp : env_.settings.DHCP) {
    if (dhcp.IPaddr == local) return &dhcp;
  }
  return nullptr;
}

void modDHCP::NameClient(clDHCPRequest& rq) const {
  if (rq.ClientName.empty()) {
    rq.ClientName = LowerCase(HWToHex(rq.HWAddr));
    for (const clDHCPAlias& alias : env_.settings.DHCPALIAS) {
      if (alias.ClientID == rq.ClientID) {
        rq.ClientName = alias.Name;
        break;
      }
    }
  }
  rq.DomainName = rq.ClientName + "." + rq.Interface->Domain;
}

void modDHCP::Arrival(int index, const std::string& ip, std::string& buffer) {
  // The buffer is taken whole at once: a message dropped while its options
  // are read must not stay in front of later datagrams.
  const std::string msg = std::move(buffer);
  buffer.clear();
  Trap(env_.errors, "modDHCP Arrival", [&] {
    env_.state.CountRequest(env_.Now());
    clDHCPRequest rq;
    rq.WSIndex = index;
    rq.Interface = InterfaceOf(index);
    if (rq.Interface == nullptr) return;  // no scope on this socket: not served
    if (!DecodeDhcp(msg, rq)) return;
    NameClient(rq);
    Dispatch(rq, ip);
  });
}

void modDHCP::Dispatch(clDHCPRequest& rq, const std::string& ip) {
  EventLog& log = env_.log;
  switch (rq.MsgType) {
    case kDhcpDiscover:
      log.AddLine(
          0, "DHCP Discovery from " + rq.ClientName + (rq.HasReqIP ? " (Looking for " + rq.ReqIP + ")" : ""));
      Discover(rq);
      return;
    case kDhcpRequest:
      if (ip != "0.0.0.0" && ip == rq.ClientIP) {
        rq.ReqIP = ip;
        log.AddLine(0, "DHCP Renewal Request from " + rq.ClientName + " for " + rq.ReqIP);
      } else {
        if (rq.ServerID != rq.Interface->IPaddr) return;  // for another server, or none named
        log.AddLine(0, "DHCP Lease Request from " + rq.ClientName + " for " + rq.ReqIP);
      }
      Request(rq);
      return;
    case kDhcpDecline:
      log.AddLine(0, "DHCP Decline from " + rq.ClientName);
      return;
    case kDhcpRelease:
      log.AddLine(0, "DHCP Release from " + ip);
      Release(rq.ClientID);
      return;
    default:
      log.AddLine(0, "Unrecognized DHCP Request (" + std::to_string(rq.MsgType) + ") from " + rq.ClientName);
  }
}

std::string modDHCP::FreeAddress(const clDHCPRequest& rq) const {
  const clDHCPif& dhcp = *rq.Interface;
  if (leases_.ValidLease(dhcp, rq.ReqIP, rq.DomainName, true)) return rq.ReqIP;
  // First only addresses no lease carries, then also those of expired ones.
  for (bool reuse : {false, true}) {
    std::string candidate = leases_.FirstValid(dhcp, rq.DomainName, reuse);
    if (!candidate.empty()) return candidate;
  }
  return "";
}

void modDHCP::Discover(const clDHCPRequest& rq) {
  Trap(env_.errors, "modDHCP Discover", [&] {
    leases_.RemoveClient(rq.ClientID);  // a new offer replaces what the client held
    const std::string candidate = FreeAddress(rq);
    if (candidate.empty()) return;  // scope exhausted: no offer
    leases_.Remove(candidate, rq.DomainName);
    // A reservation that counts as expired.
    leases_.Add({candidate, rq.DomainName, env_.Now(), rq.ClientID, rq.HWAddr});
    Send(rq, kDhcpOffer, candidate);
  });
}

void modDHCP::Request(const clDHCPRequest& rq) {
  Trap(env_.errors, "modDHCP Request", [&] {
    leases_.RemoveClient(rq.ClientID);
    if (!leases_.ValidLease(*rq.Interface, rq.ReqIP, rq.DomainName, true)) {
      Send(rq, kDhcpNak, rq.ReqIP);
      return;
    }
    leases_.Remove(rq.ReqIP, rq.DomainName);
    leases_.Add({rq.ReqIP, rq.DomainName, env_.Now() + Seconds(rq.Interface->TTL), rq.ClientID, rq.HWAddr});
    Send(rq, kDhcpAck, rq.ReqIP);
  });
}

void modDHCP::Release(const std::string& client_id) {
  Trap(env_.errors, "modDHCP Release", [&] { leases_.Release(client_id); });
}

void modDHCP::Send(const clDHCPRequest& rq, int type, const std::string& address) {
  Trap(env_.errors, "modDHCP Send", [&] {
    const std::string& bind = env_.settings.DNSBIND;
    const std::string msg = BuildDhcpReply(rq, type, address, bind.empty() ? rq.Interface->IPaddr : bind);
    env_.log.AddLine(
        0, std::string("Sending DHCP ") + ReplyWord(type) + " to " + rq.ClientName + " for " + address);
    const std::string to = rq.ClientIP != "0.0.0.0" ? rq.ClientIP : "255.255.255.255";
    try {
      sender_.SendDhcp(rq.WSIndex, to, client_port_, msg);
    } catch (const SocketError&) {
      env_.log.AddLine(0, "Winsock Error sending DHCP message.");
    }
  });
}

}  // namespace vell
