// A guard on the two hot paths: heap allocations per authoritative answer
// and per cache hit, from query octets to reply octets, against the figures
// written here. 20% above a figure fails; so does 20% below, so that an
// improvement is written down and the guard tightens with the code.
#include <atomic>
#include <cstdlib>
#include <new>

#include "query_fixture.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

// The replacements pair malloc with free; GCC cannot see through that.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// The library's temporary buffers come through the nothrow form: every form
// that can meet the deletes below is replaced, or a sanitizer sees a mismatch.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace vell::test {
namespace {

// As a server runs with no log file and no log window open: no line is made.
TEST_F(QueryTest, HotPathsAllocateNoMoreThanTheCommittedFigures) {
  ctx.log.KeepLog = false;
  Add(ExampleZone(), "www.example.com.", kTypeA, "192.0.2.80");
  ctx.Cache.AddRec(
      MakeRecord(ctx.clock, Lifetime::kLearnt, "www.example.org.", kTypeA, IPToData("192.0.2.81"), 600));
  sender.answers.reserve(256);
  const std::tuple<const char*, std::string, std::string, double> rows[] = {
      {"authoritative", "www.example.com.", "10.0.0.9", 15},
      {"cache hit", "www.example.org.", "127.0.0.1", 16}};
  for (const auto& [path, name, ip, figure] : rows) {
    SCOPED_TRACE(path);
    // Asked 200 times after one warm-up.
    const std::string query = Query(7, name, kTypeA);
    ProcDNSRequest(q, ip, 5353, query);
    sender.answers.clear();
    const long before = allocations.load();
    for (int i = 0; i < 200; ++i) ProcDNSRequest(q, ip, 5353, query);
    const double measured = static_cast<double>(allocations.load() - before) / 200;
    EXPECT_EQ(sender.answers.size(), 200u);
    EXPECT_EQ(ReadReply(sender.answers.back().msg).answer.size(), 1u);
    EXPECT_LE(measured, figure * 1.2) << "allocations per query grew";
    EXPECT_GE(measured, figure * 0.8) << "fewer allocations, write the figure down";
  }
}

}  // namespace
}  // namespace vell::test
