#include "settings/settings.h"

#include <cstring>

#include "core/catalogue.h"
#include "render/palette.h"

SettingsRecord Settings;
uint32_t (&colors)[10] = Settings.colors;

const char* const kSettingsValueNames[kSettingsValueCount] = {
    "NumFractal", "DefaultMode", "CurPalette", "TimeOut", "LineWidth", "iterFrom", "iterTo",
    "Angle",      "Background",  "Color0",     "Color1",  "Color2",    "Color3",   "Color4",
    "Color5",     "Color6",      "Color7",     "Color8",  "Color9",    "Monitors",
};

namespace {

constexpr int32_t kDefaultNumFractal = 13;
constexpr int32_t kDefaultMode = 1;  // slideshow
constexpr int32_t kDefaultPalette = 1;
constexpr int32_t kDefaultTimeOutTenths = 20;
constexpr int32_t kDefaultLineWidthPixels = 2;
constexpr uint32_t kDefaultBackground = 0;  // black
constexpr uint32_t kColorRgbMask = 0x00FFFFFF;

// Signed and unsigned fields alike are four bytes; the bits are copied, never converted.
const void* FieldAddress(const SettingsRecord& record, int index) {
  switch (index) {
    case 0:
      return &record.NumFractal;
    case 1:
      return &record.DefaultMode;
    case 2:
      return &record.CurPalette;
    case 3:
      return &record.TimeOut;
    case 4:
      return &record.LineWidth;
    case 5:
      return &record.iterFrom;
    case 6:
      return &record.iterTo;
    case 7:
      return &record.Angle;
    case 8:
      return &record.Background;
    case 19:
      return &record.Monitors;
    default:
      if (index >= 9 && index < 19) return &record.colors[index - 9];
      return nullptr;
  }
}

int32_t Clamp(int32_t value, int32_t low, int32_t high) {
  return value < low ? low : value > high ? high : value;
}

}  // namespace

uint32_t GetSettingsField(const SettingsRecord& record, int index) {
  uint32_t value = 0;
  if (const void* field = FieldAddress(record, index)) std::memcpy(&value, field, sizeof value);
  return value;
}

void SetSettingsField(SettingsRecord& record, int index, uint32_t value) {
  if (const void* field = FieldAddress(record, index))
    std::memcpy(const_cast<void*>(field), &value, sizeof value);
}

void SetDefaultSettings() {
  // The palette is applied from CurPalette once it is set, and iterTo is taken from the
  // entry NumFractal names once that is set: the order matters.
  Settings.NumFractal = kDefaultNumFractal;
  Settings.DefaultMode = kDefaultMode;
  Settings.CurPalette = kDefaultPalette;
  Settings.LineWidth = kDefaultLineWidthPixels;
  Settings.TimeOut = kDefaultTimeOutTenths;
  Settings.Background = kDefaultBackground;
  ApplyPalette(Settings.CurPalette);
  Settings.iterFrom = 0;
  Settings.iterTo = FractalEntry(Settings.NumFractal).maxIter - 1;
  // Not the entry's own start heading: the fixed mode draws the first-run fractal from 0.
  Settings.Angle = 0;
  Settings.Monitors = kOneFigureAcross;
}

void SanitizeSettings() {
  Settings.NumFractal = Clamp(Settings.NumFractal, 0, kFractalCount - 1);
  Settings.DefaultMode = Settings.DefaultMode != 0 ? 1 : 0;
  Settings.CurPalette = Clamp(Settings.CurPalette, 0, kPaletteCount - 1);
  Settings.TimeOut = Clamp(Settings.TimeOut, 0, kTimeOutMaxTenths);
  Settings.LineWidth = Clamp(Settings.LineWidth, kLineWidthMinPixels, kLineWidthMaxPixels);
  // iterFrom above iterTo would make the fixed mode rewrite and reset forever without a
  // drawing or a pause: a busy core and a blank screen.
  Settings.iterTo = Clamp(Settings.iterTo, 0, FractalEntry(Settings.NumFractal).maxIter - 1);
  Settings.iterFrom = Clamp(Settings.iterFrom, 0, Settings.iterTo);
  if (Settings.Angle < 0 || Settings.Angle > kAngleMaxDegrees) {
    Settings.Angle %= 360;
    if (Settings.Angle < 0) Settings.Angle += 360;
  }
  Settings.Background &= kColorRgbMask;
  for (uint32_t& color : Settings.colors) color &= kColorRgbMask;
  // Not clamped: a layout is a choice, and the nearest one is no better than the default.
  if (Settings.Monitors < 0 || Settings.Monitors >= kMonitorLayoutCount)
    Settings.Monitors = kOneFigureAcross;
}

void ResetSettings() { Settings = SettingsRecord{}; }
