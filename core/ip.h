// IPv4 address forms: dotted text ("192.168.0.1"), data (4 octets, network
// order, as in A records and DHCP fields), bits (32 characters "0"/"1",
// most significant first, for subnet arithmetic) and the reverse name
// ("1.0.168.192.in-addr.arpa.").
//
// Text is read leniently: each part by its leading number, sign dropped,
// values above 255 as 0, missing parts 0, parts beyond the fourth ignored.
// Every text produced here is canonical.
#pragma once

#include <string>

#include "core/error_report.h"

namespace vell {

std::string IPToData(const std::string& text);
std::string DataToIP(const std::string& data);  // short data reads as zeros at the end
std::string CleanIP(const std::string& text);   // "0.0.0.0" for junk
std::string NextIP(const std::string& text);    // 255.255.255.255 wraps to 0.0.0.0
std::string IPToBin(ErrorSink& sink, const std::string& text);

// Masks count only up to their last set bit: a non-contiguous mask acts
// like the contiguous mask of the same length.
bool SameNet(ErrorSink& sink, const std::string& a, const std::string& b, const std::string& mask);
// Whether address may be leased in the net of mask: not empty, not the
// network or broadcast address, not 127.x.
bool ValidIP(ErrorSink& sink, const std::string& address, const std::string& mask);

// A name not ending exactly (case-sensitively) in ".in-addr.arpa." gives
// four zero octets; missing labels fill the leading octets with 0.
std::string ArpaToData(ErrorSink& sink, const std::string& name);
std::string ArpaToIP(ErrorSink& sink, const std::string& name);
// Fewer than four octets is an error: reported, result empty.
std::string DataToArpa(ErrorSink& sink, const std::string& data);
std::string IPToArpa(const std::string& text);

}  // namespace vell
