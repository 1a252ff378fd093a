// Rewriting speed: generation 15 of "Harter-Heighway Dragon" built from an empty string,
// in ns per output symbol, beside a memcpy of the same number of bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/bench_util.h"
#include "core/rewrite.h"

namespace {

void BM_RewriteDragon15(benchmark::State& state) {
  const size_t symbols = BuildDragon15();
  TimePerItem(state, "ns_per_symbol", static_cast<double>(symbols), [] {
    BuildDragon15();
    benchmark::DoNotOptimize(CurrentString);
  });
}
BENCHMARK(BM_RewriteDragon15)->Unit(benchmark::kMicrosecond);

// The baseline: copying the same number of bytes once.
void BM_MemcpyDragon15Bytes(benchmark::State& state) {
  const size_t bytes = BuildDragon15();
  std::vector<char> from(bytes, 'F'), to(bytes);
  TimePerItem(state, "ns_per_symbol", static_cast<double>(bytes), [&] {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  });
}
BENCHMARK(BM_MemcpyDragon15Bytes)->Unit(benchmark::kMicrosecond);

}  // namespace
