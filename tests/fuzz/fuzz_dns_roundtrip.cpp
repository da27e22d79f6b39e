// A name encoded by ZipName against an arbitrary message decodes back to
// itself. Input: two octets giving the length of the message built so far,
// that many octets, then the name. Name octets outside the label characters
// are mapped onto them; names that cannot round-trip (labels over 63 octets,
// more labels than pointers the decoder follows) are skipped.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "dns/names.h"

namespace {

constexpr std::string_view kLabelChars = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.";

std::string PrintableName(std::string_view octets) {
  std::string name;
  for (unsigned char c : octets) {
    name += kLabelChars.find(static_cast<char>(c)) != std::string_view::npos
                ? static_cast<char>(c)
                : kLabelChars[c % kLabelChars.size()];
  }
  return name;
}

// The text form the decoder should give: non-empty labels, lower case, each
// followed by "."; "." for none. Empty when the name cannot round-trip.
std::string ExpectedName(const std::string& name) {
  std::string expected;
  size_t labels = 0;
  for (size_t start = 0; start < name.size();) {
    const size_t dot = std::min(name.find('.', start), name.size());
    if (dot - start > 63) return "";
    if (dot > start) {
      ++labels;
      for (size_t i = start; i < dot; ++i) expected += static_cast<char>(std::tolower(name[i]));
      expected += '.';
    }
    start = dot + 1;
  }
  // Each compression pass absorbs at least one label into a pointer.
  if (labels > static_cast<size_t>(vell::kMaxNamePointers)) return "";
  return labels == 0 ? "." : expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t message_size = std::min<size_t>((data[0] << 8 | data[1]), size - 2);
  std::string message(input.substr(2, message_size));
  const std::string name = PrintableName(input.substr(2 + message_size));
  const std::string expected = ExpectedName(name);
  if (expected.empty()) return 0;

  vell::RecordingErrorSink sink;
  const std::string wire = vell::ZipName(sink, message, name);
  const size_t name_offset = message.size();
  message += wire;
  std::string rest = message.substr(name_offset);
  const std::string decoded = vell::ExtractName(sink, message, rest, true);
  if (!sink.entries.empty() || decoded != expected || !rest.empty()) {
    std::fprintf(stderr, "round trip of \"%s\": decoded \"%s\", expected \"%s\", %zu octets left\n",
                 name.c_str(), decoded.c_str(), expected.c_str(), rest.size());
    std::abort();
  }
  return 0;
}
