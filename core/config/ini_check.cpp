#include "core/config/ini_check.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "core/config/ini_parts.h"
#include "core/text.h"

namespace vell {

namespace {

std::string KeyOf(const std::string& line) { return UpperCase(Trim(line.substr(0, line.find(':')))); }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The number of the first line not yet reported that reads lost; 0 when none.
int LineOf(const std::string& lost, const std::vector<std::string>& lines, std::vector<bool>& reported) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!reported[i] && Trim(lines[i]) == lost) {
      reported[i] = true;
      return static_cast<int>(i + 1);
    }
  }
  return 0;
}

// Reads the lines as the server does; returns the number of the line where
// a number out of range stops it, 0 when it reads them all.
int ReadLines(const std::vector<std::string>& lines, Settings& s, std::vector<LineFinding>& findings) {
  for (size_t i = 0; i < lines.size(); ++i) {
    try {
      ApplyLine(s, lines[i]);
    } catch (...) {
      findings.push_back({static_cast<int>(i + 1), Trim(lines[i]),
                          "a number out of range: the server stops reading the file here"});
      return static_cast<int>(i + 1);
    }
  }
  return 0;
}

// What becomes of a line the rewrite does not write back; nth counts the lost
// lines of its key so far, to pair them with the lines written instead.
std::string LostEffect(const std::string& line, int number, int stop,
                       const std::vector<std::string>& written_instead, size_t nth) {
  const std::string dropped = "dropped when the server rewrites the file";
  if (stop > 0 && number > stop) return "not read, and " + dropped;
  if (line.find(':') == std::string::npos) return "no \":\": ignored, and " + dropped;
  if (!IsIniKey(KeyOf(line))) return "not a setting: ignored, and " + dropped;
  if (nth < written_instead.size())
    return "becomes " + Quoted(written_instead[nth]) + " when the server rewrites the file";
  return dropped + ": it holds the default";
}

// The lines of new_text, by key, that old_text does not hold.
std::map<std::string, std::vector<std::string>> NewLinesByKey(const std::string& old_text,
                                                              const std::string& new_text) {
  const std::vector<std::string> old_lines = SplitLines(old_text);
  std::map<std::string, std::vector<std::string>> by_key;
  for (const auto& line : SplitLines(new_text)) {
    const bool was_there = std::any_of(old_lines.begin(), old_lines.end(),
                                       [&](const std::string& o) { return Trim(o) == line; });
    if (!line.empty() && !was_there) by_key[KeyOf(line)].push_back(line);
  }
  return by_key;
}

std::string RecursionInWords(const std::string& pattern) {
  if (pattern == "<all>" || RecursionPrefixAdmits(pattern, ""))
    return "open to every client (DNSRecursion: " + pattern + ")";
  if (pattern == "<none>") return "this machine only (DNSRecursion: <none>)";
  return "this machine and clients whose address starts with " + Quoted(pattern.substr(0, pattern.find('*')));
}

}  // namespace

IniCheck CheckINI(const std::string& path) {
  IniCheck check;
  std::error_code ec;
  check.found = std::filesystem::is_regular_file(path, ec);
  const std::string old_text = ReadWhole(path);
  const std::vector<std::string> lines = TextLines(old_text);
  Settings s;
  const int stop = ReadLines(lines, s, check.findings);
  const std::string new_text = IniText(s, 0);
  const auto instead = NewLinesByKey(old_text, new_text);
  std::map<std::string, size_t> seen_of_key;
  std::vector<bool> reported(lines.size(), false);
  const std::vector<std::string> none;
  for (const auto& lost : LostLines(old_text, new_text)) {
    const std::string key = KeyOf(lost);
    const auto written = instead.find(key);
    const int number = LineOf(lost, lines, reported);
    check.findings.push_back(
        {number, lost,
         LostEffect(lost, number, stop, written == instead.end() ? none : written->second,
                    seen_of_key[key]++)});
  }
  std::stable_sort(check.findings.begin(), check.findings.end(),
                   [](const LineFinding& a, const LineFinding& b) { return a.line < b.line; });
  check.recursion = RecursionInWords(s.DNSRECURSION);
  return check;
}

}  // namespace vell
