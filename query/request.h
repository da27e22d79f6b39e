// One query being answered: from admission to the reply (clDNSRequest).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/clock.h"
#include "dns/answer.h"
#include "dns/message.h"
#include "query/dispatch.h"

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

enum class RequestState {
  kQueued,                // new, or waiting in the queue
  kWaitingForServer,      // an outgoing query is out
  kWaitingForSubRequest,  // a sub-request looks for a server's address
  kAnswered,
};

// How a sub-request looks for a server's address.
enum class SubRequestMode {
  kResolveNormally,  // from the closest delegation known
  kFromRoot,         // from the root servers
  kRootTaken,        // has started from the root servers
};

// Where a request came from, and so where its answer goes.
// The UDP payload size of a client's OPT record; nothing when it sent none.
using ClientEdns = std::optional<int32_t>;
struct UdpClient {
  std::string ip;
  long port = 0;
  ClientEdns edns;
};
struct TcpClient {
  std::string ip;          // for the log
  int32_t connection = 0;  // ConID of the connection handler (ctlZT) that reads the query
  ClientEdns edns;
};
// A sub-request: it finds the address of one of its parent's name servers.
struct ParentRequest {
  std::string key;  // the parent's RequestKey
  SubRequestMode mode = SubRequestMode::kResolveNormally;
};
using RequestOrigin = std::variant<UdpClient, TcpClient, ParentRequest>;

class clDNSRequest {
 public:
  // A client's request is at level 0, a sub-request one below its parent.
  clDNSRequest(QueryContext& ctx, RequestOrigin origin, int32_t id, bool rd, Question question,
               int16_t level = 0);

  std::string RequestKey;
  RequestOrigin Origin;     // a sub-request's mode moves on when it starts from the root
  const int32_t requestID;  // the client's message identifier; 0 for a sub-request
  const bool RequestRD;
  const Question Request;
  std::vector<RequestPtr> TagRequests;
  std::vector<clDNSRequestOut> OpenRqOut;
  RequestState State = RequestState::kQueued;
  DateTime TimeOut = 0;
  const int16_t Level;

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
  // The server that answered query id is asked the same again, with a new
  // identifier (ask_again.cpp): over TCP after a truncated answer; without
  // our OPT record after it rejected it, unless it had it so already (false).
  void AskAgainOverTcp(int32_t id);
  bool AskAgainWithoutEdns(int32_t id);

 private:
  // Makes found the answer, or adds its records to those collected so far;
  // true when a CNAME is to be followed, otherwise the reply has been sent.
  bool Take(const std::shared_ptr<clDNSAnswer>& found, bool clear_aa);
  // No name server to ask: server failure unless answers were collected.
  void EndWithoutServers();
  // A name outside the zones for a client without recursion: REFUSED
  // unless answers were collected.
  void Refuse();

  // Starting points of recursion (name_servers.cpp).
  void StartForwarding();
  void StartFromDelegation(const clDNSAnswer& auth, const clDNSAnswer& cached);
  void StartAtRoot();
  void FillNSCol(const clDNSAnswer& src);
  // Gives address-less candidates the addresses found in additional,
  // replacing each such candidate by one entry per address.
  void ExpandAddresses(const RecordList& additional);
  void CreateSubRequest(SubRequestMode mode, const std::string& Name);
  bool IsSubRequest(SubRequestMode mode) const;

  // Steps of AskNS (ask_ns.cpp). Those returning bool return true when
  // AskNS is to start over, false when it is done.
  bool AskNextServer();
  bool AskAddressed(int16_t min_count);
  bool FindAddressLocally(int16_t min_count);
  bool ResolveServerAddress(int16_t min_count);
  size_t PickAtRandom(int16_t min_count, bool need_address);
  bool IsThisServer(const std::string& ip) const;
  void SendQuery(size_t pick, int16_t min_count);
  // Opens query id to ip and sends it.
  void Send(const std::string& ip, int32_t id, Transport via);
  // Closes query out and sends its question again to its server; how tells
  // the log in which way.
  void AskAgain(std::vector<clDNSRequestOut>::iterator out, Transport via, const std::string& how);
  // The open query with identifier id, or OpenRqOut's end.
  std::vector<clDNSRequestOut>::iterator OpenQuery(int32_t id);

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
  void LogReply(const std::string& client);
  void Deliver(const std::string& message) const;
  // A sub-request hands its answer to the request that started it.
  void DeliverToParent(const std::string& key);

  QueryContext& ctx_;
  std::shared_ptr<clDNSAnswer> Answer;
  std::string LookupName;
  DateTime RequestStart = 0;
  // Candidate name servers and their zone, kept by the resolver.
  std::vector<clNServ> NSCol;
  std::string NSZone;
  // Servers that rejected our OPT record; they are asked without it.
  std::vector<std::string> NoEdns;
};

}  // namespace vell
