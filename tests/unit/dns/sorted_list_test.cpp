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

// Ordered by octets, not locale, past the eight octets compared as one
// number; equal names in reverse order of arrival.
TEST(SortedList, OrderFindAndInsertionPoint) {
  List list;
  EXPECT_EQ(list.Find("a"), kNotFound);
  EXPECT_EQ(list.CountBefore("m"), 0u);
  const char* names[] = {"m",     "c",    "m",    "x",          "m",          "a", "B.",
                         "\xe9.", "a-b.", "a.b.", "longname.b", "longname.a", "b."};
  for (int i = 0; i < 13; ++i) list.Insert({names[i], i});
  std::string order;
  for (const auto& [name, n] : list.items()) order += name + std::to_string(n) + " ";
  EXPECT_EQ(order, "B.6 a5 a-b.8 a.b.9 b.12 c1 longname.a11 longname.b10 m4 m2 m0 x3 \xe9.7 ");

  const std::pair<const char*, size_t> finds[] = {
      {"a", 1}, {"m", 8}, {"\xe9.", 12}, {"longname.b", 7}, {"B.", 0}, {"mm", kNotFound}, {"0", kNotFound}};
  for (const auto& [name, at] : finds) EXPECT_EQ(list.Find(name), at) << name;
  EXPECT_TRUE(list.NameAt(10, "m"));
  EXPECT_FALSE(list.NameAt(11, "m"));
  EXPECT_FALSE(list.NameAt(13, "\xe9."));
  const std::pair<const char*, size_t> before[] = {{"A", 0}, {"m", 8}, {"n", 11}, {"\xff", 13}};
  for (const auto& [name, count] : before) EXPECT_EQ(list.CountBefore(name), count) << name;
}

}  // namespace
}  // namespace vell
