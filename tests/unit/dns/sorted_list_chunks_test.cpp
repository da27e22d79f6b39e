// The chunked list against a plain vector doing the same by the rules of
// the list, through enough random changes to split, empty and rebuild
// chunks many times.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "dns/sorted_list.h"

namespace vell {
namespace {

using Item = std::pair<std::string, int>;
struct ItemName {
  const std::string& operator()(const Item& i) const { return i.first; }
};

// The rules, the slow way: a new item goes before every item of its name.
size_t Before(const std::vector<Item>& model, const std::string& name) {
  size_t n = 0;
  while (n < model.size() && model[n].first < name) ++n;
  return n;
}

TEST(SortedListChunks, RandomChangesKeepTheOrderOfAPlainList) {
  std::mt19937 random(7);
  // Half the names share their first eight octets and more, so that their
  // order rests on the octets after them. Probes take odd numbers too, and
  // fall between the items' names.
  const auto named = [&](unsigned n) { return (random() % 2 ? "longprefix" : "n") + std::to_string(n); };
  const auto name = [&] { return named(random() % 300 * 2); };
  SortedList<Item, ItemName> list;
  std::vector<Item> model;
  // Growing from empty splits chunks; removing whole sets and merging
  // batches later rebuilds them.
  for (int step = 0; step < 12000; ++step) {
    const unsigned op = step < 8000 ? random() % 95 : random() % 100;
    if (op < 75 || model.empty()) {
      const Item item{name(), step};
      list.InsertAt(list.CountBefore(item.first), item);
      model.insert(model.begin() + static_cast<std::ptrdiff_t>(Before(model, item.first)), item);
    } else if (op < 95) {
      const size_t i = random() % model.size();
      list.erase(i);
      model.erase(model.begin() + static_cast<std::ptrdiff_t>(i));
    } else if (op == 95) {
      const int residue = step % 50;
      list.EraseIf([&](const Item& item) { return item.second % 50 == residue; });
      std::erase_if(model, [&](const Item& item) { return item.second % 50 == residue; });
    } else {
      std::vector<Item> batch;
      for (int k = 0; k < 10; ++k) batch.push_back({name(), step * 100 + k});
      list.InsertMany(batch);
      for (const Item& item : batch) {
        model.insert(model.begin() + static_cast<std::ptrdiff_t>(Before(model, item.first)), item);
      }
    }
    const std::string probe = named(random() % 600);
    const size_t before = Before(model, probe);
    ASSERT_EQ(list.CountBefore(probe), before) << step;
    ASSERT_EQ(list.Find(probe), before < model.size() && model[before].first == probe ? before : kNotFound);
    if (step % 200 == 0) {
      ASSERT_EQ(std::vector<Item>(list.begin(), list.end()), model) << step;
      for (size_t i = 0; i < model.size(); i += 37) ASSERT_EQ(list[i], model[i]);
    }
  }
  EXPECT_GT(model.size(), 2000u);  // enough for several chunks
}

}  // namespace
}  // namespace vell
