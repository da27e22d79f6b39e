// Domain names on the wire and in text.
//
// Inside the server a name is text: lower-case labels, each followed by "."
// ("." is the root). There is no escaping: a "." octet inside a wire label
// splits that label when the name is written again.
//
// Deliberate differences from other servers, kept on purpose:
// - ExtractName follows pointers forwards as well as backwards (up to 20),
//   and reads every length octet below 192 as a label length.
// - ZipName compresses against any octets of the message built so far,
//   record data and header included, not only where names start; and it
//   compares octets exactly, so "WWW" never points at "www".
#pragma once

#include <string>
#include <string_view>

#include "core/error_report.h"

namespace vell {

constexpr int kMaxNamePointers = 20;
constexpr std::string_view kIncompleteSuffix = "incomplete.";

// Decodes the name at the front of rest. Pointers are offsets into message
// (which starts with the identifier). With advance, rest is left just behind
// the name as written: after its zero octet or after its first pointer;
// it becomes empty when the name runs off the end before any pointer.
// A name that cannot be decoded completely ends in "incomplete.".
std::string ExtractName(ErrorSink& sink, std::string_view message, std::string_view& rest, bool advance);
std::string ExtractName(ErrorSink& sink, const std::string& message, std::string& rest, bool advance);

// The wire form of name, compressed against message (everything written
// before the name). Labels are taken as given, without case folding. A
// label over 255 octets is reported as "modDNS ZipName"; result empty.
std::string ZipName(ErrorSink& sink, std::string_view message, std::string_view name);

// The absolute form of a zone-file name: a name ending in "." is only
// cleaned; any other is cleaned and placed under origin.
std::string QualifyName(const std::string& origin, const std::string& name);

}  // namespace vell
