// Cost of the name codec on a typical reply: the question www.example.com.
// A, ten A records for it, the zone's NS record in the authority section and
// the name server's address in the additional section. Every name is
// compressed against the message built so far, as the reply writer does.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/ip.h"
#include "dns/header.h"
#include "dns/names.h"
#include "dns/record_data.h"
#include "dns/wire.h"

namespace {

using vell::MakeInt;
using vell::ZipName;

constexpr int kAnswers = 10;

void AppendRecord(vell::ErrorSink& sink, std::string& message, const std::string& owner, int16_t type,
                  const std::string& rdata) {
  message += ZipName(sink, message, owner);
  message +=
      MakeInt(type) + MakeInt(1) + vell::MakeLong(sink, 3600) + MakeInt(static_cast<int32_t>(rdata.size()));
  message += rdata;
}

// Record data as the zone holds it, made once outside the timed loops.
const std::vector<std::string>& Addresses() {
  static const std::vector<std::string> addresses = [] {
    std::vector<std::string> list;
    for (int i = 1; i <= kAnswers; ++i) list.push_back(vell::IPToData("192.168.0." + std::to_string(i)));
    return list;
  }();
  return addresses;
}

const std::string& NameServerAddress() {
  static const std::string address = vell::IPToData("192.168.0.53");
  return address;
}

std::string BuildReply(vell::ErrorSink& sink) {
  std::string message = vell::MakeInt(0x1234);
  message += static_cast<char>(vell::header::kQR | vell::header::kAA | vell::header::kRD);
  message += static_cast<char>(vell::header::kRA);
  message += MakeInt(1) + MakeInt(kAnswers) + MakeInt(1) + MakeInt(1);
  message += ZipName(sink, message, "www.example.com.") + MakeInt(vell::kTypeA) + MakeInt(1);
  for (const std::string& address : Addresses())
    AppendRecord(sink, message, "www.example.com.", vell::kTypeA, address);
  // A name inside RDATA is compressed against everything before it, too.
  std::string ns = message + ZipName(sink, message, "example.com.") + std::string(10, '\0');
  AppendRecord(sink, message, "example.com.", vell::kTypeNS, ZipName(sink, ns, "ns1.example.com."));
  AppendRecord(sink, message, "ns1.example.com.", vell::kTypeA, NameServerAddress());
  return message;
}

// Decodes every name of the reply; Rest is std::string or std::string_view.
template <class Rest>
size_t DecodeAllNames(vell::ErrorSink& sink, const std::string& message) {
  Rest rest = Rest(message).substr(vell::header::kSize);
  size_t total = vell::ExtractName(sink, message, rest, true).size();
  vell::GetLong(rest, true);  // QTYPE, QCLASS
  for (int i = 0; i < kAnswers + 2; ++i) {
    total += vell::ExtractName(sink, message, rest, true).size();
    const int16_t type = vell::GetInt(rest, true);
    vell::GetInt(rest, true);   // CLASS
    vell::GetLong(rest, true);  // TTL
    const int16_t length = vell::GetInt(rest, true);
    if (type == vell::kTypeNS) {
      Rest rdata = rest.substr(0, length);
      total += vell::ExtractName(sink, message, rdata, true).size();
    }
    rest = rest.substr(length);
  }
  return total;
}

void BM_ZipNameReply(benchmark::State& state) {
  vell::RecordingErrorSink sink;
  for (auto _ : state) benchmark::DoNotOptimize(BuildReply(sink));
  state.SetLabel("one reply, 14 names");
}
BENCHMARK(BM_ZipNameReply);

template <class Rest>
void BM_ExtractNameReply(benchmark::State& state) {
  vell::RecordingErrorSink sink;
  const std::string reply = BuildReply(sink);
  for (auto _ : state) benchmark::DoNotOptimize(DecodeAllNames<Rest>(sink, reply));
  state.SetLabel(std::to_string(reply.size()) + "-octet reply, 14 names");
}
BENCHMARK_TEMPLATE(BM_ExtractNameReply, std::string_view);
BENCHMARK_TEMPLATE(BM_ExtractNameReply, std::string);

}  // namespace
