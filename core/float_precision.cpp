#include "core/float_precision.h"

#include <cstdint>

// fnclex/fldcw and ldmxcsr rather than the run time's _controlfp: the same effect on every
// system from 95 on, without an import, and the same code in every build of the program.

// 32-bit x86, and 64-bit Windows, whose math library computes sine and cosine on the x87.
#if defined(__i386__) || (defined(__x86_64__) && defined(_WIN32))
#define LUMERIN_X87_FIGURES 1
#endif
// Doubles computed with SSE2: every x86-64 build, and 32-bit builds made so (never the
// 32-bit Windows program).
#ifdef __SSE2_MATH__
#define LUMERIN_SSE_FIGURES 1
#endif

void UseDoublePrecision() {
#ifdef LUMERIN_X87_FIGURES
  // Every exception masked (bits 0-5, and bit 6, always set), 53-bit precision (0x0200),
  // rounding to nearest (bits 10-11 clear): the word 64-bit Windows starts threads with.
  const uint16_t controlWord = 0x027F;
  // A flag left set under an exception that foreign code unmasked is pending, and fldcw
  // would raise it; fnclex clears the flags without waiting.
  __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(controlWord) : "memory");
#endif
#ifdef LUMERIN_SSE_FIGURES
  // Every exception masked (bits 7-12), rounding to nearest, no flush to zero, denormals
  // as they are, no flag set: the register as every program starts with it.
  const uint32_t sseControl = 0x1F80;
  __asm__ volatile("ldmxcsr %0" : : "m"(sseControl) : "memory");
#endif
}
