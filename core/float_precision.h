// The floating-point state every figure is computed in: double precision, rounding to
// nearest, every exception masked. The 32-bit Windows build computes its doubles on the
// x87, and the math library of both Windows builds its sines and cosines; in this state
// they round every operation as the native build does and draw the very same pixels.
// The state belongs to a thread, and other code running in that thread may change it:
// the drawing thread's message calls can run other programs' hook libraries, which set
// precision, rounding or exception masks as they please (an unmasked zero division
// would end the saver). So each drawing pass and each slideshow reseed sets it afresh,
// and the drawing thread again after each of its message calls.
#pragma once

// Sets the calling thread's state for the figures: the x87 control word where the build
// computes on the x87 (pending exception flags cleared first, so that loading the word
// cannot raise one), and the SSE control register where doubles are computed with SSE.
// A few instructions; elsewhere there is nothing to set.
void UseDoublePrecision();
