// The number-to-word tables.
#include "dns/tables.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vell {
namespace {

TEST(TablesTest, TypeMnemonicsAtTheEdgesOfEveryRun) {
  InitTypeNames();
  const std::pair<int16_t, const char*> cases[] = {
      {0, "?0?"},     {1, "A"},        {16, "TXT"},      {17, "RP"},     {23, "NSAP-PTR"}, {24, "SIG"},
      {28, "AAAA"},   {32, "NIMLOC"},  {33, "SRV"},      {41, "OPT"},    {42, "?42?"},     {99, "?99?"},
      {100, "UINFO"}, {103, "UNSPEC"}, {104, "?104?"},   {247, "?247?"}, {248, "ADDRS"},   {252, "AXFR"},
      {255, "*"},     {256, "?256?"},  {1001, "?1001?"}, {-1, "?-1?"}};
  for (const auto& [type, name] : cases) EXPECT_EQ(TypeN(type), name) << type;
}

// The texts themselves are the tables; what is tested is where each table
// ends and what lies beyond it.
TEST(TablesTest, TextsAtTheEdgesAndBeyond) {
  RecordingErrorSink sink;
  const std::pair<int16_t, const char*> rcodes[] = {
      {0, "No Error"}, {10, "Name not contained in zone"}, {11, "Unknown error."}, {-1, "Unknown error."}};
  for (const auto& [rcode, text] : rcodes) EXPECT_EQ(RCodeN(sink, rcode), text) << rcode;
  EXPECT_TRUE(sink.entries.empty());
  EXPECT_EQ(OpCodeN(3), "Unknown Query Type (OpCode 3)");
  EXPECT_EQ(ClassN(5), "Unknown class (5) record");
  EXPECT_EQ(SectionNames(1), "Question");
  EXPECT_EQ(SectionNames(4), "Additional");
  EXPECT_THROW(SectionNames(0), std::out_of_range);
  EXPECT_THROW(SectionNames(5), std::out_of_range);
}

}  // namespace
}  // namespace vell
