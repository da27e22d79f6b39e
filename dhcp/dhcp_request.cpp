#include "dhcp/dhcp_request.h"

#include <algorithm>

#include "core/ip.h"
#include "core/text.h"

namespace vell {

namespace {

constexpr size_t kChaddr = 28;
constexpr size_t kChaddrSize = 16;

enum Option : int {
  kPad = 0,
  kHostName = 12,
  kRequestedIP = 50,
  kMsgType = 53,
  kServerID = 54,
  kClientID = 61,
  kEnd = 255
};

void TakeOption(int code, const std::string& value, clDHCPRequest& rq) {
  switch (code) {
    case kHostName: {
      std::string name = value.substr(0, value.find('\0'));
      name = name.substr(0, name.find('.'));
      rq.ClientName = CleanName(name);
      break;
    }
    case kRequestedIP:
      rq.ReqIP = DataToIP(value.substr(0, 4));
      rq.HasReqIP = true;
      break;
    case kMsgType:
      rq.MsgType = static_cast<unsigned char>(value[0]);
      break;
    case kServerID:
      rq.ServerID = DataToIP(value.substr(0, 4));
      break;
    case kClientID:
      rq.ClientID = value;
      break;
    default:
      break;
  }
}

// Step 4 of Arrival: false drops the message.
bool ParseOptions(const std::string& msg, clDHCPRequest& rq) {
  size_t pos = kDhcpOptionsOffset;
  while (true) {
    if (pos < msg.size() && static_cast<unsigned char>(msg[pos]) == kEnd) return true;
    if (pos > msg.size() || msg.size() - pos < 2) return false;
    const int code = static_cast<unsigned char>(msg[pos]);
    if (code == kPad) {
      ++pos;
      continue;
    }
    const size_t length = static_cast<unsigned char>(msg[pos + 1]);
    if (msg.size() - (pos + 1) < length + 2) return false;
    if (length > 0) TakeOption(code, msg.substr(pos + 2, length), rq);
    pos += 2 + length;
  }
}

}  // namespace

bool DecodeDhcp(const std::string& msg, clDHCPRequest& rq) {
  if (msg.size() < kDhcpOptionsOffset) return false;
  rq.HWType = static_cast<unsigned char>(msg[1]);
  const size_t hlen = std::min<size_t>(static_cast<unsigned char>(msg[2]), kChaddrSize);
  rq.txID = msg.substr(4, 4);
  rq.ClientIP = DataToIP(msg.substr(12, 4));
  rq.HWAddr = msg.substr(kChaddr, hlen);
  if (!ParseOptions(msg, rq)) return false;
  if (rq.ClientID.empty()) rq.ClientID = rq.HWAddr;
  if (rq.HWAddr.empty()) rq.HWAddr = rq.ClientID;
  // A client with neither cannot be told from others, nor its lease kept.
  return !rq.ClientID.empty();
}

}  // namespace vell
