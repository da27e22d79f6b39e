// The block list and the flood guard: client addresses whose
// traffic the front end refuses, and the one tracker that puts an address
// there when it sends more than BOMBLEVEL datagrams in a row within a
// second. The list persists in blocks.dat between runs; the no-block list
// and the rate are settings (NOBLOCK, BOMBLEVEL).
#pragma once

#include <string>
#include <vector>

#include "core/clock.h"
#include "core/env.h"

namespace vell {

class BlockList {
 public:
  explicit BlockList(Env& env) : env_(env) {}

  // True when ip is blocked; logged (with LOGBLOCK) as what + ip.
  bool Blocked(const std::string& ip, const char* what);
  // The flood guard's verdict on one datagram from ip that passed the
  // block-list test: true when it may pass. Blocks ip (and logs it) when
  // it is the (BOMBLEVEL + 1)th datagram of a run within one second.
  bool FloodCheck(const std::string& ip);

  // blocks.dat of the program directory: written whole at the end of the
  // run, appended to the list at the first tick.
  void SaveBlocks() const;
  void LoadBlocks();

  std::vector<std::string> Blocks;

  // The single tracker: the run of consecutive datagrams from BombIP.
  std::string BombIP;
  int BombCount = 0;
  DateTime BombTime = 0;

 private:
  bool OnNoBlockList(const std::string& ip) const;

  Env& env_;
};

}  // namespace vell
