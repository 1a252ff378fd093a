// The ten drawing colours' built-in palettes. The colours themselves (colors) belong to
// the settings record; loading a palette writes them on the caller's thread (the
// dialog's, or the drawing thread's in the slideshow).
#pragma once

#include <cstdint>

constexpr int kPaletteCount = 5;
constexpr int kPaletteSize = 10;

// Names in palette index order, as the dialog's palette list shows them.
extern const char paletteNames[kPaletteCount][20];

// The five built-in palettes as COLORREFs (red in the low byte), colour 0 first.
extern const uint32_t kBuiltInPalettes[kPaletteCount][kPaletteSize];

// Replaces the ten colors by built-in palette `index`; any index outside 0..4 changes
// nothing. Returns whether the colours were replaced.
bool ApplyPalette(int32_t index);
