#include "server/block_dialog.h"

#include <algorithm>
#include <cmath>

#include "core/error_report.h"
#include "core/text.h"

namespace vell {

bool BlockListAdd(std::vector<std::string>& list, const std::string& text) {
  if (text.empty() || Contains(list, text)) return false;
  list.push_back(text);
  return true;
}

bool BlockListRemove(std::vector<std::string>& list, const std::string& text) {
  const auto it = std::find(list.begin(), list.end(), text);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

bool BlockListMove(std::vector<std::string>& from, std::vector<std::string>& to, size_t index) {
  if (index >= from.size()) return false;
  const std::string entry = from[index];
  from.erase(from.begin() + static_cast<std::ptrdiff_t>(index));
  BlockListAdd(to, entry);
  return true;
}

std::string RateBoxText(short level) { return level < 1 ? "" : std::to_string(level); }

std::string RateBoxLeave(const std::string& text) {
  const double whole = std::trunc(std::fabs(LeadingNumber(text)));
  if (!std::isfinite(whole) || whole == 0) return "";
  return Trim(NumText(whole));
}

BlockDialog BlockDialog::Open(const Settings& settings, const BlockList& list) {
  return BlockDialog{RateBoxText(settings.BOMBLEVEL), settings.NOBLOCK, list.Blocks};
}

void BlockDialog::Ok(Settings& settings, BlockList& list) const {
  settings.BOMBLEVEL = CheckedInt16(LeadingNumber(rate));
  settings.NOBLOCK = noblock;
  list.Blocks = blocks;
}

}  // namespace vell
