// clDNSAnswer: sections and the one sequence of records across them.
#include "dns/answer.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vell {
namespace {

RecordPtr Named(const std::string& name) { return MakeRecordWithoutTTL(Lifetime::kLearnt, name, 0, ""); }

TEST(AnswerTest, CRecordNumbersAllSectionsInOrderAsOfTheLastCInit) {
  clDNSAnswer answer;
  answer.Section2 = {Named("an1."), Named("an2.")};
  answer.Section3 = {Named("ns1.")};
  answer.Section4 = {Named("ad1."), Named("ad2."), Named("ad3.")};
  answer.CInit();
  EXPECT_EQ(answer.S4C, 6);
  const char* expected[] = {"an1.", "an2.", "ns1.", "ad1.", "ad2.", "ad3."};
  for (int16_t i = 1; i <= 6; ++i) EXPECT_EQ(answer.CRecord(i)->Name, expected[i - 1]) << i;
  EXPECT_THROW(answer.CRecord(0), std::out_of_range);
  EXPECT_THROW(answer.CRecord(7), std::out_of_range);

  answer.Section2.push_back(Named("an3."));
  EXPECT_EQ(answer.CRecord(3)->Name, "ns1.");
  answer.CInit();
  EXPECT_EQ(answer.S4C, 7);
  EXPECT_EQ(answer.CRecord(3)->Name, "an3.");
  EXPECT_EQ(answer.CRecord(7)->Name, "ad3.");
  EXPECT_EQ(answer.Section(4), &answer.Section4);
  EXPECT_EQ(answer.Section(1), nullptr);
  EXPECT_EQ(answer.Section(5), nullptr);
}

}  // namespace
}  // namespace vell
