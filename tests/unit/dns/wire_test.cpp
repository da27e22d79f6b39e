// Integer readers and writers.
#include "dns/wire.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace vell {
namespace {

using namespace std::string_literals;

struct ReadCase {
  std::string data;
  int32_t get_int, get_uint, get_long;
};

class ReadersTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadersTest, ReadTopBitClearedAndConsume) {
  const ReadCase& c = GetParam();
  std::string data = c.data;
  EXPECT_EQ(GetInt(data, false), c.get_int);
  EXPECT_EQ(GetUInt(data, false), c.get_uint);
  EXPECT_EQ(GetLong(data, false), c.get_long);
  EXPECT_EQ(data, c.data);

  // Consuming removes the field's width even from data that was too short.
  std::string two = c.data;
  EXPECT_EQ(GetInt(two, true), c.get_int);
  EXPECT_EQ(two, c.data.substr(std::min<size_t>(2, c.data.size())));
  std::string four = c.data;
  std::string_view four_view = c.data;
  EXPECT_EQ(GetLong(four, true), c.get_long);
  EXPECT_EQ(GetLong(four_view, true), c.get_long);
  EXPECT_EQ(four, c.data.substr(std::min<size_t>(4, c.data.size())));
  EXPECT_EQ(four_view, four);
}

INSTANTIATE_TEST_SUITE_P(Wire, ReadersTest,
                         ::testing::Values(ReadCase{""s, 0, 0, 0}, ReadCase{"\x01"s, 0, 0, 0},
                                           ReadCase{"\x80\x01"s, 1, 32769, 0},  // TYPE 32769 reads as 1
                                           ReadCase{"\xFF\xFF\xFF"s, 32767, 65535,
                                                    0},  // three octets: no long
                                           ReadCase{"\xFF\xFF\xFF\xFF"s, 32767, 65535, 2147483647},
                                           ReadCase{"\x00\x00\x0E\x10\x99"s, 0, 0, 3600},
                                           ReadCase{"\x12\x34\x56\x78"s, 0x1234, 0x1234, 0x12345678}));

TEST(WritersTest, TwoOctetWriters) {
  EXPECT_EQ(MakeInt(300), "\x01\x2C"s);
  EXPECT_EQ(MakeInt(32769), "\x00\x01"s);  // top bit dropped
  EXPECT_EQ(MakeInt(-1), "\x7F\xFF"s);
  EXPECT_EQ(MakeUInt(65535), "\xFF\xFF"s);
  EXPECT_EQ(MakeUInt(0xABCD), "\xAB\xCD"s);
  EXPECT_EQ(MakeUInt(-2), "\xFF\xFE"s);
}

TEST(WritersTest, MakeLongWritesFourOctetsAndReportsOverflow) {
  RecordingErrorSink sink;
  EXPECT_EQ(MakeLong(sink, 0), "\x00\x00\x00\x00"s);
  EXPECT_EQ(MakeLong(sink, 3600), "\x00\x00\x0E\x10"s);
  EXPECT_EQ(MakeLong(sink, 2147483647.0), "\x7F\xFF\xFF\xFF"s);
  EXPECT_EQ(MakeLong(sink, 0x12345678), "\x12\x34\x56\x78"s);
  EXPECT_TRUE(sink.entries.empty());

  EXPECT_EQ(MakeLong(sink, 2147483648.0), "");
  EXPECT_EQ(MakeLong(sink, 4294967295.0), "");
  ASSERT_EQ(sink.entries.size(), 2u);
  EXPECT_EQ(sink.entries[0].where, "modDNS MakeLong");
  EXPECT_EQ(sink.entries[0].number, kErrOverflow);
}

TEST(WritersTest, ReadersUndoWriters) {
  RecordingErrorSink sink;
  for (int32_t v : {0, 1, 255, 256, 32767}) {
    std::string data = MakeInt(v);
    EXPECT_EQ(GetInt(data, false), v);
  }
  for (int32_t v : {0, 255, 256, 65535}) {
    std::string data = MakeUInt(v);
    EXPECT_EQ(GetUInt(data, false), v);
  }
  for (int32_t v : {0, 86400, 16777216, 2147483647}) {
    std::string data = MakeLong(sink, v);
    EXPECT_EQ(GetLong(data, false), v);
  }
}

}  // namespace
}  // namespace vell
