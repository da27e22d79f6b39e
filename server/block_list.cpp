#include "server/block_list.h"

#include <algorithm>
#include <fstream>

#include "core/ip.h"
#include "core/platform/atomic_file.h"
#include "core/text.h"
#include "dns/record_lines.h"

namespace vell {

namespace {

constexpr char kBlockFile[] = "blocks.dat";
constexpr char kBlockHeader[] = "; Vellion - IP address blocks";
// "At most one second" read with a hair of tolerance, so that ten steps of
// a tenth of a second still count as one second.
constexpr double kOneSecond = 1.0 + 1e-6;

bool IsComment(const std::string& line) {
  const size_t first = line.find_first_not_of(' ');
  return first != std::string::npos && line[first] == ';';
}

}  // namespace

bool BlockList::Blocked(const std::string& ip, const char* what) {
  if (!Contains(Blocks, ip)) return false;
  if (env_.settings.LOGBLOCK) env_.log.AddLine(0, what + ip + " on Block list. Ignored!");
  return true;
}

bool BlockList::OnNoBlockList(const std::string& ip) const { return Contains(env_.settings.NOBLOCK, ip); }

bool BlockList::FloodCheck(const std::string& ip) {
  const short level = env_.settings.BOMBLEVEL;
  if (level <= 0) return true;
  const DateTime now = env_.Now();
  if (ip != BombIP) {
    BombIP = ip;
    BombCount = 1;
    BombTime = now;
    return true;
  }
  if (++BombCount <= level) return true;
  if ((now - BombTime) * kSecondsPerDay > kOneSecond) {
    BombCount = 1;
    BombTime = now;
    return true;
  }
  // A no-block address passes, and its count keeps growing.
  if (OnNoBlockList(ip)) return true;
  env_.log.AddLine(0, "IP address " + ip + " blocked (more than" + NumText(level) + " Requests per second)");
  Blocks.push_back(ip);
  return false;
}

void BlockList::SaveBlocks() const {
  Trap(env_.errors, "modDNS SaveBlocks", [&] {
    std::string text = std::string(kBlockHeader) + "\r\n";
    for (const std::string& ip : Blocks) text += ip + "\r\n";
    WriteFileAtomically(env_.Path(kBlockFile), text);
  });
}

void BlockList::LoadBlocks() {
  Trap(env_.errors, "modDNS SaveBlocks", [&] {
    std::ifstream in(env_.Path(kBlockFile), std::ios::binary);
    if (!in) return;  // no file yet
    std::string line;
    while (ReadRawLine(in, line)) {
      // An empty line reads as 0.0.0.0, as the original did.
      if (!IsComment(line)) Blocks.push_back(CleanIP(line));
    }
  });
}

}  // namespace vell
