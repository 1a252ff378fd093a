#include "render/palette.h"

#include "settings/settings.h"

const char paletteNames[kPaletteCount][20] = {
    "Blue", "Autumn", "Raspberry palette", "White gradient", "New Year",
};

const uint32_t kBuiltInPalettes[kPaletteCount][kPaletteSize] = {
    // Blue: (30, 25 i, 250)
    {0xFA001E, 0xFA191E, 0xFA321E, 0xFA4B1E, 0xFA641E, 0xFA7D1E, 0xFA961E, 0xFAAF1E, 0xFAC81E,
     0xFAE11E},
    // Autumn: (25 + 25 i, 200, 100)
    {0x64C819, 0x64C832, 0x64C84B, 0x64C864, 0x64C87D, 0x64C896, 0x64C8AF, 0x64C8C8, 0x64C8E1,
     0x64C8FA},
    // Raspberry palette: (200, 25 + 25 i, 250 - 25 i)
    {0xFA19C8, 0xE132C8, 0xC84BC8, 0xAF64C8, 0x967DC8, 0x7D96C8, 0x64AFC8, 0x4BC8C8, 0x32E1C8,
     0x19FAC8},
    // White gradient: greys whose steps widen twice towards white.
    {0x646464, 0x737373, 0x828282, 0x919191, 0xA0A0A0, 0xB9B9B9, 0xC8C8C8, 0xD7D7D7, 0xE6E6E6,
     0xFAFAFA},
    // New Year: two greens, then the greys of the white gradient.
    {0x2CAD1D, 0x2CAD1D, 0x828282, 0x919191, 0xA0A0A0, 0xB9B9B9, 0xC8C8C8, 0xD7D7D7, 0xE6E6E6,
     0xFAFAFA},
};

bool ApplyPalette(int32_t index) {
  if (index < 0 || index >= kPaletteCount) return false;
  for (int i = 0; i < kPaletteSize; ++i) colors[i] = kBuiltInPalettes[index][i];
  return true;
}
