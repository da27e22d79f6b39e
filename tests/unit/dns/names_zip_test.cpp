// ZipName: encoding and compression against hand-made messages.
#include <gtest/gtest.h>

#include <string>

#include "dns/names.h"

namespace vell {
namespace {

using namespace std::string_literals;

const std::string kHeader = "\x12\x34\x81\x80\x00\x01\x00\x01\x00\x00\x00\x00"s;
// Header, then the question www.example.com. A IN; the name's labels start at
// 12 (www), 16 (example) and 24 (com).
const std::string kQuery = kHeader +
                           "\x03"
                           "www\x07"
                           "example\x03"
                           "com\x00"
                           "\x00\x01\x00\x01"s;

class ZipNameTest : public ::testing::Test {
 protected:
  std::string Zip(const std::string& message, const std::string& name) {
    return ZipName(sink_, message, name);
  }
  RecordingErrorSink sink_;
};

TEST_F(ZipNameTest, RootIsOneZeroOctetNeverAPointer) {
  EXPECT_EQ(Zip(kQuery, "."), "\x00"s);
  EXPECT_EQ(Zip(kQuery, ""), "\x00"s);
  EXPECT_EQ(Zip(kQuery, ".."), "\x00"s);
}

TEST_F(ZipNameTest, EncodesLabelsWithOrWithoutTrailingDot) {
  const std::string wire =
      "\x01"
      "a\x02"
      "bc\x00"s;
  EXPECT_EQ(Zip("", "a.bc."), wire);
  EXPECT_EQ(Zip("", "a.bc"), wire);
  EXPECT_EQ(Zip("", "a..bc."), wire);
  EXPECT_EQ(Zip("", ".a.bc"), wire);
}

TEST_F(ZipNameTest, RepeatedNameIsOnePointerToItsFirstOccurrence) {
  const std::string message = kQuery +
                              "\x03"
                              "www\x07"
                              "example\x03"
                              "com\x00"s;
  EXPECT_EQ(Zip(message, "www.example.com."), "\xC0\x0C"s);
  EXPECT_EQ(Zip(message, "example.com."), "\xC0\x10"s);
}

TEST_F(ZipNameTest, SharedSuffixBecomesLabelsAndPointer) {
  EXPECT_EQ(Zip(kQuery, "mail.example.com."),
            "\x04"
            "mail\xC0\x10"s);
  EXPECT_EQ(Zip(kQuery, "a.b.example.com."),
            "\x01"
            "a\x01"
            "b\xC0\x10"s);
  EXPECT_EQ(Zip(kQuery, "example.org."),
            "\x07"
            "example\x03"
            "org\x00"s);
  EXPECT_EQ(Zip(kQuery, "ftp.com."),
            "\x03"
            "ftp\xC0\x18"s);
}

TEST_F(ZipNameTest, CompressesAgainstRecordDataToo) {
  // An answer whose RDATA (at 45) happens to hold the octets 03 "net" 00.
  const std::string message = kQuery +
                              "\xC0\x0C\x00\x01\x00\x01\x00\x00\x0E\x10\x00\x05"
                              "\x03"
                              "net\x00"s;
  EXPECT_EQ(Zip(message, "ns.net."),
            "\x02"
            "ns\xC0\x2D"s);
}

TEST_F(ZipNameTest, SecondPassPointsAtAnEarlierCompressedName) {
  // 12: example.com.  25: www + pointer to 12.
  const std::string message = kHeader +
                              "\x07"
                              "example\x03"
                              "com\x00"
                              "\x03"
                              "www\xC0\x0C"s;
  EXPECT_EQ(Zip(message, "www.example.com."), "\xC0\x19"s);
  // The same works one label further out: 31 holds ftp + pointer to 25.
  const std::string longer = message +
                             "\x03"
                             "ftp\xC0\x19"s;
  EXPECT_EQ(Zip(longer, "a.ftp.www.example.com."),
            "\x01"
            "a\xC0\x1F"s);
}

TEST_F(ZipNameTest, MatchingIsCaseSensitive) {
  EXPECT_EQ(Zip(kQuery, "WWW.EXAMPLE.COM."),
            "\x03"
            "WWW\x07"
            "EXAMPLE\x03"
            "COM\x00"s);
  EXPECT_EQ(Zip(kQuery, "WWW.example.com."),
            "\x03"
            "WWW\xC0\x10"s);
}

TEST_F(ZipNameTest, MatchesAtOffset16384OrBeyondAreNotUsed) {
  const std::string com =
      "\x03"
      "com\x00"s;
  EXPECT_EQ(Zip(std::string(16383, 'z') + com, "a.com."),
            "\x01"
            "a\xFF\xFF"s);
  EXPECT_EQ(Zip(std::string(16384, 'z') + com, "a.com."),
            "\x01"
            "a"s +
                com);
}

TEST_F(ZipNameTest, LabelOver255OctetsIsReportedAndGivesNothing) {
  const std::string label255(255, 'x');
  EXPECT_EQ(Zip("", label255 + ".").size(), 257u);
  EXPECT_TRUE(sink_.entries.empty());

  EXPECT_EQ(Zip("", label255 + "x.com."), "");
  ASSERT_EQ(sink_.entries.size(), 1u);
  EXPECT_EQ(sink_.entries[0].where, "modDNS ZipName");
  EXPECT_EQ(sink_.entries[0].number, kErrOverflow);
}

TEST_F(ZipNameTest, EncodedNamesDecodeBack) {
  std::string message = kQuery;
  const char* names[] = {"www.example.com.", "ns1.example.com.", "example.com.", "mail.example.org.", "."};
  for (const char* name : names) message += ZipName(sink_, message, name) + "\x00\x01"s;
  std::string rest = message.substr(kQuery.size());
  for (const char* name : names) {
    EXPECT_EQ(ExtractName(sink_, message, rest, true), name);
    EXPECT_EQ(rest.substr(0, 2), "\x00\x01"s);
    rest.erase(0, 2);
  }
  EXPECT_TRUE(rest.empty());
}

}  // namespace
}  // namespace vell
