// Answers from one zone: exact records, referrals, name errors and no
// data, the choice of zone, and DHCP leases.
#include <gtest/gtest.h>

#include "zone_fixture.h"

namespace vell::test {
namespace {

using Texts_ = std::vector<std::string>;

constexpr int16_t kA = 1, kNS = 2, kSOA = 6, kPTR = 12, kMX = 15, kTXT = 16, kSRV = 33, kANY = 255;

const char kExampleZone[] =
    "@ IN SOA ns1 hostmaster 7 3600 600 86400 3600\r\n"
    "@ NS ns1\r\n"
    "ns1 A 192.0.2.1\r\n"
    "mail AAAA 2001:db8::25\r\n"
    "mail A 10.0.0.1\r\n"
    "mail A 10.0.0.2\r\n"
    "@ MX 10 mail\r\n"
    "@ MX 20 mx.other.org.\r\n"
    "_sip._udp SRV 0 5 5060 mail\r\n"
    "alias CNAME www\r\n"
    "www A 10.0.0.80\r\n"
    "www TXT \"web\"\r\n"
    "glued NS ns.glued\r\n"
    "ns.glued A 192.0.2.53\r\n"
    "bare NS ns.bare\r\n"
    "host.bare A 10.0.0.9\r\n"
    "mixed NS ns.mixed\r\n"
    "mixed NS ns.example.net.\r\n";

const std::string kSoaText = "SOA-record for example.com. = ns1.example.com. (Serial 7)";

class LookupTest : public ZoneTest {
 protected:
  LookupTest() { Load("example.com.", kExampleZone); }
};

TEST_F(LookupTest, RecordsOfOneNameComeInReverseFileOrder) {
  const auto a = Ask("mail.example.com.", kA);
  EXPECT_TRUE(a->AA);
  EXPECT_EQ(a->RCode, 0);
  EXPECT_EQ(Texts(a->Section2), (Texts_{"A-record for mail.example.com. = 10.0.0.2",
                                        "A-record for mail.example.com. = 10.0.0.1"}));
  EXPECT_TRUE(a->Section3.empty());
  EXPECT_TRUE(a->Section4.empty());
  // The zone's own record objects are handed out, not copies.
  EXPECT_EQ(a->Section2[0],
            Zone("example.com.")->Records[Zone("example.com.")->FindRec("mail.example.com.")]);
}

// Any type a name lacks, and a name with names below it but no records of
// its own (an empty non-terminal).
TEST_F(LookupTest, ExistingNameWithoutTheTypeGivesTheSoaWhateverTheFlags) {
  const std::pair<const char*, int32_t> cases[] = {{"www.example.com.", kMX},
                                                   {"www.example.com.", 28},
                                                   {"www.example.com.", 65},
                                                   {"www.example.com.", 65534},
                                                   {"_udp.example.com.", kSRV}};
  for (const auto& [name, type] : cases) {
    for (const bool rd : {false, true}) {
      for (const bool quick : {false, true}) {
        const auto a = Ask(name, type, rd, quick);
        EXPECT_TRUE(a->AA);
        EXPECT_EQ(a->RCode, 0) << name;
        EXPECT_TRUE(a->Section2.empty());
        EXPECT_EQ(Texts(a->Section3), Texts_{kSoaText}) << name << type << rd << quick;
      }
    }
  }
}

TEST_F(LookupTest, MissingNameGivesTheSoaOnlyWithoutEitherFlag) {
  for (const bool rd : {false, true}) {
    for (const bool quick : {false, true}) {
      const auto a = Ask("nothing.example.com.", kA, rd, quick);
      EXPECT_TRUE(a->AA);
      EXPECT_EQ(a->RCode, 3);
      EXPECT_EQ(Texts(a->Section3), (rd || quick ? Texts_{} : Texts_{kSoaText})) << rd << quick;
    }
  }
}

TEST_F(LookupTest, CnameAnswersEveryTypeAndIsNotFollowed) {
  for (const int16_t type : {kA, kMX, kTXT}) {
    const auto a = Ask("alias.example.com.", type);
    EXPECT_TRUE(a->AA);
    EXPECT_EQ(Texts(a->Section2), Texts_{"CNAME-record for alias.example.com. = www.example.com."});
  }
}

TEST_F(LookupTest, MailAndServiceTargetsGetAddressesOnlyFromTheZone) {
  const auto mx = Ask("example.com.", kMX);
  EXPECT_EQ(Texts(mx->Section2), (Texts_{"MX-record for example.com. = mx.other.org. (Preference 20)",
                                         "MX-record for example.com. = mail.example.com. (Preference 10)"}));
  EXPECT_EQ(Texts(mx->Section4),
            (Texts_{"A-record for mail.example.com. = 10.0.0.2", "A-record for mail.example.com. = 10.0.0.1",
                    "AAAA-record for mail.example.com. = 2001:db8::25"}));

  const auto srv = Ask("_sip._udp.example.com.", kSRV);
  EXPECT_EQ(srv->Section2.size(), 1u);
  EXPECT_EQ(srv->Section4.size(), 3u);

  const auto any = Ask("example.com.", kANY);
  EXPECT_EQ(any->Section2.size(), 4u);  // SOA, NS and both MX
  EXPECT_TRUE(any->Section4.empty());
}

TEST_F(LookupTest, DelegationWithGlueIsAReferralForEveryType) {
  for (const char* name : {"glued.example.com.", "deep.below.glued.example.com."}) {
    for (const int16_t type : {kA, kSOA}) {
      const auto a = Ask(name, type);
      EXPECT_FALSE(a->AA);
      EXPECT_EQ(a->RCode, 0);
      EXPECT_TRUE(a->Section2.empty());
      EXPECT_EQ(Texts(a->Section3), Texts_{"NS-record for glued.example.com. = ns.glued.example.com."});
      EXPECT_EQ(Texts(a->Section4), Texts_{"A-record for ns.glued.example.com. = 192.0.2.53"});
    }
  }
  // The apex NS never refers.
  const auto apex = Ask("example.com.", kNS);
  EXPECT_TRUE(apex->AA);
  EXPECT_EQ(Texts(apex->Section2), Texts_{"NS-record for example.com. = ns1.example.com."});
  EXPECT_EQ(Texts(apex->Section4), Texts_{});
}

TEST_F(LookupTest, ServerInsideTheChildWithoutAddressIsLeftOut) {
  // Its only NS left out: answered from the parent, name errors included.
  const auto host = Ask("host.bare.example.com.", kA);
  EXPECT_TRUE(host->AA);
  EXPECT_EQ(Texts(host->Section2), Texts_{"A-record for host.bare.example.com. = 10.0.0.9"});
  EXPECT_EQ(Ask("x.bare.example.com.", kA)->RCode, 3);

  // Beside a server outside the child, only that one is given.
  const auto mixed = Ask("mixed.example.com.", kA);
  EXPECT_FALSE(mixed->AA);
  EXPECT_EQ(Texts(mixed->Section3), Texts_{"NS-record for mixed.example.com. = ns.example.net."});
  EXPECT_TRUE(mixed->Section4.empty());
}

TEST_F(LookupTest, MostSpecificZoneAnswersAndNoneOutsideEveryZone) {
  Load("sub.example.com.", "@ SOA ns hm 1 2 3 4 5\nx A 10.9.9.9\n");
  const auto a = Ask("x.sub.example.com.", kA);
  EXPECT_TRUE(a->AA);
  EXPECT_EQ(Texts(a->Section2), Texts_{"A-record for x.sub.example.com. = 10.9.9.9"});
  EXPECT_EQ(Texts(Ask("y.sub.example.com.", kA)->Section3),
            Texts_{"SOA-record for sub.example.com. = ns.sub.example.com. (Serial 1)"});
  // A name outside every zone gets an empty answer: the root zone is
  // chosen only for the root name itself.
  Load(".", "@ SOA a.root. hm. 1 2 3 4 5\ncom NS a.gtld.\n");
  for (const char* name : {"example.org.", "com.", "xexample.com.", ""}) {
    const auto a = Ask(name, kA);
    EXPECT_FALSE(a->AA) << name;
    EXPECT_EQ(a->RCode, 0);
    EXPECT_TRUE(a->Section2.empty() && a->Section3.empty() && a->Section4.empty()) << name;
  }
  EXPECT_TRUE(Ask(".", kSOA)->AA);
}

TEST_F(LookupTest, LiveLeasesComeFirstAndExpiredOnesAreHidden) {
  Load("0.0.10.in-addr.arpa.", "@ SOA ns1.example.com. hm 1 2 3 4 5\n1 PTR mail.example.com.\n");
  const DateTime now = t.ctx.Now();
  t.ctx.Leases = {{"10.0.0.77", "mail.example.com.", now + Minutes(5), "", ""},
                  {"10.0.0.78", "gone.example.com.", now - Minutes(5), "", ""},
                  {"10.0.0.1", "pc.example.com.", now + Minutes(5), "", ""}};

  const auto a = Ask("mail.example.com.", kA);
  EXPECT_EQ(Texts(a->Section2),
            (Texts_{"A-record for mail.example.com. = 10.0.0.77", "A-record for mail.example.com. = 10.0.0.2",
                    "A-record for mail.example.com. = 10.0.0.1"}));
  EXPECT_EQ(a->Section2[0]->TTL(t.clock), 0);
  EXPECT_EQ(Ask("gone.example.com.", kA)->RCode, 3);

  const auto ptr = Ask("1.0.0.10.in-addr.arpa.", kPTR);
  EXPECT_EQ(Texts(ptr->Section2), (Texts_{"PTR-record for 1.0.0.10.in-addr.arpa. = pc.example.com.",
                                          "PTR-record for 1.0.0.10.in-addr.arpa. = mail.example.com."}));
  EXPECT_TRUE(Ask("78.0.0.10.in-addr.arpa.", kANY)->Section2.empty());
}

}  // namespace
}  // namespace vell::test
