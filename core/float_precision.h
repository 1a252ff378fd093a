// The floating-point set-up every computing thread makes at its start, so that the 32-bit
// Windows build, whose doubles live in x87 registers, rounds every operation to double
// exactly as the native build does and draws the very same pixels. No process-wide
// state: the x87 control word belongs to the thread that calls.
#pragma once

// Sets the calling thread's x87 precision control to 53 bits (double). Where doubles are
// not computed on the x87 (x86-64, SSE2 arithmetic) there is nothing to set.
void UseDoublePrecision();
