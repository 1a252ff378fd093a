#include "bench/bench_util.h"

#include "core/rewrite.h"
#include "settings/settings.h"

size_t BuildDragon15() {
  constexpr int kDragon = 4;
  constexpr int kLastGeneration = 15;
  Settings.NumFractal = kDragon;
  ResetCurrentString();
  for (int i = 0; i <= kLastGeneration; ++i) Rewrite();
  return CurrentLength();
}
