// The pieces of reading and writing vellion.ini that its checker shares
// with the server.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/config/settings.h"

namespace vell {

// key upper-cased, as a line names it: true when the server reads it.
bool IsIniKey(const std::string& key);
// One line "Key: value" over s; unknown keys, "ReloadPort:" among them, are
// ignored. A number out of range throws.
void ApplyLine(Settings& s, const std::string& line);
// CR LF, a lone LF and a lone CR all end a line; the empty lines this makes
// of CR LF have an empty key and are ignored.
std::vector<std::string> SplitLines(const std::string& text);
// The whole file as the server writes it.
std::string IniText(const Settings& s, uint16_t reload_port);
// The file's content; empty when it cannot be read.
std::string ReadWhole(const std::string& path);
// The lines of old_text, trimmed, that new_text no longer holds; blank
// lines, the reload port (new at every start) and the lines of own_text
// (what the server itself wrote) aside.
std::vector<std::string> LostLines(const std::string& old_text, const std::string& new_text,
                                   const std::string& own_text = "");

}  // namespace vell
