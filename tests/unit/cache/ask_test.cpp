// Answers from the records at the name, live leases first, referrals to the
// closest cached name servers, and answers from negative entries (name
// errors, missing types, entries whose proving SOA has gone).
#include "cache_fixture.h"

namespace vell::test {
namespace {

class CacheAsk : public CacheTest {
 protected:
  void SetUp() override {
    Add(Response({A("alias.example.", "10.0.0.2")}));  // older than the alias below
    Add(Response({A("www.example.", "10.0.0.1"), Rec("example.", kTypeMX, kMx),
                  Rec("alias.example.", kTypeCNAME, "www.example."), Rec("example.", kTypeNS, "ns.example.")},
                 {}, {A("mail.example.", "10.0.0.25", 60), A("ns.example.", "10.0.0.53")}));
    Add(Negative("gone.example.", kTypeA, 3, soa));
    Add(Negative("host.example.", kTypeMX, 0, soa));
    cache.AddRec(Rec(".", kTypeNS, "a.root.", 3600, true));
    cache.AddRec(Rec("a.root.", kTypeA, IPToData("192.0.2.1"), 3600, true));
    const DateTime now = t.clock.Now();
    t.ctx.Leases = {{"10.0.0.7", "www.example.", now + Minutes(5), "", ""},
                    {"10.0.0.8", "www.example.", now, "", ""}};
  }
  const std::string kMx = MakeMxData({10, "mail.example."});
  const RecordPtr soa = Soa("example.", 600, 100);
};

TEST_F(CacheAsk, Answers) {
  const std::string root = "0 |  | . 2 a.root. | a.root. 1 192.0.2.1";
  const std::string to_example = "example. 2 ns.example. | ns.example. 1 10.0.0.53";
  const std::string example = "0 |  | " + to_example;
  const std::string www = "www.example. 1 10.0.0.7, www.example. 1 10.0.0.1";
  enum Flags { kRd, kNoRd, kQuick };
  const std::tuple<int, const char*, int32_t, Flags, std::string> rows[] = {
      // A CNAME is the whole answer for any other type.
      {0, "alias.example.", kTypeA, kRd, "0 | alias.example. 5 www.example. |  | "},
      {0, "alias.example.", kTypeA, kNoRd, "0 | alias.example. 5 www.example. | " + to_example},
      // Referrals from the closest name with servers, the root last; none for a quick lookup.
      {0, "a.b.example.", kTypeA, kRd, example},
      {0, "host.other.", kTypeA, kRd, root},
      {0, "host.other.", kTypeA, kQuick, "0 |  |  | "},
      // Without recursion the referral follows even an answer; live leases come first.
      {0, "www.example.", kTypeA, kNoRd, "0 | " + www + " | " + to_example},
      {0, "www.example.", kTypeA, kRd, "0 | " + www + " |  | "},
      {0, "7.0.0.10.in-addr.arpa.", 255, kRd, "0 | 7.0.0.10.in-addr.arpa. 12 www.example. |  | "},
      {0, "8.0.0.10.in-addr.arpa.", kTypePTR, kRd, root},
      // A name error carries the SOA only without recursion.
      {0, "gone.example.", kTypeMX, kNoRd, "AA 3 |  | example. 6 | "},
      {0, "gone.example.", kTypeA, kRd, "3 |  |  | "},
      // A missing type answers no data, but a quick lookup calls it a name error.
      {0, "host.example.", kTypeMX, kRd, "AA 0 |  | example. 6 | "},
      {0, "host.example.", kTypeMX, kQuick, "3 |  |  | "},
      {0, "host.example.", kTypeA, kRd, example},
      // ANY gives every record; MX brings the exchange's address even expired.
      {61, "example.", 255, kRd, "0 | example. 6, example. 2 ns.example., example. 15 " + kMx + " |  | "},
      {61, "example.", kTypeMX, kRd, "0 | example. 15 " + kMx + " |  | mail.example. 1 10.0.0.25"},
      // An entry outliving its SOA is passed over.
      {101, "gone.example.", kTypeA, kNoRd, example},
      // Records are valid up to their time-out moment, then skipped.
      {3600, "www.example.", kTypeA, kRd, "0 | www.example. 1 10.0.0.1 |  | "},
      {3601, "www.example.", kTypeA, kRd, root},
  };
  const long stored = cache.Count();
  const DateTime start = t.clock.Now();
  for (const auto& [at, name, type, flags, expected] : rows) {
    SCOPED_TRACE(std::string(name) + " type " + std::to_string(type) + " at " + std::to_string(at));
    t.clock.Set(start + Seconds(at));
    EXPECT_EQ(Show(*Ask(name, type, flags != kNoRd, flags == kQuick)), expected);
  }
  // Expired records still count until swept.
  EXPECT_EQ(cache.Count(), stored);
  for (long i = 0; i < stored; ++i) cache.Purge();
  EXPECT_EQ(Cached(), ". 2 a.root., a.root. 1 192.0.2.1");
}

TEST_F(CacheAsk, NegativeAnswerHandsOutTheCachedSoa) {
  const auto answer = Ask("gone.example.", kTypeA, false);
  ASSERT_EQ(answer->Section3.size(), 1u);
  EXPECT_EQ(answer->Section3[0], soa);
}

}  // namespace
}  // namespace vell::test
