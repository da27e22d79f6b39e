// clDNSRecord's TTL against a fake clock.
#include "dns/record.h"

#include <gtest/gtest.h>

namespace vell {
namespace {

constexpr DateTime kStart = 46000.5;  // a noon in 2025

TEST(RecordTTLTest, LearntCountsDownPastZeroAndPermanentKeepsItsTTL) {
  FakeClock clock(kStart);
  clDNSRecord learnt, permanent, made_permanent_later;
  permanent.Permanent = true;
  for (clDNSRecord* r : {&learnt, &permanent, &made_permanent_later}) r->SetTTL(clock, 3600);
  made_permanent_later.Permanent = true;  // set after the TTL: the time-out stays
  EXPECT_EQ(learnt.mTTL, 3600);
  EXPECT_DOUBLE_EQ(permanent.mTimeOut, kStart + kPermanentDays);
  EXPECT_DOUBLE_EQ(made_permanent_later.mTimeOut, kStart + Seconds(3600));
  // seconds after setting -> the learnt record's TTL
  const std::pair<double, int32_t> steps[] = {{0, 3600}, {60, 3540}, {3540, 0}, {900, -900}};
  for (const auto& [advance, ttl] : steps) {
    clock.AdvanceSeconds(advance);
    EXPECT_EQ(learnt.TTL(clock), ttl) << advance;
    EXPECT_EQ(permanent.TTL(clock), 3600);
  }
  clock.AdvanceSeconds(3000 * 86400.0);
  EXPECT_EQ(permanent.TTL(clock), 3600);
}

}  // namespace
}  // namespace vell
