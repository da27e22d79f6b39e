#include "query/request.h"

#include <algorithm>
#include <stdexcept>

#include "query/query_context.h"
#include "core/error_report.h"
#include "query/sender.h"
#include "dns/tables.h"
#include "query/reply_writer.h"
#include "query/request_queue.h"

namespace vell {

namespace {

// DNSRECURSION: "<all>", "<none>", or a plain text prefix of the client
// address that ends at its first "*" ("192.168.*"); an empty pattern admits
// everyone.
bool PrefixAdmits(const std::string& pattern, const std::string& ip) {
  if (pattern == "<none>") return false;
  const size_t p = std::min(pattern.find('*'), pattern.size());
  return ip.substr(0, p) == pattern.substr(0, p);
}

}  // namespace

void clDNSRequest::InitRequest() {
  Trap(ctx_.errors, "clDNSRequest InitRequest", [&] {
    Answer = std::make_shared<clDNSAnswer>();
    RequestStart = ctx_.Now();
    LookupName = RequestName;
    const std::string& pattern = ctx_.settings.DNSRECURSION;
    const auto& local = ctx_.LocalIPs;
    Answer->RA = pattern == "<all>" || RequestIP == "127.0.0.1" || Level > 0 ||
                 std::find(local.begin(), local.end(), RequestIP) != local.end() ||
                 PrefixAdmits(pattern, RequestIP);
  });
}

void clDNSRequest::ProcRequest() {
  Trap(ctx_.errors, "clDNSRequest ProcRequest", [&] {
    for (;;) {
      const Recursion rd = RequestRD && Answer->RA ? Recursion::kDesired : Recursion::kNotDesired;
      const auto auth = ctx_.AuthData.Ask(LookupName, RequestType, rd, LookupKind::kFull);
      if (auth->AA) {
        if (Take(auth, false)) continue;
        return;
      }
      const auto cached = ctx_.Cache.Ask(LookupName, RequestType, rd, LookupKind::kFull);
      if (!cached->Section2.empty() || cached->RCode != 0 || cached->AA) {
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
      } else if (Level == 0 || requestID != kFromRoot) {
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
  if (found->RCode == 0 && !found->Section2.empty() && RedoCNAME()) return true;
  SendReply();
  return false;
}

void clDNSRequest::EndWithoutServers() {
  if (Answer->Section2.empty()) Answer->RCode = 2;
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
    State = kAnswered;
    for (const RequestPtr& tagged : TagRequests) tagged->TagReply(Answer);
    if (Level >= 1) {
      DeliverToParent();
      return;
    }
    LogReply();
    Deliver(WriteReply(ctx_, *this, *Answer));
  });
}

void clDNSRequest::DeliverToParent() {
  const RequestPtr parent = ctx_.Requests.Find(RequestIP);
  // Reported like any failure of SendReply: the parent was dropped.
  if (parent == nullptr) throw std::runtime_error("no active request " + RequestIP);
  parent->AddNSAns(Answer, RequestName);
  parent->AskNS();
}

void clDNSRequest::LogReply() {
  if (!ctx_.log.KeepLog && !ctx_.settings.WRITELOG) return;
  const std::string type = TypeN(RequestType);
  ctx_.log.AddLine(0,
                   "Sending reply to " + RequestIP + " about " + type + "-record for " + RequestName + ":");
  if (Answer->RCode != 0) {
    ctx_.log.AddLine(0, "-> Header: " + RCodeN(ctx_.errors, Answer->RCode));
  } else if (Answer->Section2.empty() && ((RequestRD && Answer->RA) || Answer->AA)) {
    ctx_.log.AddLine(0, "-> Answer: There are no " + type + "-Records for " + RequestName);
  }
}

void clDNSRequest::Deliver(const std::string& message) {
  if (RequestPort >= 0) {
    ctx_.sender.SendAnswer(RequestIP, RequestPort, message);
    return;
  }
  // A TCP query is answered through its connection handler. No handler
  // exists yet, so none matches and the reply is dropped, as for a
  // connection that has closed.
}

}  // namespace vell
