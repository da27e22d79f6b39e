// One query being answered: from admission to the reply (clDNSRequest).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/clock.h"
#include "dns/answer.h"

namespace vell {

struct QueryContext;

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
  // Modes of a sub-request, held in its requestID.
  static constexpr int32_t kResolveNormally = 0;
  static constexpr int32_t kFromRoot = 1;
  static constexpr int32_t kRootTaken = 2;

  explicit clDNSRequest(QueryContext& ctx) : ctx_(ctx) {}

  std::string RequestKey;
  int32_t requestID = 0;  // the client's message identifier; a sub-request's mode
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
  // Merges an answer for the address of server Name into the candidates.
  void AddNSAns(const std::shared_ptr<clDNSAnswer>& RtAns, const std::string& Name);

 private:
  // Makes found the answer, or adds its records to those collected so far;
  // true when a CNAME is to be followed, otherwise the reply has been sent.
  bool Take(const std::shared_ptr<clDNSAnswer>& found, bool clear_aa);
  // No name server to ask: server failure unless answers were collected.
  void EndWithoutServers();

  // Starting points of recursion (name_servers.cpp).
  void StartForwarding();
  void StartFromDelegation(const clDNSAnswer& auth, const clDNSAnswer& cached);
  void StartAtRoot();
  void FillNSCol(const clDNSAnswer& src);
  // Gives address-less candidates the addresses found in additional,
  // replacing each such candidate by one entry per address.
  void ExpandAddresses(const RecordList& additional);
  void CreateSubRequest(int32_t flag, const std::string& Name);

  // Steps of AskNS (ask_ns.cpp). Those returning bool return true when
  // AskNS is to start over, false when it is done.
  bool AskNextServer();
  bool AskAddressed(int16_t min_count);
  bool FindAddressLocally(int16_t min_count);
  bool ResolveServerAddress(int16_t min_count);
  size_t PickAtRandom(int16_t min_count, bool need_address);
  bool IsThisServer(const std::string& ip) const;
  void SendQuery(size_t pick, int16_t min_count);

  // Steps of ProcAnswer (proc_answer.cpp).
  void ServerFailed(int32_t id);
  void KeepOnlyInZone(clDNSAnswer& response) const;
  bool IsFinal(const clDNSAnswer& response) const;
  void FollowReferral(clDNSAnswer& response);
  void LameServer(int32_t id);
  // The address an outgoing query was sent to; forgets every query to it.
  std::string ForgetQueriesTo(int32_t id);

  void FillSection(const clDNSAnswer& src);
  void ClearExtra();
  bool RedoCNAME();
  void SendReply();
  void CNAMERes();
  void LogReply();
  void Deliver(const std::string& message);
  // A sub-request hands its answer to the request that started it.
  void DeliverToParent();

  QueryContext& ctx_;
  std::shared_ptr<clDNSAnswer> Answer;
  std::string LookupName;
  DateTime RequestStart = 0;
  // Candidate name servers and their zone, kept by the resolver.
  std::vector<clNServ> NSCol;
  std::string NSZone;
};

}  // namespace vell
