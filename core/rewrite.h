// The string-rewriting engine: the current generation of the selected L-system.
// Owns CurrentString and NextString; only the drawing thread (or the tool) touches them.
#pragma once

#include <cstddef>

constexpr size_t kStringCapacity = 1000000;  // bytes, terminator included

extern char CurrentString[kStringCapacity];
extern char NextString[kStringCapacity];

// Advances CurrentString by one generation of entry Settings.NumFractal, or loads the
// axiom when it is empty. A step whose result would not fit leaves CurrentString as
// it was and returns false; every other step returns true.
bool Rewrite();

// Empties CurrentString, so the next Rewrite starts again from the axiom.
void ResetCurrentString();

// Number of symbols in CurrentString.
size_t CurrentLength();
