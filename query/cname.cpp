// Following CNAMEs through local data, and the AUTOCNAME rewrite of replies.
#include <algorithm>

#include "dns/record_data.h"
#include "query/query_context.h"
#include "query/request.h"

namespace vell {

namespace {

// Replaces every record of target in section by a copy owned by alias,
// with the smaller of ttl and the record's TTL; the copies go to the end.
void Reown(const Clock& clock, RecordList& section, const std::string& alias, const std::string& target,
           int32_t ttl) {
  // Only the records present when the walk starts are visited: copies are
  // owned by alias, so they can match again only when alias and target are
  // the same name, and revisiting them then would never end.
  size_t end = section.size();
  for (size_t pos = 0; pos < end;) {
    const clDNSRecord& old = *section[pos];
    if (old.Name != target) {
      ++pos;
      continue;
    }
    ttl = std::min(ttl, old.TTL(clock));
    RecordPtr copy = MakeRecord(clock, Lifetime::kLearnt, alias, old.RecType, old.Data, ttl);
    section.erase(section.begin() + static_cast<std::ptrdiff_t>(pos));
    section.push_back(std::move(copy));
    --end;
  }
}

// Collapses the CNAMEs of section: each alias comes to own its target's
// records directly. A chain collapses one link per pass.
void ResolveSection(const Clock& clock, RecordList& section) {
  for (;;) {
    const auto cname = std::find_if(section.begin(), section.end(),
                                    [](const RecordPtr& r) { return r->RecType == kTypeCNAME; });
    if (cname == section.end()) return;
    const std::string alias = (*cname)->Name;
    const std::string target = (*cname)->Data;
    const int32_t ttl = (*cname)->TTL(clock);
    section.erase(cname);
    Reown(clock, section, alias, target, ttl);
  }
}

}  // namespace

bool clDNSRequest::RedoCNAME() {
  return TrapOr(ctx_.errors, "clDNSRequest RedoCNAME", false, [&] {
    if (Request.type == kTypeCNAME || Request.type == kTypeANY) return false;
    const RecordList& answers = Answer->Section2;
    if (answers.empty() || answers.back()->RecType != kTypeCNAME) return false;
    const std::string& target = answers.back()->Data;
    // A name already answered means a loop.
    if (std::any_of(answers.begin(), answers.end(), [&](const RecordPtr& r) { return r->Name == target; })) {
      return false;
    }
    LookupName = target;
    return true;
  });
}

void clDNSRequest::CNAMERes() {
  Trap(ctx_.errors, "clDNSRequest CNAMERes", [&] {
    ResolveSection(ctx_.clock, Answer->Section2);
    ResolveSection(ctx_.clock, Answer->Section3);
    ResolveSection(ctx_.clock, Answer->Section4);
  });
}

}  // namespace vell
