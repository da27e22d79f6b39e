// The sorted collections as zones fill them: a whole zone file inserted at
// once must leave the order that inserting record by record leaves.
#include <gtest/gtest.h>

#include <random>

#include "test_support.h"

namespace vell {
namespace {

RecordPtr Rec(const std::string& name, int arrival) {
  return MakeRecordWithoutTTL(Lifetime::kLearnt, name, 0, std::to_string(arrival));
}

std::vector<std::string> Order(const SortedRecords& list) {
  std::vector<std::string> order;
  for (const RecordPtr& r : list.items()) order.push_back(r->Name + "#" + r->Data);
  return order;
}

TEST(ZoneRecords, BulkInsertKeepsTheOrderOfSingleInserts) {
  std::mt19937 random(7);
  // Two names alike in their first eight octets, where the sort falls back to whole names.
  const std::vector<std::string> names{"a.",  "b.", "a.b.",       "*.b.",      "c.",
                                       "ab.", "a.", "longname2.", "longname1."};
  SortedRecords one_by_one;
  SortedRecords bulk;
  // A list that already holds records, then a batch that repeats their names.
  for (int round = 0; round < 2; ++round) {
    std::vector<RecordPtr> batch;
    for (int i = 0; i < 200; ++i) {
      const RecordPtr r = Rec(names[random() % names.size()], round * 1000 + i);
      one_by_one.Insert(r);
      batch.push_back(r);
    }
    bulk.InsertMany(std::move(batch));
    ASSERT_EQ(Order(bulk), Order(one_by_one)) << "round " << round;
  }
}

TEST(ZoneList, SortedByNameAndFoundOnlyByExactName) {
  test::TestContext t;
  clDNSAuthData& auth = t.ctx.AuthData;
  for (const char* name : {"example.com.", "a.example.com.", ".", "com."}) {
    auto zone = std::make_shared<clZone>();
    zone->Name = name;
    auth.ZoneAdd(zone);
  }
  std::vector<std::string> names;
  for (const ZonePtr& z : auth.Zones().items()) names.push_back(z->Name);
  EXPECT_EQ(names, (std::vector<std::string>{".", "a.example.com.", "com.", "example.com."}));
  EXPECT_EQ(auth.ZoneFind("com."), 2u);
  EXPECT_EQ(auth.ZoneFind("www.example.com."), kNotFound);
  EXPECT_EQ(auth.ZoneFind("example.com"), kNotFound);
}

}  // namespace
}  // namespace vell
