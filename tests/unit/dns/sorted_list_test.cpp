#include "dns/sorted_list.h"

#include <gtest/gtest.h>

#include <utility>

namespace vell {
namespace {

using Item = std::pair<std::string, int>;
struct ItemName {
  const std::string& operator()(const Item& i) const { return i.first; }
};
using List = SortedList<Item, ItemName>;

std::string Order(const List& list) {
  std::string out;
  for (const auto& [name, n] : list.items()) out += name + std::to_string(n) + " ";
  return out;
}

TEST(SortedList, EqualNamesComeOutInReverseOrderOfArrival) {
  List list;
  for (const Item& item : std::vector<Item>{{"m", 1}, {"c", 2}, {"m", 3}, {"x", 4}, {"m", 5}, {"a", 6}}) {
    list.Insert(item);
  }
  EXPECT_EQ(Order(list), "a6 c2 m5 m3 m1 x4 ");
}

TEST(SortedList, FindGivesTheFirstOfEqualNames) {
  List list;
  EXPECT_EQ(list.Find("a"), kNotFound);
  for (int i = 0; i < 5; ++i) list.Insert({"b", i});
  list.Insert({"a", 9});
  list.Insert({"c", 9});
  EXPECT_EQ(list.Find("b"), 1u);
  EXPECT_EQ(list.Find("a"), 0u);
  EXPECT_EQ(list.Find("c"), 6u);
  EXPECT_EQ(list.Find("bb"), kNotFound);
  EXPECT_EQ(list.Find("0"), kNotFound);
  EXPECT_EQ(list.Find("z"), kNotFound);
  EXPECT_TRUE(list.NameAt(5, "b"));
  EXPECT_FALSE(list.NameAt(6, "b"));
  EXPECT_FALSE(list.NameAt(7, "c"));
}

TEST(SortedList, CountBeforeIsTheInsertionPoint) {
  List list;
  EXPECT_EQ(list.CountBefore("m"), 0u);
  for (const char* n : {"b", "d", "d", "f"}) list.Insert({n, 0});
  EXPECT_EQ(list.CountBefore("a"), 0u);
  EXPECT_EQ(list.CountBefore("d"), 1u);
  EXPECT_EQ(list.CountBefore("e"), 3u);
  EXPECT_EQ(list.CountBefore("g"), 4u);
}

TEST(SortedList, OrderIsByOctetsNotLocale) {
  List list;
  for (const char* n : {"b.", "B.", "\xe9.", "a-b.", "a.b."}) list.Insert({n, 0});
  EXPECT_EQ(Order(list), "B.0 a-b.0 a.b.0 b.0 \xe9.0 ");
}

}  // namespace
}  // namespace vell
