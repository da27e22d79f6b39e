// Where recursion starts, the candidate list and its addresses, and the
// sub-requests that find addresses no local data holds.
#include <algorithm>

#include "core/ip.h"
#include "dns/header.h"
#include "dns/message.h"
#include "dns/record_data.h"
#include "query/query_context.h"
#include "query/request.h"
#include "query/request_queue.h"

namespace vell {

namespace {

constexpr char kForwarderName[] = "Forward-DNS";
constexpr int16_t kNoSuchType = 200;  // no record has it: the cache answers with its root delegation

clNServ Server(const std::string& name, const std::string& ip = {}, const std::string& from_cname = {}) {
  clNServ server;
  server.Name = name;
  server.IP = ip;
  server.FromCNAME = from_cname;
  return server;
}

}  // namespace

void clDNSRequest::StartForwarding() {
  NSCol.clear();
  OpenRqOut.clear();
  for (const std::string& ip : ctx_.settings.NS) NSCol.push_back(Server(kForwarderName, ip));
  NSZone.assign(1, '.');  // plain assignment of "." trips a false -Wrestrict of g++ 12
  AskNS();
}

void clDNSRequest::StartFromDelegation(const clDNSAnswer& auth, const clDNSAnswer& cached) {
  const clDNSAnswer* from = nullptr;
  if (!auth.Section3.empty()) {
    // The closer delegation wins; the zones' own on a tie.
    const bool auth_closer =
        cached.Section3.empty() || auth.Section3[0]->Name.size() >= cached.Section3[0]->Name.size();
    from = auth_closer ? &auth : &cached;
  } else if (!cached.Section3.empty()) {
    from = &cached;
  }
  if (from == nullptr) {
    EndWithoutServers();  // not even root hints are known
    return;
  }
  FillNSCol(*from);
  AskNS();
}

void clDNSRequest::StartAtRoot() {
  std::get<ParentRequest>(Origin).mode = SubRequestMode::kRootTaken;
  const auto root = ctx_.Cache.Ask(".", kNoSuchType, Recursion::kNotDesired, LookupKind::kFull);
  FillNSCol(*root);
  AskNS();
}

void clDNSRequest::FillNSCol(const clDNSAnswer& src) {
  Trap(ctx_.errors, "clDNSRequest FillNSCol", [&] {
    NSCol.clear();
    OpenRqOut.clear();
    NSZone = src.Section3.at(0)->Name;
    for (const RecordPtr& ns : src.Section3) NSCol.push_back(Server(ns->Data));
    ExpandAddresses(src.Section4);
  });
}

void clDNSRequest::ExpandAddresses(const RecordList& additional) {
  for (size_t pos = 0; pos < NSCol.size();) {
    if (!NSCol[pos].IP.empty()) {
      ++pos;
      continue;
    }
    const std::string name = NSCol[pos].Name;
    bool found = false;
    for (const RecordPtr& a : additional) {
      if (a->RecType != kTypeA || a->Name != name) continue;
      NSCol.push_back(Server(name, DataToIP(a->Data)));
      found = true;
    }
    // The next entry moves into this position.
    if (found) {
      NSCol.erase(NSCol.begin() + static_cast<std::ptrdiff_t>(pos));
    } else {
      ++pos;
    }
  }
}

void clDNSRequest::AddNSAns(const std::shared_ptr<clDNSAnswer>& RtAns, const std::string& Name) {
  Trap(ctx_.errors, "clDNSRequest AddNSAns", [&] {
    const auto entry =
        std::find_if(NSCol.begin(), NSCol.end(), [&](const clNServ& s) { return s.Name == Name; });
    if (entry == NSCol.end()) return;
    std::string from_cname = entry->FromCNAME;
    NSCol.erase(entry);
    if (RtAns->RCode != header::kRCodeNoError || RtAns->Section2.empty()) return;  // the server is dropped
    // Walked on a copy: the answer may be shared with other requests.
    RecordList answers = RtAns->Section2;
    std::string name = Name;
    while (!answers.empty() && answers[0]->RecType == kTypeCNAME && answers[0]->Name == name) {
      const std::string& target = answers[0]->Data;
      if (target == from_cname) return;  // a loop
      if (answers.size() == 1) {
        // The address of the target is still to be found.
        NSCol.push_back(Server(target, {}, from_cname.empty() ? name : from_cname));
        return;
      }
      if (from_cname.empty()) from_cname = name;
      name = target;
      answers.erase(answers.begin());
    }
    for (const RecordPtr& a : answers) {
      if (a->RecType == kTypeA && a->Name == name) NSCol.push_back(Server(name, DataToIP(a->Data)));
    }
  });
}

void clDNSRequest::CreateSubRequest(SubRequestMode mode, const std::string& Name) {
  Trap(ctx_.errors, "clDNSRequest CreateSubRequest", [&] {
    ctx_.Requests.AddSubRequest(std::make_shared<clDNSRequest>(ctx_, ParentRequest{RequestKey, mode}, 0, true,
                                                               Question{Name, kTypeA, kClassIN},
                                                               static_cast<int16_t>(Level + 1)));
  });
}

}  // namespace vell
