// What the start-up and the housekeeping tick ask of the other subsystems:
// loading and saving the run's data, request time-outs, cache expiry,
// secondary-zone checks and master-list sync. The subsystems implement it;
// until one exists its duties do nothing.
#pragma once

#include "core/clock.h"

namespace vell {

class ServerDuties {
 public:
  virtual ~ServerDuties() = default;

  // First-tick data loading, in this order.
  virtual void LoadAll() {}
  virtual void MLLoad() {}
  virtual void LoadPerm() {}
  virtual void LoadCache() {}
  virtual void LoadBlocks() {}
  virtual void LoadLeases() {}

  // Housekeeping tick.
  virtual void RequestTimeOuts() {}
  virtual void Purge() {}
  virtual void CheckSecondaries() {}
  virtual DateTime LastMLSync() const { return 0; }
  virtual void MLSync() {}
  virtual long CacheCount() const { return 0; }
  // Once the data is loaded: dhcp.dat rewritten when the leases changed,
  // so that a crash does not forget the leases given since the start.
  virtual void SaveChangedLeases() {}

  // Start and pause of the service.
  virtual void ProcessTransferQueueIfIdle() {}
  virtual void DropActiveRequests() {}

  // Shutdown.
  virtual void SaveCache() {}
  virtual void SaveBlocks() {}
  virtual void SaveLeases() {}
  virtual void SaveZoneTTL() {}
  virtual void MLSave() {}
};

}  // namespace vell
