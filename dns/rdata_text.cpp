#include "dns/rdata_text.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <map>
#include <string_view>

#include "core/text.h"
#include "dns/names.h"
#include "dns/record_data.h"
#include "dns/tables.h"
#include "dns/wire.h"

namespace vell {

namespace {

// The fields of each type's text form, in order: 1, 2, 4 an unsigned number
// of that many octets; s a character-string; n a name; 6 an IPv6 address;
// h hex, b base64 and r a raw string, each to the end of the line; v the
// service parameters of SVCB and HTTPS (RFC 9460).
struct TextForm {
  int32_t type;
  std::string_view fields;
};
constexpr std::array<TextForm, 9> kTextForms = {{{kTypeAAAA, "6"},
                                                 {35, "22sssn"},  // NAPTR
                                                 {43, "211h"},    // DS
                                                 {44, "11h"},     // SSHFP
                                                 {48, "211b"},    // DNSKEY
                                                 {52, "111h"},    // TLSA
                                                 {64, "2nv"},     // SVCB
                                                 {65, "2nv"},     // HTTPS
                                                 {257, "1sr"}}};  // CAA

constexpr std::string_view kGenericMark = "\\#";
constexpr std::string_view kGenericPrefix = "TYPE";
constexpr size_t kIPv6Octets = 16;

using Result = std::optional<std::string>;

void SkipBlanks(std::string& rest) { rest.erase(0, std::min(rest.find_first_not_of(' '), rest.size())); }

// One word, or a quoted string with \" and \DDD (decimal) escapes.
Result TakeWord(std::string& rest) {
  SkipBlanks(rest);
  if (rest.empty()) return std::nullopt;
  if (rest[0] != '"') return NextToken(rest);
  std::string word;
  size_t i = 1;
  for (; i < rest.size() && rest[i] != '"'; ++i) {
    const bool decimal = rest[i] == '\\' && i + 3 < rest.size() &&
                         std::all_of(&rest[i + 1], &rest[i + 4], [](char c) { return c >= '0' && c <= '9'; });
    if (decimal) {
      word += static_cast<char>(std::stoi(rest.substr(i + 1, 3)) & 0xFF);
      i += 3;
    } else {
      if (rest[i] == '\\' && i + 1 < rest.size()) ++i;
      word += rest[i];
    }
  }
  rest.erase(0, std::min(i + 1, rest.size()));
  return word;
}

std::optional<uint32_t> Unsigned(const std::string& word, uint32_t max) {
  if (word.empty() || word.size() > 10 || word.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const uint64_t value = std::stoull(word);
  if (value > max) return std::nullopt;
  return static_cast<uint32_t>(value);
}

Result NumberField(const std::string& word, int octets) {
  const auto value = Unsigned(word, octets == 4 ? 0xFFFFFFFFu : (1u << (8 * octets)) - 1);
  if (!value) return std::nullopt;
  std::string out;
  for (int shift = 8 * (octets - 1); shift >= 0; shift -= 8) out += static_cast<char>(*value >> shift & 0xFF);
  return out;
}

Result CharString(const std::string& text) {
  if (text.size() > 255) return std::nullopt;
  return static_cast<char>(text.size()) + text;
}

Result Address(int family, const std::string& text) {
  std::array<char, kIPv6Octets> octets{};
  if (inet_pton(family, text.c_str(), octets.data()) != 1) return std::nullopt;
  return std::string(octets.data(), family == AF_INET6 ? kIPv6Octets : 4);
}

Result Hex(std::string text) {
  std::erase(text, ' ');
  if (text.size() % 2 != 0 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    return std::nullopt;
  }
  return HexToHW(text);
}

int Base64Value(char c) {
  constexpr std::string_view kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const size_t at = kDigits.find(c);
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

Result Base64(std::string text) {
  std::erase(text, ' ');
  while (!text.empty() && text.back() == '=') text.pop_back();
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    const int value = Base64Value(c);
    if (value < 0) return std::nullopt;
    bits = bits << 6 | static_cast<uint32_t>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>(bits >> count & 0xFF);
    }
  }
  return out;
}

// A comma-separated list, each item converted.
template <class Convert>
Result List(const std::string& text, Convert convert) {
  std::string out;
  for (size_t from = 0; from <= text.size();) {
    const size_t comma = std::min(text.find(',', from), text.size());
    const Result item = convert(text.substr(from, comma - from));
    if (!item) return std::nullopt;
    out += *item;
    from = comma + 1;
  }
  return out;
}

constexpr std::array<std::string_view, 7> kSvcKeys = {"mandatory", "alpn", "no-default-alpn", "port",
                                                      "ipv4hint",  "ech",  "ipv6hint"};

std::optional<uint32_t> SvcKey(const std::string& name) {
  const auto known = std::find(kSvcKeys.begin(), kSvcKeys.end(), name);
  if (known != kSvcKeys.end()) return static_cast<uint32_t>(known - kSvcKeys.begin());
  if (!name.starts_with("key")) return std::nullopt;
  return Unsigned(name.substr(3), 0xFFFF);
}

Result SvcValue(uint32_t key, const std::string& value) {
  switch (key) {
    case 0:
      return List(value, [](const std::string& k) -> Result {
        const auto n = SvcKey(k);
        return n ? Result(MakeInt(static_cast<int32_t>(*n))) : std::nullopt;
      });
    case 1:
      return List(value, CharString);
    case 2:
      return value.empty() ? Result("") : std::nullopt;
    case 3:
      return NumberField(value, 2);
    case 4:
      return List(value, [](const std::string& a) { return Address(AF_INET, a); });
    case 5:
      return Base64(value);
    case 6:
      return List(value, [](const std::string& a) { return Address(AF_INET6, a); });
    default:
      return value;
  }
}

// key=value pairs (value quoted or not, or absent), written in key order.
Result SvcParams(std::string& rest) {
  std::map<uint32_t, std::string> params;
  while (Result word = TakeWord(rest)) {
    const size_t equals = std::min(word->find('='), word->size());
    const auto key = SvcKey(LowerCase(word->substr(0, equals)));
    std::string value = word->substr(std::min(equals + 1, word->size()));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    const Result data = key ? SvcValue(*key, value) : std::nullopt;
    if (!data || data->size() > 0xFFFF || params.contains(*key)) return std::nullopt;
    params[*key] = *data;
  }
  std::string out;
  for (const auto& [key, data] : params) {
    out += MakeInt(static_cast<int32_t>(key)) + MakeInt(static_cast<int32_t>(data.size())) + data;
  }
  return out;
}

Result Field(ErrorSink& sink, char kind, std::string& rest, const std::string& origin) {
  switch (kind) {
    case 'h':
      return Hex(std::exchange(rest, ""));
    case 'b':
      return Base64(std::exchange(rest, ""));
    case 'v':
      return SvcParams(rest);
    default:
      break;
  }
  const Result word = TakeWord(rest);
  if (!word) return std::nullopt;
  switch (kind) {
    case 's':
      return CharString(*word);
    case 'n': {
      const std::string wire = ZipName(sink, "", QualifyName(origin, *word));
      return wire.empty() ? std::nullopt : Result(wire);
    }
    case '6':
      return Address(AF_INET6, *word);
    case 'r':
      return *word;
    default:
      return NumberField(*word, kind - '0');
  }
}

Result Generic(std::string& rest) {
  const Result length = TakeWord(rest);
  const auto expected = length ? Unsigned(*length, 0xFFFF) : std::nullopt;
  const Result data = expected ? Hex(std::exchange(rest, "")) : std::nullopt;
  return data && data->size() == *expected ? data : std::nullopt;
}

const TextForm* FormOf(int32_t type) {
  const auto form =
      std::find_if(kTextForms.begin(), kTextForms.end(), [&](const TextForm& f) { return f.type == type; });
  return form == kTextForms.end() ? nullptr : &*form;
}

}  // namespace

int32_t TypeFromText(const std::string& word) {
  if (word.starts_with(kGenericPrefix)) {
    const auto number = Unsigned(word.substr(kGenericPrefix.size()), 0xFFFF);
    return number && IsStoredType(static_cast<int32_t>(*number)) ? static_cast<int32_t>(*number) : 0;
  }
  for (const TextForm& form : kTextForms) {
    if (TypeN(form.type) == word) return form.type;
  }
  return 0;
}

std::optional<std::string> OpaqueDataFromText(ErrorSink& sink, int32_t type, std::string rest,
                                              const std::string& origin) {
  SkipBlanks(rest);
  if (rest.starts_with(kGenericMark)) {
    rest.erase(0, kGenericMark.size());
    return Generic(rest);
  }
  const TextForm* form = FormOf(type);
  if (form == nullptr) return std::nullopt;
  std::string data;
  for (char kind : form->fields) {
    const Result field = Field(sink, kind, rest, origin);
    if (!field) return std::nullopt;
    data += *field;
  }
  SkipBlanks(rest);
  if (!rest.empty() || data.size() > 0xFFFF) return std::nullopt;
  return data;
}

std::string IPv6Text(const std::string& data) {
  std::array<char, INET6_ADDRSTRLEN> text{};
  if (data.size() != kIPv6Octets || inet_ntop(AF_INET6, data.data(), text.data(), text.size()) == nullptr) {
    return {};
  }
  return text.data();
}

std::string OpaqueText(int32_t type, const std::string& data) {
  if (type == kTypeAAAA && data.size() == kIPv6Octets) return "AAAA " + IPv6Text(data);
  std::string text = std::string(kGenericPrefix) + std::to_string(type) + " " + std::string(kGenericMark) +
                     " " + std::to_string(data.size());
  if (!data.empty()) text += " " + HWToHex(data);
  return text;
}

}  // namespace vell
