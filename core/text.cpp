#include "core/text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace vell {

namespace {

bool IsNameChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '*' || c == '/' ||
         c == '_';
}

// Steps shared by both name cleaners: strip dots at the ends, collapse runs.
std::string TidyDots(std::string s) {
  while (!s.empty() && s.front() == '.') s.erase(0, 1);
  while (!s.empty() && s.back() == '.') s.pop_back();
  for (auto pos = s.find(".."); pos != std::string::npos; pos = s.find("..")) {
    std::string collapsed;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '.' && i + 1 < s.size() && s[i + 1] == '.') {
        collapsed += '.';
        ++i;
      } else {
        collapsed += s[i];
      }
    }
    s = collapsed;
  }
  return s;
}

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  const auto last = s.find_last_not_of(' ');
  return s.substr(first, last - first + 1);
}

std::string UpperCase(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string LowerCase(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

double LeadingNumber(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  const size_t start = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const size_t digits_start = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  }
  if (i == digits_start || (i == digits_start + 1 && s[digits_start] == '.')) return 0;
  // An exponent counts only when digits follow it.
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && s[j] >= '0' && s[j] <= '9') {
      while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
      i = j;
    }
  }
  return std::strtod(s.substr(start, i - start).c_str(), nullptr);
}

std::string NumText(double v) {
  char buf[64];
  if (v == static_cast<double>(static_cast<long long>(v)) && v > -1e18 && v < 1e18) {
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
  } else {
    std::snprintf(buf, sizeof buf, "%.15g", v);
  }
  return v < 0 ? std::string(buf) : " " + std::string(buf);
}

std::string CleanName(const std::string& s) {
  const std::string lowered = LowerCase(Trim(s));
  std::string kept;
  for (unsigned char c : lowered) {
    if (IsNameChar(c)) kept += static_cast<char>(c);
  }
  return TidyDots(kept);
}

std::string CleanNameF(const std::string& s) {
  std::string no_blanks;
  for (char c : s) {
    if (c != ' ') no_blanks += c;
  }
  return TidyDots(LowerCase(Trim(no_blanks)));
}

std::string NextToken(std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) {
    s.clear();
    return "";
  }
  const auto blank = s.find(' ', first);
  if (blank == std::string::npos) {
    std::string token = s.substr(first);
    s.clear();
    return token;
  }
  std::string token = s.substr(first, blank - first);
  const auto rest = s.find_first_not_of(' ', blank);
  s = rest == std::string::npos ? "" : s.substr(rest);
  return token;
}

std::string TXTtDisk(const std::string& data) {
  std::string out;
  size_t pos = 0;
  while (pos < data.size()) {
    const size_t n = static_cast<unsigned char>(data[pos]);
    const std::string chunk = data.substr(pos + 1, n);
    pos = std::min(data.size(), pos + 1 + n);
    out += '"';
    for (unsigned char c : chunk) {
      if (c == '"' || c == '\\' || c == '(' || c == ')' || c == ';' || c < 32 || c >= 127) {
        char esc[5];
        std::snprintf(esc, sizeof esc, "\\%03o", c);
        out += esc;
      } else {
        out += static_cast<char>(c);
      }
    }
    out += "\" ";
  }
  return out;
}

std::string TXTfDisk(const std::string& text) {
  std::string s = Trim(text);
  std::string out;
  while (!s.empty()) {
    std::string part;
    if (s[0] == '"') {
      const auto close = s.find('"', 1);
      const std::string quoted = s.substr(1, close == std::string::npos ? std::string::npos : close - 1);
      s = close == std::string::npos ? "" : Trim(s.substr(close + 1));
      for (size_t i = 0; i < quoted.size(); ++i) {
        if (quoted[i] == '\\' && i + 3 < quoted.size() && IsOctal(quoted[i + 1]) && IsOctal(quoted[i + 2]) &&
            IsOctal(quoted[i + 3])) {
          const int code = (quoted[i + 1] - '0') * 64 + (quoted[i + 2] - '0') * 8 + (quoted[i + 3] - '0');
          part += static_cast<char>(code & 0xFF);
          i += 3;
        } else {
          part += quoted[i];
        }
      }
    } else {
      part = s;
      s.clear();
    }
    if (part.size() > 255) part.resize(255);
    if (!part.empty()) {
      out += static_cast<char>(part.size());
      out += part;
    }
  }
  return out;
}

std::string HWToHex(const std::string& octets) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : octets) {
    out += kDigits[c >> 4];
    out += kDigits[c & 0x0F];
  }
  return out;
}

std::string HexToHW(const std::string& text) {
  std::string out;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    const int hi = HexValue(text[i]);
    const int lo = HexValue(text[i + 1]);
    out += static_cast<char>(((hi < 0 ? 0 : hi) << 4) | (lo < 0 ? 0 : lo));
  }
  return out;
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

}  // namespace vell
