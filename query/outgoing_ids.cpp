#include "query/outgoing_ids.h"

#include <algorithm>

#include "core/platform/system_random.h"
#include "core/text.h"

namespace vell {

namespace {

constexpr uint32_t kIdentifiers = 65536;

bool SameQuestion(const Question& a, const Question& b) {
  return a.type == b.type && a.qclass == b.qclass && LowerCase(a.name) == LowerCase(b.name);
}

bool Echoes(const OutgoingQuery& response, const OutgoingQuery& query) {
  return response.local_port == query.local_port && response.port == query.port && response.ip == query.ip &&
         SameQuestion(response.question, query.question);
}

}  // namespace

bool ReadOutgoing(ErrorSink& sink, std::string_view msg, OutgoingQuery& out) {
  ParsedQuery parsed = ParseQuestion(sink, msg);
  if (!parsed.question) return false;
  out.id = parsed.header.id;
  out.question = std::move(*parsed.question);
  return true;
}

int32_t OutgoingIds::Next() {
  ForgetExpired();
  for (;;) {
    const auto id = static_cast<int32_t>(SystemRandomBelow(kIdentifiers));
    if (!open_.contains(id)) return id;
  }
}

void OutgoingIds::Opened(OutgoingQuery query) {
  ForgetExpired();
  const int32_t id = query.id;
  open_.emplace(id, Open{std::move(query), clock_.Now() + Seconds(kOpenSeconds)});
}

bool OutgoingIds::Answered(const OutgoingQuery& response) {
  auto [first, last] = open_.equal_range(response.id);
  const auto match =
      std::find_if(first, last, [&](const auto& entry) { return Echoes(response, entry.second.query); });
  if (match == last) return false;
  open_.erase(match);
  return true;
}

void OutgoingIds::ForgetExpired() {
  const DateTime now = clock_.Now();
  if (now < next_sweep_) return;
  next_sweep_ = now + Seconds(1);
  std::erase_if(open_, [&](const auto& entry) { return entry.second.until < now; });
}

}  // namespace vell
