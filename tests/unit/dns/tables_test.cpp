// The number-to-word tables.
#include "dns/tables.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace vell {
namespace {

struct TypeCase {
  int16_t type;
  const char* name;
};

class TypeNTest : public ::testing::TestWithParam<TypeCase> {
 protected:
  static void SetUpTestSuite() { InitTypeNames(); }
};

TEST_P(TypeNTest, Mnemonic) { EXPECT_EQ(TypeN(GetParam().type), GetParam().name); }

// The first and last entry of every run, and the gaps around them.
INSTANTIATE_TEST_SUITE_P(
    Tables, TypeNTest,
    ::testing::Values(TypeCase{0, "?0?"}, TypeCase{1, "A"}, TypeCase{6, "SOA"}, TypeCase{16, "TXT"},
                      TypeCase{17, "RP"}, TypeCase{23, "NSAP-PTR"}, TypeCase{24, "SIG"}, TypeCase{28, "AAAA"},
                      TypeCase{32, "NIMLOC"}, TypeCase{33, "SRV"}, TypeCase{41, "OPT"}, TypeCase{42, "?42?"},
                      TypeCase{99, "?99?"}, TypeCase{100, "UINFO"}, TypeCase{103, "UNSPEC"},
                      TypeCase{104, "?104?"}, TypeCase{247, "?247?"}, TypeCase{248, "ADDRS"},
                      TypeCase{252, "AXFR"}, TypeCase{255, "*"}, TypeCase{256, "?256?"},
                      TypeCase{300, "?300?"}, TypeCase{1001, "?1001?"}, TypeCase{-1, "?-1?"}));

TEST(TablesTest, ResponseCodes) {
  RecordingErrorSink sink;
  const char* texts[] = {"No Error",
                         "Format Error - could not interpret the query.",
                         "Server Failure.",
                         "Name does not exist!",
                         "Not implemented - no support for this query type.",
                         "Refused - will not answer this client or this query type.",
                         "Name Exists when it should not",
                         "RR Set Exists when it should not",
                         "RR Set that should exist does not",
                         "Server Not Authoritative for zone",
                         "Name not contained in zone"};
  for (int16_t rcode = 0; rcode <= 10; ++rcode) EXPECT_EQ(RCodeN(sink, rcode), texts[rcode]);
  EXPECT_EQ(RCodeN(sink, 11), "Unknown error.");
  EXPECT_EQ(RCodeN(sink, 15), "Unknown error.");
  EXPECT_EQ(RCodeN(sink, -1), "Unknown error.");
  EXPECT_TRUE(sink.entries.empty());
}

TEST(TablesTest, OpCodes) {
  EXPECT_EQ(OpCodeN(0), "Standard Query");
  EXPECT_EQ(OpCodeN(1), "Inverse Query Request");
  EXPECT_EQ(OpCodeN(2), "Server Status Request");
  EXPECT_EQ(OpCodeN(3), "Unknown Query Type (OpCode 3)");
  EXPECT_EQ(OpCodeN(4), "Notification Request");
  EXPECT_EQ(OpCodeN(5), "Update Request");
  EXPECT_EQ(OpCodeN(15), "Unknown Query Type (OpCode 15)");
}

TEST(TablesTest, Classes) {
  EXPECT_EQ(ClassN(1), "Internet class record");
  EXPECT_EQ(ClassN(2), "CSNET class record");
  EXPECT_EQ(ClassN(3), "CHAOS class record");
  EXPECT_EQ(ClassN(4), "Hesiod [Dyer 87] class record");
  EXPECT_EQ(ClassN(5), "Unknown class (5) record");
  EXPECT_EQ(ClassN(254), "No-class record");
  EXPECT_EQ(ClassN(255), "Any (*) class record");
  EXPECT_EQ(ClassN(0), "Unknown class (0) record");
}

TEST(TablesTest, SectionNames) {
  EXPECT_EQ(SectionNames(1), "Question");
  EXPECT_EQ(SectionNames(2), "Answer");
  EXPECT_EQ(SectionNames(3), "Authority");
  EXPECT_EQ(SectionNames(4), "Additional");
  EXPECT_THROW(SectionNames(0), std::out_of_range);
  EXPECT_THROW(SectionNames(5), std::out_of_range);
}

}  // namespace
}  // namespace vell
