// Where the saver's figures go on a desktop of several monitors: the monitors as the
// saver window's client area sees them, one drawing area per figure for each monitor
// layout, and line widths at a monitor's DPI. Pure functions; no process-wide state.
#pragma once

#include <cstdint>

// More monitors than this are not drawn on, their part of the window stays cleared.
constexpr int kMaxMonitors = 16;

// The DPI at which a line width is as the user chose it.
constexpr int32_t kBaseDpi = 96;

// A rectangle in virtual-screen pixels, right and bottom edges excluded; the primary
// monitor starts at 0, 0, so others may lie at negative coordinates.
struct ScreenRect {
  int32_t left, top, right, bottom;
};

struct MonitorInfo {
  ScreenRect rect;
  bool primary;
  int32_t dpi;  // horizontal DPI; 0 or less when unknown
};

// One figure's drawing area in the window's client coordinates (0, 0 at the client
// area's top left corner), and the DPI its lines are drawn at.
struct FigureArea {
  int32_t left, top, width, height;
  int32_t dpi;
};

struct FigureLayout {
  int count;  // 1 .. kMaxMonitors
  FigureArea areas[kMaxMonitors];
};

// The figures' areas for layout `monitorsSetting` (a MonitorLayout) in a window whose
// client area covers `window` (virtual-screen pixels), given `count` monitors:
// - one figure across all (and any value that names no layout): the whole client area
//   at `windowDpi`;
// - a figure on each: each monitor's part of the client area, the primary's first, then
//   in the order given; monitors outside the window are left out;
// - primary only: the primary monitor's part (the first monitor's when none is marked).
// Where no monitor lies in the window (none known, or none inside), one figure covers
// the whole client area. Sides are brought into 0 .. kMaxClientSide (as the drawing
// area's), and no area reaches past the client area.
FigureLayout LayOutFigures(int32_t monitorsSetting, const MonitorInfo* monitors, int count,
                           const ScreenRect& window, int32_t windowDpi);

// The pen width for a line of `width` pixels at 96 DPI on a monitor of `dpi`: scaled and
// rounded to the nearest pixel (halves up), never below `width` itself; an unknown or
// lower DPI keeps `width`.
int32_t ScaledLineWidth(int32_t width, int32_t dpi);
