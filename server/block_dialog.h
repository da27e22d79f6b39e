// The rules of the block-list dialog (frmBlock) as operations the
// operator console calls: the two address lists with Add, Remove and Move,
// the rate box, and OK, which hands the edited lists and rate back.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/config/settings.h"
#include "server/block_list.h"

namespace vell {

// Appends text unless it is empty or the list holds it already (exact
// text); true when it was added.
bool BlockListAdd(std::vector<std::string>& list, const std::string& text);
// Deletes the entry equal to text; true when there was one.
bool BlockListRemove(std::vector<std::string>& list, const std::string& text);
// Moves entry `index` of from to the end of to (unless to holds it
// already); false for an index out of range.
bool BlockListMove(std::vector<std::string>& from, std::vector<std::string>& to, size_t index);

// The rate box: BOMBLEVEL as shown on opening (empty below 1), and the
// text it becomes when it loses focus (the whole-number part of its
// absolute numeric value, "0" shown as empty).
std::string RateBoxText(short level);
std::string RateBoxLeave(const std::string& text);

// What the dialog edits, filled on opening and applied by OK. Cancel is
// simply dropping it.
struct BlockDialog {
  std::string rate;                  // "Maximum Requests per Second:"
  std::vector<std::string> noblock;  // "Do Not Block:"
  std::vector<std::string> blocks;   // "Blocked IP addresses:"

  static BlockDialog Open(const Settings& settings, const BlockList& list);
  // Sets BOMBLEVEL to the rate box's leading number (empty gives 0) and
  // replaces both lists; the caller then writes the configuration.
  void Ok(Settings& settings, BlockList& list) const;
};

}  // namespace vell
