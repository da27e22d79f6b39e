// Text forms of the record types held as opaque data: their RDATA exactly as
// on the wire, names inside it uncompressed (RFC 3597 section 4). Zone files
// write them by mnemonic or in the generic form `TYPE65534 \# 4 0A000001`;
// the cache file and secondary zone files write them back readable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/error_report.h"

namespace vell {

// The type a zone-file word names: a mnemonic the server knows, or
// "TYPEn" (RFC 3597); 0 for any other word.
int32_t TypeFromText(const std::string& word);

// The RDATA of an opaque type from the rest of its line; relative names lie
// below origin. Nothing when the text is not a valid form of the type.
std::optional<std::string> OpaqueDataFromText(ErrorSink& sink, int32_t type, std::string rest,
                                              const std::string& origin);

// The usual compressed text of a 16-octet IPv6 address; empty for other data.
std::string IPv6Text(const std::string& data);

// Type and data as a zone-file line writes them: AAAA as an IPv6 address,
// every other opaque type in the generic form.
std::string OpaqueText(int32_t type, const std::string& data);

}  // namespace vell
