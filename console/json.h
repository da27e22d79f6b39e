// Writing the console's JSON answers, and reading its form-encoded bodies.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace vell {

// A JSON string literal. Octets above 127 are Latin-1 characters (the
// data files' single-byte code page), written as \u00XX escapes.
std::string JsonString(const std::string& text);
std::string JsonList(const std::vector<std::string>& items);

// application/x-www-form-urlencoded: name=value&..., with "+" and %XX.
std::map<std::string, std::string> ParseForm(const std::string& body);
// The lines of a text area; empty lines are dropped.
std::vector<std::string> Lines(const std::string& text);

}  // namespace vell
