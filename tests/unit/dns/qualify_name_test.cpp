// QualifyName: relative zone-file names placed under their origin.
#include <gtest/gtest.h>

#include <string>

#include "dns/names.h"

namespace vell {
namespace {

struct QualifyCase {
  std::string origin, name, expected;
};

class QualifyNameTest : public ::testing::TestWithParam<QualifyCase> {};

TEST_P(QualifyNameTest, Qualifies) {
  EXPECT_EQ(QualifyName(GetParam().origin, GetParam().name), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, QualifyNameTest,
    ::testing::Values(QualifyCase{"example.com.", "www", "www.example.com."},
                      QualifyCase{"example.com.", "Mail.Server", "mail.server.example.com."},
                      QualifyCase{"example.com.", "WWW.Other.Org.", "www.other.org."},
                      QualifyCase{"example.com.", " a .. b. ", "a.b.example.com."},  // ends in a blank
                      QualifyCase{"example.com.", ".", "."}, QualifyCase{".", "host", "host."},
                      QualifyCase{"", "host", "host."}));

}  // namespace
}  // namespace vell
