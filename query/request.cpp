#include "query/request.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "core/error_report.h"
#include "dns/header.h"
#include "dns/tables.h"
#include "query/query_context.h"
#include "query/reply_writer.h"
#include "query/request_queue.h"
#include "query/sender.h"

namespace vell {

namespace {

bool MayRecurse(const QueryContext& ctx, const std::string& ip) {
  const std::string& pattern = ctx.settings.DNSRECURSION;
  const auto& local = ctx.LocalIPs;
  return pattern == "<all>" || ip == "127.0.0.1" ||
         std::find(local.begin(), local.end(), ip) != local.end() || RecursionPrefixAdmits(pattern, ip);
}

// The address of the client that asked; nullptr for a sub-request.
const std::string* ClientIP(const RequestOrigin& origin) {
  if (const auto* udp = std::get_if<UdpClient>(&origin)) return &udp->ip;
  if (const auto* tcp = std::get_if<TcpClient>(&origin)) return &tcp->ip;
  return nullptr;
}

}  // namespace

clDNSRequest::clDNSRequest(QueryContext& ctx, RequestOrigin origin, int32_t id, bool rd, Question question,
                           int16_t level)
    : Origin(std::move(origin)),
      requestID(id),
      RequestRD(rd),
      Request(std::move(question)),
      Level(level),
      ctx_(ctx) {}

void clDNSRequest::InitRequest() {
  Trap(ctx_.errors, "clDNSRequest InitRequest", [&] {
    Answer = std::make_shared<clDNSAnswer>();
    RequestStart = ctx_.Now();
    LookupName = Request.name;
    // A sub-request works for a request that may recurse.
    const std::string* client = ClientIP(Origin);
    Answer->RA = client == nullptr || MayRecurse(ctx_, *client);
  });
}

bool clDNSRequest::IsSubRequest(SubRequestMode mode) const {
  const auto* parent = std::get_if<ParentRequest>(&Origin);
  return parent != nullptr && parent->mode == mode;
}

void clDNSRequest::ProcRequest() {
  Trap(ctx_.errors, "clDNSRequest ProcRequest", [&] {
    for (;;) {
      const Recursion rd = RequestRD && Answer->RA ? Recursion::kDesired : Recursion::kNotDesired;
      const auto auth = ctx_.AuthData.Ask(LookupName, Request.type, rd, LookupKind::kFull);
      if (auth->AA) {
        if (Take(auth, false)) continue;
        return;
      }
      if (!Answer->RA && !ctx_.AuthData.Serves(LookupName)) {
        Refuse();
        return;
      }
      const auto cached = ctx_.Cache.Ask(LookupName, Request.type, rd, LookupKind::kFull);
      if (!cached->Section2.empty() || cached->RCode != header::kRCodeNoError || cached->AA) {
        if (Take(cached, true)) continue;
        return;
      }
      if (!Answer->RA || !RequestRD) {
        // No recursion: whatever delegation the zones, else the cache, know.
        FillSection(auth->Section3.empty() ? *cached : *auth);
        SendReply();
        return;
      }
      if (ctx_.settings.RECURSIONOUT) {
        StartForwarding();
      } else if (!IsSubRequest(SubRequestMode::kFromRoot)) {
        StartFromDelegation(*auth, *cached);
      } else {
        StartAtRoot();
      }
      return;
    }
  });
}

bool clDNSRequest::Take(const std::shared_ptr<clDNSAnswer>& found, bool clear_aa) {
  if (Answer->Section2.empty()) {
    found->RA = Answer->RA;
    if (clear_aa) found->AA = false;
    Answer = found;
  } else {
    ClearExtra();
    FillSection(*found);
  }
  if (found->RCode == header::kRCodeNoError && !found->Section2.empty() && RedoCNAME()) return true;
  SendReply();
  return false;
}

void clDNSRequest::Refuse() {
  // A client without recursion learns nothing from the cache: an upward
  // referral would show what it holds and turn a small query into a large
  // answer. What the zones gave so far (a CNAME into a foreign name) stays.
  if (Answer->Section2.empty()) Answer->RCode = header::kRCodeRefused;
  SendReply();
}

void clDNSRequest::EndWithoutServers() {
  if (Answer->Section2.empty()) Answer->RCode = header::kRCodeServerFailure;
  SendReply();
}

void clDNSRequest::TagReply(const std::shared_ptr<clDNSAnswer>& RtAns) {
  Answer = RtAns;
  SendReply();
}

void clDNSRequest::FillSection(const clDNSAnswer& src) {
  Trap(ctx_.errors, "clDNSRequest FillSection", [&] {
    Answer->Section2.insert(Answer->Section2.end(), src.Section2.begin(), src.Section2.end());
    Answer->Section3.insert(Answer->Section3.end(), src.Section3.begin(), src.Section3.end());
    Answer->Section4.insert(Answer->Section4.end(), src.Section4.begin(), src.Section4.end());
  });
}

void clDNSRequest::ClearExtra() {
  Answer->Section3.clear();
  Answer->Section4.clear();
}

void clDNSRequest::SendReply() {
  Trap(ctx_.errors, "clDNSRequest SendReply", [&] {
    if (ctx_.settings.AUTOCNAME) CNAMERes();
    State = RequestState::kAnswered;
    for (const RequestPtr& tagged : TagRequests) tagged->TagReply(Answer);
    if (const auto* parent = std::get_if<ParentRequest>(&Origin)) {
      DeliverToParent(parent->key);
      return;
    }
    LogReply(*ClientIP(Origin));
    Deliver(WriteReply(ctx_, *this, *Answer));
  });
}

void clDNSRequest::DeliverToParent(const std::string& key) {
  const RequestPtr parent = ctx_.Requests.Find(key);
  // Reported like any failure of SendReply: the parent was dropped.
  if (parent == nullptr) throw std::runtime_error("no active request " + key);
  parent->AddNSAns(Answer, Request.name);
  parent->AskNS();
}

void clDNSRequest::LogReply(const std::string& client) {
  if (!ctx_.log.Writes(0)) return;
  const std::string type = TypeN(Request.type);
  ctx_.log.AddLine(0, "Sending reply to " + client + " about " + type + "-record for " + Request.name + ":");
  if (Answer->RCode != header::kRCodeNoError) {
    ctx_.log.AddLine(0, "-> Header: " + RCodeN(ctx_.errors, Answer->RCode));
  } else if (Answer->Section2.empty() && ((RequestRD && Answer->RA) || Answer->AA)) {
    ctx_.log.AddLine(0, "-> Answer: There are no " + type + "-Records for " + Request.name);
  }
}

void clDNSRequest::Deliver(const std::string& message) const {
  if (const auto* udp = std::get_if<UdpClient>(&Origin)) {
    ctx_.sender.SendAnswer(udp->ip, udp->port, message);
    return;
  }
  // A TCP query is answered through the connection that asked, while it is
  // open; otherwise the reply is dropped.
  if (const auto* tcp = std::get_if<TcpClient>(&Origin)) ctx_.TCPcon.SendAnswer(tcp->connection, message);
}

}  // namespace vell
