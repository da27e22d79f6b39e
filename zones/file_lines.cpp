#include "zones/file_lines.h"

#include <algorithm>

#include "core/text.h"

namespace vell {

namespace {

void TabsToBlanks(std::string& line) { std::replace(line.begin(), line.end(), '\t', ' '); }

std::string CutAt(const std::string& line, char c) { return line.substr(0, line.find(c)); }

// Appends the lines after one ending in "(" up to the one holding ")".
bool JoinContinuation(std::istream& in, std::string& line) {
  line.pop_back();
  std::string next;
  for (;;) {
    if (!ReadRawLine(in, next)) return false;
    TabsToBlanks(next);
    next = Trim(CutAt(Trim(next), ';'));
    const size_t close = next.find(')');
    line += ' ';
    line += close == std::string::npos ? next : Trim(next.substr(0, close));
    if (close != std::string::npos) return true;
  }
}

}  // namespace

bool ReadRawLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

bool CleanLine(std::istream& in, const std::string& raw, std::string& line) {
  line = CutAt(raw, ';');
  TabsToBlanks(line);
  line.erase(line.find_last_not_of(' ') + 1);
  return line.empty() || line.back() != '(' || JoinContinuation(in, line);
}

}  // namespace vell
