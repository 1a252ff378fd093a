// Renderer speed on generation 15 of "Harter-Heighway Dragon" (32,768 segments), in ns
// per segment: the measuring pass, the drawing pass onto a surface that does nothing,
// and as the baseline the cos and sin of as many headings, the least a pass must do.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "bench/bench_util.h"
#include "core/rewrite.h"
#include "render/turtle.h"

namespace {

// Builds the figure and returns its number of segments.
double BuildDragonSegments() {
  BuildDragon15();
  return static_cast<double>(std::count(CurrentString, CurrentString + CurrentLength(), 'F'));
}

class NullSurface : public DrawingSurface {
 public:
  void Clear() override {}
  void MoveTo(int x, int y) override { benchmark::DoNotOptimize(x + y); }
  void SelectPen(int pen) override { benchmark::DoNotOptimize(pen); }
  void LineTo(int x, int y) override { benchmark::DoNotOptimize(x + y); }
  bool Pause(int) override { return true; }
};

void BM_MeasureDragon15(benchmark::State& state) {
  const double segments = BuildDragonSegments();
  TimePerItem(state, "ns_per_segment", segments, [] {
    Render(0, nullptr);
    benchmark::DoNotOptimize(extent);
  });
}
BENCHMARK(BM_MeasureDragon15)->Unit(benchmark::kMicrosecond);

void BM_DrawDragon15WithoutPauses(benchmark::State& state) {
  const double segments = BuildDragonSegments();
  SetDrawingArea(800, 600);
  Render(0, nullptr);
  NullSurface surface;
  TimePerItem(state, "ns_per_segment", segments, [&] { Render(1, &surface); });
}
BENCHMARK(BM_DrawDragon15WithoutPauses)->Unit(benchmark::kMicrosecond);

// The baseline: one cos and one sin per segment, headings as the dragon's (multiples of 90).
void BM_CosSinPerSegment(benchmark::State& state) {
  const double segments = BuildDragonSegments();
  std::vector<double> angles(static_cast<size_t>(segments));
  for (size_t i = 0; i < angles.size(); ++i)
    angles[i] = static_cast<double>(static_cast<int>(i % 7) * 90 - 270) / 180.0 * 3.1415;
  TimePerItem(state, "ns_per_segment", segments, [&] {
    double x = 0, y = 0;
    for (double a : angles) {
      x += std::cos(a);
      y += std::sin(a);
    }
    benchmark::DoNotOptimize(x + y);
  });
}
BENCHMARK(BM_CosSinPerSegment)->Unit(benchmark::kMicrosecond);

}  // namespace
