// The server's authoritative data: every loaded zone, and the lookup that
// answers from them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/env.h"
#include "dhcp/lease_table.h"
#include "dns/answer.h"
#include "dns/sorted_list.h"
#include "zones/transfer_sink.h"
#include "zones/zone.h"

namespace vell {

struct ZoneName {
  const std::string& operator()(const ZonePtr& z) const { return z->Name; }
};
using ZoneList = SortedList<ZonePtr, ZoneName>;

// Tells a zone's secondaries that it changed (NOTIFY lives above zones).
using ZoneNotify = std::function<void(const std::string& zone)>;

// The "no file time" value of LoadZone: 1900-01-01 00:00.
constexpr DateTime kNoFileTime = 2.0;

class clDNSAuthData {
 public:
  clDNSAuthData(Env& env, const LeaseTable& leases) : env_(env), leases_(leases) {}

  void ZoneAdd(ZonePtr zone) { zones_.Insert(std::move(zone)); }
  // The zone of exactly that name, or kNotFound.
  size_t ZoneFind(std::string_view name) const { return zones_.Find(name); }
  void UnloadZone(const std::string& name);
  const ZoneList& Zones() const { return zones_; }
  // True when name lies in a zone held here (its delegations included) or
  // is the name or reverse name of a live lease: local data, answered to
  // clients that may not recurse.
  bool Serves(std::string_view name) const;

  // The authoritative lookup; always a new answer.
  std::shared_ptr<clDNSAnswer> Ask(const std::string& ReqName, int32_t ReqType, Recursion RDFlag,
                                   LookupKind Quickie);

  // Serves an AXFR request for ZName from FromIP: the whole zone, SOA first
  // and last, one record per message or (MSType) many per message; or the
  // refusal. Every message goes to Winsock.
  void ZoneTransfer(int32_t ReqID, bool ReqRD, const std::string& ZName, bool MSType,
                    const std::string& FromIP, TransferSink& Winsock);

  // Zone files of the data directory.
  void LoadZone(const std::string& ZoneName, double ZoneTTL, DateTime FILETIME = kNoFileTime);
  void LoadAll();

  // Secondary zones: the primary of a loaded zone ("" when not loaded);
  // whether a loaded zone holds no records.
  void ZonePrimIP(const std::string& ZName, std::string& ip) const;
  void ZoneExpired(const std::string& ZName, bool& expired) const;
  // Empties the zone and leaves only the header lines in its file.
  void ExpireZone(clZone& zone);
  // Stores a completed transfer (first record the SOA) and rewrites the
  // zone's file; false when the zone is not loaded.
  bool GotZTransfer(const std::string& ZName, const std::vector<RecordPtr>& Records);
  // zonettl.dat: how long each secondary zone still has before it expires.
  void SaveZoneTTL();

  // Master-list synchronisation with MASTERDIR: one pass, which
  // notifies each zone it loads; ml.dat, the master file time of each zone.
  void MLSync(const ZoneNotify& notify);
  void MLLoad();
  void MLSave() const;
  // When the last pass began; 0 before the first.
  DateTime LastMLSync() const { return last_ml_sync_; }

 private:
  Env& env_;
  // Live DHCP leases answer before any stored record.
  const LeaseTable& leases_;
  ZoneList zones_;
  DateTime last_ml_sync_ = 0;

  void SyncZoneFile(const std::string& master, const std::string& file, const ZoneNotify& notify);
  void RemoveUnchecked();
};

}  // namespace vell
