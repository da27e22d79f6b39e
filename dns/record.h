// One resource record, shared by reference between zones, cache and
// answers: a change to RoRo is seen by every holder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/clock.h"

namespace vell {

// Permanent records are given a time-out this far ahead.
constexpr double kPermanentDays = 2000;

class clDNSRecord {
 public:
  bool Permanent = false;  // set before TTL: setting it later does not move mTimeOut
  int32_t RecType = 0;     // a DNS type (0..65535), or a cache pseudo-type above
  std::string Name;        // owner, lower case with trailing dot
  std::string Data;        // layout by RecType: see dns/record_data.h
  int16_t RoRo = 0;        // round-robin rotation of the address run starting here
  DateTime mTimeOut = 0;
  int32_t mTTL = 0;  // the TTL as last set

  // Stores v and sets the time-out to now + v seconds (now + 2000 days for
  // a permanent record).
  void SetTTL(const Clock& clock, int32_t v);
  // mTTL for a permanent record; otherwise the seconds left until the
  // time-out, rounded, 0 or negative once expired.
  int32_t TTL(const Clock& clock) const;
};

using RecordPtr = std::shared_ptr<clDNSRecord>;
using RecordList = std::vector<RecordPtr>;

enum class Lifetime { kLearnt, kPermanent };

// A record filled in the order its time-out needs: Permanent before TTL.
RecordPtr MakeRecord(const Clock& clock, Lifetime lifetime, std::string name, int32_t type, std::string data,
                     int32_t ttl);
// A record that was given no TTL: it has no expiry moment and counts as
// expired at once.
RecordPtr MakeRecordWithoutTTL(Lifetime lifetime, std::string name, int32_t type, std::string data);

}  // namespace vell
