// clDNSAnswer: sections and the one sequence of records across them.
#include "dns/answer.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vell {
namespace {

RecordPtr Named(const std::string& name) { return MakeRecordWithoutTTL(Lifetime::kLearnt, name, 0, ""); }

class AnswerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    answer_.Section2 = {Named("an1."), Named("an2.")};
    answer_.Section3 = {Named("ns1.")};
    answer_.Section4 = {Named("ad1."), Named("ad2."), Named("ad3.")};
    answer_.CInit();
  }
  clDNSAnswer answer_;
};

TEST_F(AnswerTest, CRecordNumbersAllSectionsInOrder) {
  EXPECT_EQ(answer_.S4C, 6);
  const char* expected[] = {"an1.", "an2.", "ns1.", "ad1.", "ad2.", "ad3."};
  for (int16_t i = 1; i <= 6; ++i) EXPECT_EQ(answer_.CRecord(i)->Name, expected[i - 1]) << i;
  EXPECT_THROW(answer_.CRecord(0), std::out_of_range);
  EXPECT_THROW(answer_.CRecord(7), std::out_of_range);
}

TEST_F(AnswerTest, CountsAreThoseOfTheLastCInit) {
  answer_.Section2.push_back(Named("an3."));
  EXPECT_EQ(answer_.S4C, 6);
  EXPECT_EQ(answer_.CRecord(3)->Name, "ns1.");
  answer_.CInit();
  EXPECT_EQ(answer_.S4C, 7);
  EXPECT_EQ(answer_.CRecord(3)->Name, "an3.");
  EXPECT_EQ(answer_.CRecord(7)->Name, "ad3.");
}

TEST_F(AnswerTest, SectionByNumber) {
  EXPECT_EQ(answer_.Section(2), &answer_.Section2);
  EXPECT_EQ(answer_.Section(3), &answer_.Section3);
  EXPECT_EQ(answer_.Section(4), &answer_.Section4);
  EXPECT_EQ(answer_.Section(1), nullptr);
  EXPECT_EQ(answer_.Section(5), nullptr);
}

}  // namespace
}  // namespace vell
