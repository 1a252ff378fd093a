#include "ui/dialog_values.h"

#include <cstdio>

#include "core/catalogue.h"
#include "render/palette.h"

namespace {

constexpr int32_t kMaxPauseTenths = 50;
constexpr int32_t kMinLineWidth = 1;
constexpr int32_t kMaxLineWidth = 5;
constexpr int32_t kMaxAngleDegrees = 360;

int32_t Clamp(int32_t value, int32_t low, int32_t high) {
  return value < low ? low : value > high ? high : value;
}

}  // namespace

void PauseText(int32_t tenths, char (&text)[kValueTextSize]) {
  tenths = Clamp(tenths, 0, kMaxPauseTenths);
  if (tenths % 10 == 0) {
    std::snprintf(text, sizeof text, "%d.", static_cast<int>(tenths / 10));
  } else {
    std::snprintf(text, sizeof text, "%d.%d", static_cast<int>(tenths / 10),
                  static_cast<int>(tenths % 10));
  }
}

void DecimalText(int32_t value, char (&text)[kValueTextSize]) {
  std::snprintf(text, sizeof text, "%ld", static_cast<long>(value));
}

IterationRange RangeAfterFromChoice(int32_t from, int32_t to) {
  return {from, to < from ? from : to};
}

IterationRange RangeAfterToChoice(int32_t from, int32_t to) { return {from > to ? to : from, to}; }

void ClampForDialog(SettingsRecord& settings) {
  settings.NumFractal = Clamp(settings.NumFractal, 0, kFractalCount - 1);
  const int32_t lastGeneration = FractalCatalogue[settings.NumFractal].maxIter - 1;
  settings.iterTo = Clamp(settings.iterTo, 0, lastGeneration);
  settings.iterFrom = Clamp(settings.iterFrom, 0, settings.iterTo);
  settings.TimeOut = Clamp(settings.TimeOut, 0, kMaxPauseTenths);
  settings.LineWidth = Clamp(settings.LineWidth, kMinLineWidth, kMaxLineWidth);
  settings.Angle = Clamp(settings.Angle, 0, kMaxAngleDegrees);
  settings.CurPalette = Clamp(settings.CurPalette, 0, kPaletteCount - 1);
  if (settings.Monitors < 0 || settings.Monitors >= kMonitorLayoutCount)
    settings.Monitors = kOneFigureAcross;
}

const char* const kMonitorLayoutNames[kMonitorLayoutCount] = {
    "One figure across all",
    "A figure on each",
    "Primary monitor only",
};
