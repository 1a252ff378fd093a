// The user's configuration: one process-wide record of twenty 32-bit values,
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
  int32_t Monitors;     // where the figures go, a MonitorLayout
};

extern SettingsRecord Settings;

// The ten drawing colours, the same storage as Settings.colors.
extern uint32_t (&colors)[10];

constexpr const char* kSettingsKeyPath = "Software\\Veltrona\\Lumerin";
constexpr int kSettingsValueCount = 20;

// The ranges the rest of the program relies on (the dialog's controls offer exactly these).
constexpr int32_t kTimeOutMaxTenths = 50;
constexpr int32_t kLineWidthMinPixels = 1;
constexpr int32_t kLineWidthMaxPixels = 5;
constexpr int32_t kAngleMaxDegrees = 360;

// The Monitors setting: one figure stretched over the whole virtual screen (the first
// and only layout before there was a choice), one figure fitted to each monitor, or one
// on the primary monitor with the others black.
enum MonitorLayout : int32_t {
  kOneFigureAcross = 0,
  kFigureOnEach = 1,
  kPrimaryOnly = 2,
};
constexpr int32_t kMonitorLayoutCount = 3;

// The registry value names, in the order of the record's fields. Every read and write of
// the key goes through the values in this order.
extern const char* const kSettingsValueNames[kSettingsValueCount];

// Field `index` of a record, in the order of kSettingsValueNames, as its 32 raw bits.
// An index outside 0 .. 19 reads 0 and writes nothing.
uint32_t GetSettingsField(const SettingsRecord& record, int index);
void SetSettingsField(SettingsRecord& record, int index, uint32_t value);

// The first-run configuration: fractal 13 in the slideshow, palette 1, a 2-second pause,
// 2-pixel pens, generations 0 .. 4, heading 0, black background, one figure across all
// monitors.
void SetDefaultSettings();

// Brings every field of Settings into the range the rest of the program relies on:
// NumFractal, CurPalette, TimeOut and LineWidth are clamped to their nearest end;
// DefaultMode becomes 0 or 1 (any non-zero value already meant the slideshow); Angle is
// a heading, so a value outside 0 .. 360 is reduced modulo 360 and keeps its direction;
// iterTo is clamped to 0 .. maxIter - 1 of the (clamped) entry and iterFrom to
// 0 .. iterTo; colours lose their high byte, which would turn them into palette indexes;
// a Monitors value that names no layout becomes the default, kOneFigureAcross.
void SanitizeSettings();

// Puts every field back to 0, as at process start (tests only).
void ResetSettings();
