#include "query/reply_writer.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "dns/header.h"
#include "dns/message.h"
#include "dns/names.h"
#include "dns/record_data.h"
#include "dns/record_wire.h"
#include "dns/tables.h"
#include "dns/wire.h"
#include "query/query_context.h"
#include "query/request.h"

namespace vell {

namespace {

constexpr size_t kLongestRun = 100;  // a rotated run ends at this position at the latest

// The order in which the records of a section are written (0-based).
// Each run of A records of one name starts at the record's RoRo and moves
// it on, so successive replies rotate the run; RoRo lives on the shared
// record, so the rotation carries across requests.
std::vector<size_t> RoundRobin(const RecordList& section) {
  const size_t n = section.size();
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i) {
    order[i] = i;
    const clDNSRecord& first = *section[i];
    if (first.RecType != kTypeA) continue;
    size_t j = i;
    while (j + 1 < n && j + 1 < kLongestRun && section[j + 1]->RecType == kTypeA &&
           section[j + 1]->Name == first.Name) {
      ++j;
    }
    if (j == i) continue;
    const size_t span = j - i;
    const size_t k0 = static_cast<size_t>(first.RoRo) > span ? 0 : static_cast<size_t>(first.RoRo);
    size_t k = k0;
    for (size_t m = i; m <= j; ++m) {
      order[m] = i + k;
      k = k == span ? 0 : k + 1;
    }
    section[i]->RoRo = static_cast<int16_t>(k0 + 1 > span ? 0 : k0 + 1);
    i = j;
  }
  return order;
}

void WriteRecord(QueryContext& ctx, std::string& message, int section, const clDNSRecord& record) {
  message += ZipName(ctx.errors, message, record.Name);
  message += MakeInt(record.RecType);
  message += MakeInt(kClassIN);  // whatever the question's class
  const int32_t ttl = record.TTL(ctx.clock);
  message += MakeLong(ctx.errors, ttl < 0 ? 0 : ttl);
  const std::string rdata = WireRData(ctx.errors, message, record);
  message += MakeInt(static_cast<int32_t>(rdata.size()));
  message += rdata;
  if (ctx.log.Writes(1)) {
    ctx.log.AddLine(1, "-> " + std::string(SectionNames(section)) + ": " + RecText(record));
  }
}

void WriteSection(QueryContext& ctx, std::string& message, int section, const RecordList& records) {
  if (!ctx.settings.ROUNDROBIN) {
    for (const RecordPtr& record : records) WriteRecord(ctx, message, section, *record);
    return;
  }
  for (size_t i : RoundRobin(records)) WriteRecord(ctx, message, section, *records[i]);
}

}  // namespace

std::string WriteReply(QueryContext& ctx, const clDNSRequest& request, const clDNSAnswer& answer) {
  std::string message;
  message.reserve(512);
  message += MakeUInt(request.requestID);
  message +=
      static_cast<char>(header::kQR | (answer.AA ? header::kAA : 0) | (request.RequestRD ? header::kRD : 0));
  message += static_cast<char>((answer.RA ? header::kRA : 0) + answer.RCode);
  message += MakeInt(1);  // QDCOUNT
  message += MakeInt(static_cast<int32_t>(answer.Section2.size()));
  message += MakeInt(static_cast<int32_t>(answer.Section3.size()));
  message += MakeInt(static_cast<int32_t>(answer.Section4.size()));
  message += ZipName(ctx.errors, message, request.Request.name);
  message += MakeInt(request.Request.type);
  message += MakeInt(request.Request.qclass);
  WriteSection(ctx, message, 2, answer.Section2);
  WriteSection(ctx, message, 3, answer.Section3);
  WriteSection(ctx, message, 4, answer.Section4);
  return message;
}

}  // namespace vell
