// Arbitrary octets to the name decoder and the integer readers. The first
// octet picks where the name starts and whether rest advances; the rest of
// the input is the message. Both decoder overloads must agree.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "dns/names.h"
#include "dns/wire.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_dns_names: %s\n", what);
    std::abort();
  }
}

void DecodeName(const std::string& message, size_t start, bool advance) {
  vell::RecordingErrorSink sink;
  std::string rest = message.substr(start);
  const std::string name = vell::ExtractName(sink, message, rest, advance);
  std::string_view rest_view = std::string_view(message).substr(start);
  const std::string name_view = vell::ExtractName(sink, std::string_view(message), rest_view, advance);

  Check(sink.entries.empty(), "decoder reported an error");
  Check(name == name_view, "overloads decode differently");
  Check(rest == rest_view, "overloads leave different rests");
  Check(!name.empty() && name.back() == '.', "name without trailing dot");
  Check(name.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos, "upper case in name");
  Check(advance || rest.size() == message.size() - start, "rest moved without advance");
  Check(message.compare(message.size() - rest.size(), rest.size(), rest) == 0, "rest is not a tail");
}

void ReadIntegers(const std::string& message) {
  std::string data = message;
  std::string_view view = message;
  while (!data.empty()) {
    const bool consume_four = static_cast<unsigned char>(data[0]) & 1;
    Check(vell::GetInt(view, false) >= 0 && vell::GetInt(data, false) >= 0, "negative GetInt");
    Check(vell::GetInt(data, false) <= 65535, "GetUInt out of range");
    Check(vell::GetLong(view, consume_four) == vell::GetLong(data, consume_four), "GetLong overloads differ");
    Check(vell::GetInt(view, !consume_four) == vell::GetInt(data, !consume_four), "GetUInt overloads differ");
    Check(view == data, "readers consume differently");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string message(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t start = message.empty() ? 0 : (data[0] >> 1) % message.size();
  DecodeName(message, start, data[0] & 1);
  ReadIntegers(message);
  return 0;
}
