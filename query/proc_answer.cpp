// ProcAnswer: what a response from a name server does to its request.
#include <algorithm>

#include "dns/header.h"
#include "dns/record_data.h"
#include "query/query_context.h"
#include "query/request.h"
#include "query/zone_suffix.h"

namespace vell {

namespace {

bool HasAddress(const RecordList& additional, const std::string& name) {
  return std::any_of(additional.begin(), additional.end(),
                     [&](const RecordPtr& r) { return r->RecType == kTypeA && r->Name == name; });
}

// The deepest zone the authority section delegates to; empty when it
// holds no NS record.
std::string DelegatedZone(const RecordList& authority) {
  std::string zone;
  for (const RecordPtr& r : authority) {
    if (r->RecType == kTypeNS && r->Name.size() > zone.size()) zone = r->Name;
  }
  return zone;
}

}  // namespace

void clDNSRequest::ProcAnswer(const std::shared_ptr<clDNSAnswer>& response) {
  Trap(ctx_.errors, "clDNSRequest ProcAnswer", [&] {
    clDNSAnswer& r = *response;
    if (!r.RqName.empty() && (r.RqName != LookupName || r.RqType != Request.type)) {
      return;  // an answer to some other question
    }
    if (r.RCode != header::kRCodeNoError && r.RCode != header::kRCodeNameError) {
      ServerFailed(r.Id);
      return;
    }
    if (ctx_.settings.SPOOFSECURE) {
      KeepOnlyInZone(r);
      ctx_.Cache.CacheAdd(r);
    }
    if (!IsFinal(r)) {
      FollowReferral(r);
      return;
    }
    if (Take(response, true)) ProcRequest();
  });
}

std::string clDNSRequest::ForgetQueriesTo(int32_t id) {
  const auto out = OpenQuery(id);
  if (out == OpenRqOut.end()) return {};
  std::string ip = out->IP;
  std::erase_if(OpenRqOut, [&](const clDNSRequestOut& o) { return o.IP == ip; });
  return ip;
}

void clDNSRequest::ServerFailed(int32_t id) {
  const std::string ip = ForgetQueriesTo(id);
  const auto entry = std::find_if(NSCol.begin(), NSCol.end(), [&](const clNServ& s) { return s.IP == ip; });
  if (!ip.empty() && entry != NSCol.end()) NSCol.erase(entry);
  AskNS();
}

void clDNSRequest::KeepOnlyInZone(clDNSAnswer& response) const {
  // The forwarders' and the root servers' answers may speak of any name.
  if (NSZone.size() <= 1) return;
  for (RecordList* section : {&response.Section2, &response.Section3, &response.Section4}) {
    std::erase_if(*section, [&](const RecordPtr& r) { return !LiesInside(r->Name, NSZone); });
  }
}

bool clDNSRequest::IsFinal(const clDNSAnswer& response) const {
  const RecordList& authority = response.Section3;
  return !response.Section2.empty() || response.RCode == header::kRCodeNameError ||
         (authority.size() == 1 && authority[0]->RecType == kTypeSOA) || response.AA ||
         ctx_.settings.RECURSIONOUT;
}

void clDNSRequest::FollowReferral(clDNSAnswer& response) {
  const std::string zone = DelegatedZone(response.Section3);
  // A referral must come closer to the name, on its path.
  if (zone.empty() || zone.size() <= NSZone.size() || !LiesInside(LookupName, zone)) {
    LameServer(response.Id);
    return;
  }
  RecordList servers;
  for (const RecordPtr& r : response.Section3) {
    if (r->RecType != kTypeNS || r->Name != zone) continue;
    // A server inside the zone is reachable only through its glue.
    if (LiesInside(r->Data, zone) && !HasAddress(response.Section4, r->Data)) continue;
    servers.push_back(r);
  }
  if (servers.empty()) {
    LameServer(response.Id);
    return;
  }
  NSCol.clear();
  OpenRqOut.clear();
  for (const RecordPtr& ns : servers) NSCol.push_back(clNServ{ns->Data, {}, 0, {}});
  ExpandAddresses(response.Section4);
  NSZone = zone;
  AskNS();
}

void clDNSRequest::LameServer(int32_t id) {
  const std::string ip = ForgetQueriesTo(id);
  const auto entry = std::find_if(NSCol.begin(), NSCol.end(), [&](const clNServ& s) { return s.IP == ip; });
  if (!ip.empty() && entry != NSCol.end()) {
    ctx_.log.AddLine(2, "** Error: Lame delegation for " + NSZone + " on " + entry->Name + " (" + ip + ")");
    ctx_.Cache.RemoveNS(NSZone, entry->Name);
    NSCol.erase(entry);
  }
  AskNS();
}

}  // namespace vell
