// Time to load one zone file: the zone named by $VELL_BENCH_ZONE from the
// data directory below $VELL_BENCH_HOME (bench/zone_load.sh sets both up
// with a file of 1,000,000 records).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <string>

#include "server/context.h"

namespace {

void BM_LoadZone(benchmark::State& state) {
  const char* home = getenv("VELL_BENCH_HOME");
  const char* zone = getenv("VELL_BENCH_ZONE");
  if (home == nullptr || zone == nullptr) {
    state.SkipWithError("set VELL_BENCH_HOME and VELL_BENCH_ZONE");
    return;
  }
  vell::SystemClock clock;
  vell::FakeMessageBoxes boxes;
  vell::EventLoop loop;
  vell::Context ctx(clock, home, boxes, loop);
  for (auto _ : state) ctx.AuthData.LoadZone(zone, 0);
  const size_t found = ctx.AuthData.ZoneFind(zone);
  state.counters["records"] =
      found == vell::kNotFound ? 0 : static_cast<double>(ctx.AuthData.Zones()[found]->Records.size());
}
BENCHMARK(BM_LoadZone)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
