// The slideshow's random source. randomState is owned by the drawing thread.
#pragma once

#include <cstdint>

extern double randomState;

// Milliseconds since system start; GetTickCount on Windows. Tests may replace it.
extern uint32_t (*randomTickSource)();

// n == 0: sets the thread's floating-point state (UseDoublePrecision), reseeds from
// randomTickSource() and returns 0. Otherwise returns the integer part of
// n * randomState and then advances the state.
int32_t RandomValue(int32_t n);
