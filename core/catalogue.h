// The built-in catalogue of sixteen L-systems the saver can draw.
// Owns FractalCatalogue (process-wide, writable only through SetStartAngle, which the
// drawing thread calls once in the fixed mode before it rewrites anything).
#pragma once

#include <cstdint>

struct FractalRecord {
  int32_t reserved1;  // carried with each entry, read by nothing
  int32_t reserved2;  // carried with each entry, read by nothing
  int32_t slideIter;  // Rewrite steps the slideshow makes before its one drawing
  int32_t maxIter;    // generations offered: 0 .. maxIter - 1
  char title[28];
  int32_t startAngle;  // degrees; heading at the start of every renderer pass
  int32_t turnAngle;   // degrees per "+" or "-"
  char axiom[40];
  char ruleF[40];
  char ruleX[40];
  char ruleY[40];
  char ruleB[40];
};

constexpr int kFractalCount = 16;

// Read access to the entries, indexed 0 .. kFractalCount - 1.
extern const FractalRecord (&FractalCatalogue)[kFractalCount];

// The catalogue's one write. Indexes outside the catalogue change nothing.
void SetStartAngle(int index, int32_t angle);

// The entry with the given index, brought into 0 .. kFractalCount - 1 so that a bad
// index can never read outside the catalogue.
const FractalRecord& FractalEntry(int32_t index);

// Puts every entry back to its built-in values (tests only).
void ResetCatalogue();
