// Integer readers and writers.
#include "dns/wire.h"

#include <gtest/gtest.h>

#include "dns/wire_bytes.h"

namespace vell {
namespace {

using test::Octets;

struct ReadCase {
  std::string data;
  int32_t get_int, get_long;
};

class ReadersTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadersTest, ReadAndConsume) {
  const ReadCase& c = GetParam();
  std::string data = c.data;
  EXPECT_EQ(GetInt(data, false), c.get_int);
  EXPECT_EQ(GetLong(data, false), c.get_long);
  EXPECT_EQ(data, c.data);
  // Consuming removes the field's width even from data that was too short.
  EXPECT_EQ(GetInt(data, true), c.get_int);
  EXPECT_EQ(data, c.data.substr(std::min<size_t>(2, c.data.size())));
  std::string_view view = c.data;
  EXPECT_EQ(GetLong(view, true), c.get_long);
  EXPECT_EQ(view, c.data.substr(std::min<size_t>(4, c.data.size())));
}

INSTANTIATE_TEST_SUITE_P(
    Wire, ReadersTest,
    ::testing::Values(ReadCase{"", 0, 0}, ReadCase{Octets({1}), 0, 0},
                      ReadCase{Octets({0x80, 1}), 32769, 0},  // 16-bit fields are unsigned
                      ReadCase{Octets({0xFF, 0xFF, 0xFF}), 65535, 0},
                      ReadCase{Octets({0xFF, 0xFF, 0xFF, 0xFF}), 65535, 2147483647},  // TTL: top bit cleared
                      ReadCase{Octets({0x12, 0x34, 0x56, 0x78, 9}), 0x1234, 0x12345678}));

TEST(WritersTest, TwoOctetWriters) {
  EXPECT_EQ(MakeInt(300), Octets({1, 0x2C}));
  EXPECT_EQ(MakeInt(40000), Octets({0x9C, 0x40}));
  EXPECT_EQ(MakeInt(0xABCD), Octets({0xAB, 0xCD}));
  EXPECT_EQ(MakeInt(-2), Octets({0xFF, 0xFE}));
}

TEST(WritersTest, MakeLongWritesFourOctetsAndReportsOverflow) {
  RecordingErrorSink sink;
  EXPECT_EQ(MakeLong(sink, 3600), Octets({0, 0, 0x0E, 0x10}));
  EXPECT_EQ(MakeLong(sink, 0x12345678), Octets({0x12, 0x34, 0x56, 0x78}));
  EXPECT_EQ(MakeLong(sink, 2147483647.0), Octets({0x7F, 0xFF, 0xFF, 0xFF}));
  EXPECT_TRUE(sink.entries.empty());
  EXPECT_EQ(MakeLong(sink, 2147483648.0), "");
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].where, "modDNS MakeLong");
  EXPECT_EQ(sink.entries[0].number, kErrOverflow);
}

}  // namespace
}  // namespace vell
