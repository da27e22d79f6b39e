// Name and text functions shared by the configuration reader, the zone and
// cache files, the DHCP server and the reload port. Strings are octet strings
// (characters 0..255).
#pragma once

#include <string>
#include <vector>

namespace vell {

std::string CleanName(const std::string& s);
std::string CleanNameF(const std::string& s);
// Takes the first blank-separated token off the front of s.
std::string NextToken(std::string& s);
std::string TXTtDisk(const std::string& data);
std::string TXTfDisk(const std::string& text);
std::string HWToHex(const std::string& octets);
std::string HexToHW(const std::string& text);

// Shared helpers of the text readers.
std::string Trim(const std::string& s);       // blanks only, both ends
std::string UpperCase(const std::string& s);  // A-Z folding of a-z
std::string LowerCase(const std::string& s);  // a-z folding of A-Z
// The leading numeric part of s (leading blanks skipped, sign, digits,
// decimal point, exponent); text that does not start with a number gives 0.
double LeadingNumber(const std::string& s);
// A number as a number-to-text conversion writes it: one blank before a
// non-negative number ("HostsTTL: 3600"), the sign before a negative one.
std::string NumText(double v);
// True when list holds item exactly (address lists, block lists).
bool Contains(const std::vector<std::string>& list, const std::string& item);
// The lines of a text file, without their ends (LF or CR LF); a final line
// end starts no further line.
std::vector<std::string> TextLines(const std::string& text);

}  // namespace vell
