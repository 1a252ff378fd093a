// Rewriting speed: generation 15 of "Harter-Heighway Dragon" built from an empty string,
// in ns per output symbol, beside a memcpy of the same number of bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/rewrite.h"
#include "settings/settings.h"

namespace {

constexpr int kDragon = 4;
constexpr int kDragonLastGeneration = 15;

size_t BuildDragon() {
  Settings.NumFractal = kDragon;
  ResetCurrentString();
  for (int i = 0; i <= kDragonLastGeneration; ++i) Rewrite();
  return CurrentLength();
}

void BM_RewriteDragon15(benchmark::State& state) {
  size_t symbols = 0;
  for (auto _ : state) {
    symbols = BuildDragon();
    benchmark::DoNotOptimize(CurrentString);
  }
  state.counters["ns_per_symbol"] = benchmark::Counter(
      static_cast<double>(symbols) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["ns_per_symbol"] = state.counters["ns_per_symbol"] * 1e9;
}
BENCHMARK(BM_RewriteDragon15)->Unit(benchmark::kMicrosecond);

// The baseline: copying the same number of bytes once.
void BM_MemcpyDragon15Bytes(benchmark::State& state) {
  const size_t bytes = BuildDragon();
  std::vector<char> from(bytes, 'F'), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.counters["ns_per_symbol"] = benchmark::Counter(
      static_cast<double>(bytes) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["ns_per_symbol"] = state.counters["ns_per_symbol"] * 1e9;
}
BENCHMARK(BM_MemcpyDragon15Bytes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
