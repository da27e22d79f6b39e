// What the console asks of the running server. The server is the layer
// above the console, so the console owns this interface and the server
// implements it over its main form, its services and its data.
#pragma once

#include <string>
#include <vector>

#include "console/options.h"
#include "dhcp/lease_store.h"

namespace vell {

// The block-list dialog's fields: the rate box and the two lists.
struct BlockLists {
  std::string rate;
  std::vector<std::string> noblock;
  std::vector<std::string> blocks;
};

class ConsoleOperations {
 public:
  virtual ~ConsoleOperations() = default;

  // The operator commands, by menu name, after the operator has answered
  // any question with Yes or OK.
  virtual void StartStop() = 0;    // mnuStartStop
  virtual void Reload() = 0;       // mnuReload
  virtual void ClearCache() = 0;   // mnuClearCache
  virtual void ClearWindow() = 0;  // mnuClearWindow
  virtual void Dump() = 0;         // mnuDump: writes the support file
  virtual void GetRoot() = 0;      // mnuGetRoot: starts the fetch; it ends later
  virtual void Exit() = 0;         // mnuExit
  // mnuViewCache: writes the snapshot file and returns its path.
  virtual std::string SnapShot() = 0;

  // The lease window.
  virtual RenameOutcome RenameLease(const std::string& address, const std::string& name) = 0;
  virtual void DeleteLease(const std::string& address) = 0;

  // The block-list dialog: its fields on opening, and OK.
  virtual BlockLists OpenBlocks() = 0;
  virtual void ApplyBlocks(const BlockLists& lists) = 0;

  // The options dialog's OK once its checks have passed: stores and
  // applies the settings; returns the message to show, if any.
  virtual std::string ApplyOptions(const OptionsForm& form) = 0;

  virtual long CacheCount() const = 0;
};

}  // namespace vell
