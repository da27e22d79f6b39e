// ExtractName on hand-made messages. Offsets in comments are 0-based.
#include <gtest/gtest.h>

#include <string>

#include "dns/names.h"

namespace vell {
namespace {

using namespace std::string_literals;

// A 12-octet header of a response with one question and one answer.
const std::string kHeader = "\x12\x34\x81\x80\x00\x01\x00\x01\x00\x00\x00\x00"s;

class ExtractNameTest : public ::testing::Test {
 protected:
  std::string Extract(const std::string& message, std::string& rest, bool advance = true) {
    return ExtractName(sink_, message, rest, advance);
  }
  std::string ExtractAt(const std::string& message, size_t offset) {
    std::string rest = message.substr(offset);
    return Extract(message, rest);
  }
  RecordingErrorSink sink_;
};

TEST_F(ExtractNameTest, PlainNameIsFoldedAndRestMovesPastZero) {
  const std::string message = kHeader +
                              "\x03WwW\x07"
                              "Example\x03"
                              "COM\x00"
                              "\x00\x01\x00\x01"s;
  std::string rest = message.substr(12);
  EXPECT_EQ(Extract(message, rest), "www.example.com.");
  EXPECT_EQ(rest, "\x00\x01\x00\x01"s);
  EXPECT_TRUE(sink_.entries.empty());
}

TEST_F(ExtractNameTest, RootDecodesAsDot) {
  std::string rest = "\x00\x00\x02"s;
  EXPECT_EQ(Extract(rest, rest), ".");
  EXPECT_EQ(rest, "\x00\x02"s);
}

TEST_F(ExtractNameTest, WithoutAdvanceRestIsUntouched) {
  const std::string message =
      "\x01"
      "a\x00\xC0\x00"s;
  std::string rest = message.substr(3);
  EXPECT_EQ(Extract(message, rest, false), "a.");
  EXPECT_EQ(rest, "\xC0\x00"s);
}

TEST_F(ExtractNameTest, OnlyTheFirstPointerMovesRest) {
  // 12: example.com.  25: www + pointer to 12  31: ftp + pointer to 25, then TYPE.
  const std::string message = kHeader +
                              "\x07"
                              "example\x03"
                              "com\x00"
                              "\x03"
                              "www\xC0\x0C"
                              "\x03"
                              "ftp\xC0\x19"
                              "\x00\x05"s;
  std::string rest = message.substr(31);
  EXPECT_EQ(Extract(message, rest), "ftp.www.example.com.");
  EXPECT_EQ(rest, "\x00\x05"s);
}

TEST_F(ExtractNameTest, FollowsForwardPointers) {
  // The name at 12 is "a" followed by a pointer to 20, further on.
  const std::string message = kHeader +
                              "\x01"
                              "a\xC0\x14"
                              "\xFF\xFF\xFF\xFF"
                              "\x01"
                              "b\x00"s;
  EXPECT_EQ(ExtractAt(message, 12), "a.b.");
}

TEST_F(ExtractNameTest, LabelRunningPastTheEndKeepsWhatIsThere) {
  std::string rest =
      "\x01"
      "a\x05"
      "bc"s;
  EXPECT_EQ(Extract(rest, rest), "a.bc.incomplete.");
  EXPECT_EQ(rest, "");
}

TEST_F(ExtractNameTest, MissingZeroOctetIsIncomplete) {
  std::string rest =
      "\x01"
      "a"s;
  EXPECT_EQ(Extract(rest, rest), "a.incomplete.");
  EXPECT_EQ(rest, "");
}

TEST_F(ExtractNameTest, PointerBeyondTheMessageIsIncompleteButStillMovesRest) {
  const std::string message = kHeader +
                              "\x01"
                              "a\xC0\x40"
                              "\x00\x01"s;
  std::string rest = message.substr(12);
  EXPECT_EQ(Extract(message, rest), "a.incomplete.");
  EXPECT_EQ(rest, "\x00\x01"s);
}

TEST_F(ExtractNameTest, PointerLoopStopsAfterTwentyPointers) {
  // "a" then a pointer back to itself: 21 labels are read, the 21st pointer ends it.
  const std::string message =
      "\x01"
      "a\xC0\x00"s;
  std::string expected;
  for (int i = 0; i < 21; ++i) expected += "a.";
  EXPECT_EQ(ExtractAt(message, 0), expected + "incomplete.");
}

// n pointers at offsets 0, 2, 4, ... each to the next, then the name "end".
std::string PointerChain(int n) {
  std::string message;
  for (int i = 1; i <= n; ++i) message += "\xC0"s + static_cast<char>(2 * i);
  return message +
         "\x03"
         "end\x00"s;
}

TEST_F(ExtractNameTest, TwentyPointersDecodeTwentyOneDoNot) {
  EXPECT_EQ(ExtractAt(PointerChain(20), 0), "end.");
  EXPECT_EQ(ExtractAt(PointerChain(21), 0), "incomplete.");
}

TEST_F(ExtractNameTest, PointerAsLastOctetReadsMissingOctetAsZero) {
  const std::string message =
      "\x01"
      "b\x00\xC0"s;
  EXPECT_EQ(ExtractAt(message, 3), "b.");
  // With high bits set the offset is 256, past this short message.
  EXPECT_EQ(ExtractAt("\x01"
                      "b\x00\xC1"s,
                      3),
            "incomplete.");
}

TEST_F(ExtractNameTest, LengthOctetsUpTo191AreLabelLengths) {
  const std::string label64(64, 'x');
  EXPECT_EQ(ExtractAt("\x40"s + label64 + "\x00"s, 0), label64 + ".");
  const std::string label191(191, 'y');
  EXPECT_EQ(ExtractAt("\xBF"s + label191 + "\x00"s, 0), label191 + ".");
  // 0xBF with three octets left is a cut label, not a pointer.
  EXPECT_EQ(ExtractAt("\xBF"
                      "abc"s,
                      0),
            "abc.incomplete.");
}

TEST_F(ExtractNameTest, LabelOctetsAreTakenAsTheyAre) {
  // A "." inside a label is not escaped; only A-Z are folded.
  EXPECT_EQ(ExtractAt("\x03"
                      "a.B\x02\xC4Q\x00"s,
                      0),
            "a.b.\xC4q.");
}

TEST_F(ExtractNameTest, ViewOverloadAgrees) {
  const std::string message = kHeader +
                              "\x07"
                              "example\x00"
                              "\x03"
                              "www\xC0\x0C"
                              "tail"s;
  std::string_view rest = std::string_view(message).substr(21);
  EXPECT_EQ(ExtractName(sink_, std::string_view(message), rest, true), "www.example.");
  EXPECT_EQ(rest, "tail");
}

}  // namespace
}  // namespace vell
