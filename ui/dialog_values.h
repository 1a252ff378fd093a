// What the configuration dialog shows and how its choices combine, kept apart from the
// window code so that it can be checked on any platform: the value labels, the rule that
// keeps the iteration range in order, and the clamping of the values it displays.
// Pure functions; no process-wide state.
#pragma once

#include <cstddef>
#include <cstdint>

#include "settings/settings.h"

// Room for any label text below, terminating zero included.
constexpr size_t kValueTextSize = 12;

// The pause label: tenths of a second as whole seconds, a point, and the tenths digit
// unless it is 0 ("0.", "0.1", "1.", "1.5", "5."). Values outside the pause track bar's
// range 0 .. 50 are shown as its nearer end.
void PauseText(int32_t tenths, char (&text)[kValueTextSize]);

// A number in decimal, no padding ("2", "360", "-7").
void DecimalText(int32_t value, char (&text)[kValueTextSize]);

struct IterationRange {
  int32_t from;
  int32_t to;
};

// The user picked `from` in the first list while the second shows `to`: a `to` below
// the new `from` is dragged up to it.
IterationRange RangeAfterFromChoice(int32_t from, int32_t to);

// The user picked `to` in the second list while the first shows `from`: a `from` above
// the new `to` is dragged down to it.
IterationRange RangeAfterToChoice(int32_t from, int32_t to);

// Brings every value the dialog shows into the range its controls offer: NumFractal into
// the catalogue, the iteration range into that entry's generations, TimeOut 0 .. 50,
// LineWidth 1 .. 5, Angle 0 .. 360, CurPalette 0 .. 4, Monitors one of the layouts (else
// the first). Values already in range are kept.
void ClampForDialog(SettingsRecord& settings);

// The monitor list's items, in MonitorLayout order: list position = layout.
extern const char* const kMonitorLayoutNames[kMonitorLayoutCount];
