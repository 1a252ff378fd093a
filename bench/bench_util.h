// Shared pieces of the benchmarks: the figure they all work on, and the report of a
// benchmark's time as nanoseconds per item (symbol, segment), so that the figures of
// different benchmarks in one run compare directly.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>

// Builds generation 15 of "Harter-Heighway Dragon", the longest generation the saver
// offers, into CurrentString from an empty string; returns its length.
size_t BuildDragon15();

// Runs `body` once per benchmark iteration and sets counter `name` to the wall-clock
// nanoseconds per item, `items` being the number of items one call of `body` handles.
template <typename Body>
void TimePerItem(benchmark::State& state, const char* name, double items, Body body) {
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) body();
  const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
  const double count = items * static_cast<double>(state.iterations());
  state.counters[name] = count > 0 ? elapsed.count() / count : 0.0;
}
