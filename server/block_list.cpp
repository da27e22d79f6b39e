#include "server/block_list.h"

#include <algorithm>

namespace vell {

bool BlockList::Blocked(const std::string& ip, const char* what) {
  if (std::find(Blocks.begin(), Blocks.end(), ip) == Blocks.end()) return false;
  if (settings_.LOGBLOCK) log_.AddLine(0, what + ip + " on Block list. Ignored!");
  return true;
}

}  // namespace vell
