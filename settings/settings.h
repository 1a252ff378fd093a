// The user's configuration: one process-wide record of nineteen 32-bit values,
// persisted under HKEY_CURRENT_USER\Software\Veltrona\Lumerin.
// Written by the window's thread (load, dialog); in the saver modes the drawing thread
// then owns NumFractal, LineWidth and colors (slideshow changes, memory only).
#pragma once

#include <cstdint>

struct SettingsRecord {
  int32_t NumFractal;   // catalogue index, 0 .. 15
  int32_t DefaultMode;  // 0 = fixed fractal, non-zero = slideshow
  int32_t CurPalette;   // built-in palette last loaded, 0 .. 4
  int32_t TimeOut;      // pause after each drawing, tenths of a second, 0 .. 50
  int32_t LineWidth;    // pen width in pixels, 1 .. 5
  int32_t iterFrom;     // first generation drawn in the fixed mode
  int32_t iterTo;       // last generation drawn in the fixed mode
  int32_t Angle;        // start heading in degrees for the fixed mode, 0 .. 360
  uint32_t Background;  // COLORREF
  uint32_t colors[10];  // COLORREFs, stored as "Color0" .. "Color9"
};

extern SettingsRecord Settings;

// The ten drawing colours, the same storage as Settings.colors.
extern uint32_t (&colors)[10];

constexpr const char* kSettingsKeyPath = "Software\\Veltrona\\Lumerin";
constexpr int kSettingsValueCount = 19;
