// One authoritative zone: its settings and its records, sorted by owner.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/clock.h"
#include "dns/record_data.h"
#include "dns/record_list.h"

namespace vell {

class clZone {
 public:
  std::string Name;  // apex, trailing dot; "." for the root
  double SOASerial = 0;
  double SOARefresh = 300;
  double SOARetry = 300;
  double SOAExpire = 300;
  std::vector<std::string> Slaves;  // secondaries to notify
  bool Secure = true;
  std::string PrimaryIP;  // the primary of a secondary zone; empty for a primary zone
  DateTime Expires = 0;
  DateTime NextRefresh = 0;
  SortedRecords Records;
  bool HasWildcards = false;
  DateTime FILETIME = 0;
  bool Checked = false;

  // First record of that owner, or kNotFound.
  size_t FindRec(std::string_view name) const { return Records.Find(name); }
  void AddRec(RecordPtr record) {
    NoteAncestors(record->Name);
    Records.Insert(std::move(record));
  }
  // Records in order of arrival; the same result as AddRec one by one.
  void AddRecs(std::vector<RecordPtr> records) {
    for (const RecordPtr& record : records) NoteAncestors(record->Name);
    Records.InsertMany(std::move(records));
  }
  void ClearRecs() {
    Records.clear();
    ancestors_.clear();
  }
  // Whether a record's owner lies below name: an empty non-terminal, when
  // name owns no record itself.
  bool HasNamesBelow(const std::string& name) const { return ancestors_.contains(name); }

 private:
  // Every name above owner, from its parent up. When one is known, those
  // above it are too.
  void NoteAncestors(const std::string& owner) {
    for (size_t dot = owner.find('.'); dot != std::string::npos && dot + 1 < owner.size();
         dot = owner.find('.', dot + 1)) {
      if (!ancestors_.insert(owner.substr(dot + 1)).second) return;
    }
  }
  std::unordered_set<std::string> ancestors_;
};

using ZonePtr = std::shared_ptr<clZone>;

// Index of the SOA among the records owned by name, if the name has one.
inline std::optional<size_t> FindSoa(const clZone& zone, const std::string& name) {
  const size_t count = zone.Records.size();
  for (size_t i = zone.FindRec(name); i < count && zone.Records[i]->Name == name; ++i) {
    if (zone.Records[i]->RecType == kTypeSOA) return i;
  }
  return std::nullopt;
}

}  // namespace vell
