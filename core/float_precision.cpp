#include "core/float_precision.h"

#include <cstdint>

#if defined(__i386__) && !defined(__SSE2_MATH__)

namespace {

// The precision-control field of the x87 control word, and its value for 53 bits.
constexpr uint16_t kPrecisionMask = 0x0300;
constexpr uint16_t kPrecisionDouble = 0x0200;

}  // namespace

// fnstcw/fldcw rather than the run time's _controlfp: the same effect on every system
// from 95 on, without an import, and the same code in every build of the program.
void UseDoublePrecision() {
  uint16_t word;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  word = static_cast<uint16_t>((word & ~kPrecisionMask) | kPrecisionDouble);
  __asm__ volatile("fldcw %0" : : "m"(word));
}

#else

void UseDoublePrecision() {}

#endif
