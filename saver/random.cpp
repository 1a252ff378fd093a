#include "saver/random.h"

#include <chrono>
#include <cmath>

namespace {

uint32_t SteadyClockTicks() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Deliberately not pi: the sequence of values depends on these exact digits.
constexpr double kRandomOffset = 3.141592654;

}  // namespace

double randomState = 0.0;
uint32_t (*randomTickSource)() = SteadyClockTicks;

int32_t RandomValue(int32_t n) {
  if (n == 0) {
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
