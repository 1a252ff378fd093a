#include "saver/random.h"

#include <cmath>
#include <ctime>

#include "core/float_precision.h"

namespace {

// Only a stand-in for the system's tick count (the saver installs GetTickCount): the C
// clock keeps the Windows program free of the C++ library's clocks and their baggage.
uint32_t ClockTicks() {
  // Unsigned arithmetic: wraps like the system's counter instead of overflowing.
  return static_cast<uint32_t>(static_cast<uint64_t>(std::clock()) * 1000u / CLOCKS_PER_SEC);
}

// Deliberately not pi: the sequence of values depends on these exact digits.
constexpr double kRandomOffset = 3.141592654;

}  // namespace

double randomState = 0.0;
uint32_t (*randomTickSource)() = ClockTicks;

int32_t RandomValue(int32_t n) {
  if (n == 0) {
    // A reseed starts a slideshow cycle's picks, all computed in doubles.
    UseDoublePrecision();
    randomState = static_cast<double>(randomTickSource());
    while (randomState > 1.0) randomState /= 10.0;
    return 0;
  }
  // |n * randomState| <= |n| while the state lies in [0, 1], so the conversion is exact.
  const int32_t result = static_cast<int32_t>(static_cast<double>(n) * randomState);
  const double s = randomState + kRandomOffset;
  double y = s;
  for (int i = 1; i < 8; ++i) y = y * s;  // left to right, as the sequence requires
  randomState = y - std::trunc(y);
  return result;
}
