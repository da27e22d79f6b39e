// One decoded DHCP message (clDHCPRequest) and its decoder.
#pragma once

#include <cstdint>
#include <string>

#include "core/config/dhcp_config.h"

namespace vell {

// DHCP message types used here (option 53).
enum DhcpType : int {
  kDhcpDiscover = 1,
  kDhcpOffer = 2,
  kDhcpRequest = 3,
  kDhcpDecline = 4,
  kDhcpAck = 5,
  kDhcpNak = 6,
  kDhcpRelease = 7,
};

inline constexpr size_t kDhcpOptionsOffset = 240;

struct clDHCPRequest {
  int WSIndex = 0;
  const clDHCPif* Interface = nullptr;
  std::string txID;  // 4 octets
  int HWType = 0;
  std::string HWAddr;
  std::string ClientID;
  std::string ClientIP = "0.0.0.0";
  std::string ClientName;
  std::string DomainName;
  std::string ReqIP;
  // What the options said besides the fields above.
  bool HasReqIP = false;
  int MsgType = -1;      // -1: no option 53
  std::string ServerID;  // option 54, dotted; empty when absent
};

// Reads the fixed part and the options of msg (at least 241 octets, checked
// by the front end) into rq, and fills the gaps between ClientID and HWAddr.
// False drops the message: options cut short, no end option, or neither a
// hardware address nor a client identifier.
bool DecodeDhcp(const std::string& msg, clDHCPRequest& rq);

}  // namespace vell
