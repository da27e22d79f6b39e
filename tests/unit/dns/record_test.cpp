// clDNSRecord's TTL against a fake clock.
#include "dns/record.h"

#include <gtest/gtest.h>

namespace vell {
namespace {

constexpr DateTime kStart = 46000.5;  // a noon in 2025

TEST(RecordTTLTest, CountsDownAndGoesNegative) {
  FakeClock clock(kStart);
  clDNSRecord record;
  record.SetTTL(clock, 3600);
  EXPECT_EQ(record.mTTL, 3600);
  EXPECT_EQ(record.TTL(clock), 3600);
  clock.AdvanceSeconds(60);
  EXPECT_EQ(record.TTL(clock), 3540);
  clock.AdvanceSeconds(3540);
  EXPECT_EQ(record.TTL(clock), 0);
  clock.AdvanceSeconds(900);  // an hour and a quarter after setting
  EXPECT_EQ(record.TTL(clock), -900);
}

TEST(RecordTTLTest, PermanentKeepsItsTTLForEver) {
  FakeClock clock(kStart);
  clDNSRecord record;
  record.Permanent = true;
  record.SetTTL(clock, 3600);
  EXPECT_DOUBLE_EQ(record.mTimeOut, kStart + 2000);
  clock.AdvanceSeconds(3000 * 86400.0);
  EXPECT_EQ(record.TTL(clock), 3600);
}

TEST(RecordTTLTest, PermanentSetAfterTTLDoesNotMoveTheTimeOut) {
  FakeClock clock(kStart);
  clDNSRecord record;
  record.SetTTL(clock, 3600);
  record.Permanent = true;
  EXPECT_DOUBLE_EQ(record.mTimeOut, kStart + Seconds(3600));
}

}  // namespace
}  // namespace vell
