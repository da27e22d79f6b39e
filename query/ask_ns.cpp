// AskNS: choosing the next name server and sending it the query.
#include <algorithm>
#include <random>

#include "dns/header.h"
#include "dns/message.h"
#include "dns/record_data.h"
#include "dns/tables.h"
#include "query/query_context.h"
#include "query/request.h"
#include "query/sender.h"
#include "query/zone_suffix.h"

namespace vell {

namespace {

constexpr int16_t kLastRoundCount = 4;  // a server asked this often is asked once more, at most
constexpr int16_t kDeepestLevel = 3;
constexpr double kQueryTimeOutSeconds = 0.5;
// A CNAME cycle among server names in local data would keep the look-ups
// turning for ever; after this many rounds the request gives up.
constexpr int kMaxRounds = 1000;

}  // namespace

void clDNSRequest::AskNS() {
  Trap(ctx_.errors, "clDNSRequest AskNS", [&] {
    for (int round = 0; AskNextServer(); ++round) {
      if (round == kMaxRounds) NSCol.clear();
    }
  });
}

bool clDNSRequest::AskNextServer() {
  State = RequestState::kWaitingForServer;
  if (NSCol.empty()) {
    EndWithoutServers();
    return false;
  }
  const int16_t min_count =
      std::min_element(NSCol.begin(), NSCol.end(), [](const clNServ& a, const clNServ& b) {
        return a.Count < b.Count;
      })->Count;
  const bool addressed = std::any_of(NSCol.begin(), NSCol.end(),
                                     [&](const clNServ& s) { return !s.IP.empty() && s.Count == min_count; });
  if (addressed) return AskAddressed(min_count);
  if (FindAddressLocally(min_count)) return true;
  if (Level >= kDeepestLevel) {
    std::erase_if(NSCol, [&](const clNServ& s) { return s.Count == min_count; });
    return true;
  }
  return ResolveServerAddress(min_count);
}

size_t clDNSRequest::PickAtRandom(int16_t min_count, bool need_address) {
  std::uniform_int_distribution<size_t> position(0, NSCol.size() - 1);
  for (;;) {
    const size_t pick = position(ctx_.Random);
    const clNServ& s = NSCol[pick];
    if (s.Count == min_count && (!need_address || !s.IP.empty())) return pick;
  }
}

bool clDNSRequest::AskAddressed(int16_t min_count) {
  const size_t pick = PickAtRandom(min_count, true);
  if (IsThisServer(NSCol[pick].IP)) {
    ctx_.log.AddLine(0, "** Error: Lame delegation on this server (" + NSCol[pick].IP + ") for " + NSZone);
    NSCol.erase(NSCol.begin() + static_cast<std::ptrdiff_t>(pick));
    return true;
  }
  SendQuery(pick, min_count);
  return false;
}

bool clDNSRequest::IsThisServer(const std::string& ip) const {
  if (ip == "127.0.0.1") return true;
  const std::string& bound = ctx_.settings.DNSBIND;
  if (!bound.empty()) return ip == bound;
  return std::find(ctx_.LocalIPs.begin(), ctx_.LocalIPs.end(), ip) != ctx_.LocalIPs.end();
}

bool clDNSRequest::FindAddressLocally(int16_t min_count) {
  for (size_t pos = 0; pos < NSCol.size(); ++pos) {
    if (NSCol[pos].Count != min_count) continue;
    const std::string name = NSCol[pos].Name;
    const auto auth = ctx_.AuthData.Ask(name, kTypeA, Recursion::kDesired, LookupKind::kQuick);
    if (auth->AA) {
      AddNSAns(auth, name);
      return true;
    }
    const auto cached = ctx_.Cache.Ask(name, kTypeA, Recursion::kDesired, LookupKind::kQuick);
    if (!cached->Section2.empty() || cached->RCode != header::kRCodeNoError) {
      AddNSAns(cached, name);
      return true;
    }
  }
  return false;
}

bool clDNSRequest::ResolveServerAddress(int16_t min_count) {
  const size_t pick = PickAtRandom(min_count, false);
  const std::string name = NSCol[pick].Name;
  if (!LiesInside(name, NSZone)) {
    State = RequestState::kWaitingForSubRequest;
    CreateSubRequest(SubRequestMode::kResolveNormally, name);
    return false;
  }
  // A server inside the zone it serves can only be found from above it.
  if (!IsSubRequest(SubRequestMode::kRootTaken)) {
    State = RequestState::kWaitingForSubRequest;
    CreateSubRequest(SubRequestMode::kFromRoot, name);
    return false;
  }
  NSCol.erase(NSCol.begin() + static_cast<std::ptrdiff_t>(pick));
  return true;
}

void clDNSRequest::SendQuery(size_t pick, int16_t min_count) {
  const clNServ server = NSCol[pick];
  NSCol[pick].Count = static_cast<int16_t>(min_count + 1);
  // Every remaining server has had its turns: this is its last query,
  // unless a client's request is younger than MINTIMEOUT.
  const bool long_enough = ctx_.Now() - RequestStart > Seconds(ctx_.settings.MINTIMEOUT);
  if (min_count >= kLastRoundCount && (Level > 0 || long_enough)) {
    NSCol.erase(NSCol.begin() + static_cast<std::ptrdiff_t>(pick));
  }
  if (ctx_.log.Writes(2)) {
    ctx_.log.AddLine(2, "Sending request to " + server.Name + " (" + server.IP + ") for " +
                            TypeN(Request.type) + "-record for " + LookupName);
  }
  Send(server.IP, ctx_.QueryIds.Next(), Transport::kUdp);
}

void clDNSRequest::Send(const std::string& ip, int32_t id, Transport via) {
  OpenRqOut.push_back({id, ip});
  TimeOut = ctx_.Now() + Seconds(kQueryTimeOutSeconds);
  // Recursion is asked of forwarders only.
  const Question question{LookupName, Request.type, kClassIN};
  const bool edns = std::find(NoEdns.begin(), NoEdns.end(), ip) == NoEdns.end();
  const std::string query = BuildQuery(ctx_.errors, id, ctx_.settings.RECURSIONOUT, question, edns);
  if (via == Transport::kTcp) {
    ctx_.sender.SendRequestOverTcp(ip, query);
  } else {
    ctx_.sender.SendRequest(ip, query);
  }
}

}  // namespace vell
