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
  for (int16_t rcode : {11, 15, -1}) EXPECT_EQ(RCodeN(sink, rcode), "Unknown error.");
  EXPECT_TRUE(sink.entries.empty());
}

TEST(TablesTest, OpCodesAndClasses) {
  const char* opcodes[] = {"Standard Query",        "Inverse Query Request",
                           "Server Status Request", "Unknown Query Type (OpCode 3)",
                           "Notification Request",  "Update Request"};
  for (int opcode = 0; opcode <= 5; ++opcode) EXPECT_EQ(OpCodeN(opcode), opcodes[opcode]);
  EXPECT_EQ(OpCodeN(15), "Unknown Query Type (OpCode 15)");

  const std::pair<int32_t, const char*> classes[] = {
      {1, "Internet class record"},         {2, "CSNET class record"},       {3, "CHAOS class record"},
      {4, "Hesiod [Dyer 87] class record"}, {5, "Unknown class (5) record"}, {254, "No-class record"},
      {255, "Any (*) class record"},        {0, "Unknown class (0) record"}};
  for (const auto& [dns_class, text] : classes) EXPECT_EQ(ClassN(dns_class), text);
}

TEST(TablesTest, SectionNames) {
  const char* names[] = {"Question", "Answer", "Authority", "Additional"};
  for (int section = 1; section <= 4; ++section) EXPECT_EQ(SectionNames(section), names[section - 1]);
  EXPECT_THROW(SectionNames(0), std::out_of_range);
  EXPECT_THROW(SectionNames(5), std::out_of_range);
}

}  // namespace
}  // namespace vell
