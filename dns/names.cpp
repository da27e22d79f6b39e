#include "dns/names.h"

#include <algorithm>

#include "core/text.h"

namespace vell {

namespace {

constexpr unsigned kPointerTag = 0xC0;
// A pointer holds 14 bits; a match at or beyond this offset cannot be used.
constexpr size_t kMaxPointerOffset = 0x3FFF;

unsigned Octet(std::string_view s, size_t i) { return static_cast<unsigned char>(s[i]); }

void FoldAZ(std::string& s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

std::string DecodeName(std::string_view message, std::string_view& rest, bool advance) {
  std::string name;
  std::string_view source = rest;  // until the first pointer, read from rest
  size_t pos = 0;
  int pointers = 0;
  for (;;) {
    if (pos >= source.size() || pointers > kMaxNamePointers) {
      if (advance) rest = {};
      name += kIncompleteSuffix;
      FoldAZ(name);
      return name;
    }
    const unsigned length = Octet(source, pos);
    if (length == 0) {
      if (advance) rest = source.substr(pos + 1);
      if (name.empty()) return ".";
      FoldAZ(name);
      return name;
    }
    if (length < kPointerTag) {
      name.append(source.substr(pos + 1, length));  // a label cut short keeps what is there
      name += '.';
      pos += 1 + length;
      continue;
    }
    ++pointers;
    if (advance) {  // only the first pointer moves rest
      rest = source.substr(std::min(pos + 2, source.size()));
      advance = false;
    }
    const unsigned low = pos + 1 < source.size() ? Octet(source, pos + 1) : 0;
    pos = (length & 0x3F) << 8 | low;
    source = message;
  }
}

// Labels in order, each as a length octet and its octets, then a zero octet.
std::string EncodeName(std::string_view text) {
  std::string wire;
  while (!text.empty()) {
    const size_t dot = std::min(text.find('.'), text.size());
    if (dot > 0) {
      if (dot > 255) RaiseOverflow();
      wire += static_cast<char>(dot);
      wire.append(text.substr(0, dot));
    }
    text.remove_prefix(std::min(dot + 1, text.size()));
  }
  wire += '\0';
  return wire;
}

std::string PointerTo(size_t offset) {
  return {static_cast<char>(kPointerTag | offset >> 8), static_cast<char>(offset & 0xFF)};
}

// Replaces the longest suffix of the encoding found in message by a
// pointer. After a replacement the shortened form (labels plus pointer) is
// searched again, which finds an earlier name written as the same labels
// followed by the same pointer. The encoding is held as head (labels kept)
// and tail (the part being searched for) in one buffer split at `split`.
std::string Compress(std::string_view message, std::string wire) {
  size_t split = 0;
  for (;;) {
    const std::string_view tail = std::string_view(wire).substr(split);
    const size_t found = message.find(tail);
    if (found != std::string_view::npos && found <= kMaxPointerOffset) {
      if (split == 0) return PointerTo(found);
      wire.replace(split, std::string::npos, PointerTo(found));
      split = 0;
      continue;
    }
    const size_t label = Octet(wire, split);
    const unsigned next = Octet(wire, split + label + 1);
    if (next == 0 || next >= kPointerTag) return wire;  // a single label, or labels before a pointer
    split += label + 1;
  }
}

}  // namespace

std::string ExtractName(ErrorSink& sink, std::string_view message, std::string_view& rest, bool advance) {
  return TrapOr(sink, "modDNS ExtractName", std::string(),
                [&] { return DecodeName(message, rest, advance); });
}

std::string ExtractName(ErrorSink& sink, const std::string& message, std::string& rest, bool advance) {
  std::string_view unread = rest;
  std::string name = ExtractName(sink, std::string_view(message), unread, advance);
  if (advance) rest.erase(0, rest.size() - unread.size());
  return name;
}

std::string ZipName(ErrorSink& sink, std::string_view message, std::string_view name) {
  return TrapOr(sink, "modDNS ZipName", std::string(), [&] {
    std::string wire = EncodeName(name);
    return wire.size() == 1 ? wire : Compress(message, std::move(wire));
  });
}

std::string QualifyName(const std::string& origin, const std::string& name) {
  std::string absolute = CleanNameF(name) + ".";
  if (!name.empty() && name.back() == '.') return absolute;
  if (origin.empty() || origin == ".") return absolute;
  return absolute + origin;
}

}  // namespace vell
