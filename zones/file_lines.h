// The line rules that zone files share with the cache's record files (root
// hints, saved cache): comments, tabs, trailing blanks and "(" continuations.
#pragma once

#include <istream>
#include <string>

namespace vell {

// The next line without its line end; false at the end of the file.
bool ReadRawLine(std::istream& in, std::string& line);

// raw with its comment cut off, tabs as blanks and trailing blanks removed
// (leading blanks stay: they mean "same owner"). A line then ending in "("
// is joined with the following lines up to the one holding ")". False when
// the file ends before that line; the pending line is then dropped.
bool CleanLine(std::istream& in, const std::string& raw, std::string& line);

}  // namespace vell
