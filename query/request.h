// One query being answered: from admission to the reply (clDNSRequest).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/clock.h"
#include "dns/answer.h"

namespace vell {

struct Context;

// One candidate name server of a recursive request.
struct clNServ {
  std::string Name;  // server name, or "Forward-DNS" for a forwarder
  std::string IP;    // empty while not yet known
  int16_t Count = 0;
  std::string FromCNAME;
};

// One outgoing query not yet answered.
struct clDNSRequestOut {
  int32_t Id = 0;
  std::string IP;
};

class clDNSRequest;
using RequestPtr = std::shared_ptr<clDNSRequest>;

class clDNSRequest {
 public:
  // States of a request.
  static constexpr int16_t kQueued = 0;
  static constexpr int16_t kWaitingForServer = 1;
  static constexpr int16_t kWaitingForSubRequest = 2;
  static constexpr int16_t kAnswered = 9;

  explicit clDNSRequest(Context& ctx) : ctx_(ctx) {}

  std::string RequestKey;
  int32_t requestID = 0;  // the client's message identifier
  bool RequestRD = false;
  std::string RequestName;
  int16_t RequestType = 0;
  int16_t RequestClass = 0;  // 1 or 255
  std::string RequestIP;
  int32_t RequestPort = 0;  // UDP port; a TCP query carries its negated connection number
  std::vector<RequestPtr> TagRequests;
  std::vector<clDNSRequestOut> OpenRqOut;
  int16_t State = kQueued;
  DateTime TimeOut = 0;
  int16_t Level = 0;

  void InitRequest();
  void ProcRequest();
  // Sends the next outgoing query, or ends the request when no server is left.
  void AskNS();
  // A response whose identifier matched one of OpenRqOut.
  void ProcAnswer(const std::shared_ptr<clDNSAnswer>& response);
  // Answers this tagged duplicate with the answer of the request it waited on.
  void TagReply(const std::shared_ptr<clDNSAnswer>& RtAns);

 private:
  // Makes found the answer, or adds its records to those collected so far;
  // true when a CNAME is to be followed, otherwise the reply has been sent.
  bool Take(const std::shared_ptr<clDNSAnswer>& found, bool clear_aa);
  // No name server to ask: server failure unless answers were collected.
  void EndWithoutServers();
  void FillSection(const clDNSAnswer& src);
  void ClearExtra();
  bool RedoCNAME();
  void SendReply();
  void CNAMERes();
  void LogReply();
  void Deliver(const std::string& message);

  Context& ctx_;
  std::shared_ptr<clDNSAnswer> Answer;
  std::string LookupName;
  DateTime RequestStart = 0;
  // Candidate name servers and their zone, kept by the resolver.
  std::vector<clNServ> NSCol;
  std::string NSZone;
};

}  // namespace vell
