#include "render/monitor_layout.h"

#include "render/turtle.h"
#include "settings/settings.h"

namespace {

// Far above any monitor's DPI, low enough that a scaled width stays small.
constexpr int64_t kMaxDpi = 96 * 64;

int64_t ClampSide(int64_t side) {
  return side < 0 ? 0 : side > kMaxClientSide ? kMaxClientSide : side;
}

int64_t Max(int64_t a, int64_t b) { return a > b ? a : b; }
int64_t Min(int64_t a, int64_t b) { return a < b ? a : b; }

// `monitor` inside the client area, in client coordinates; false when nothing of it is.
bool Intersect(const ScreenRect& monitor, const ScreenRect& window, int64_t width, int64_t height,
               int32_t dpi, FigureArea& area) {
  // 64 bits: a difference of two 32-bit coordinates can overflow 32.
  const int64_t left = Max(int64_t{monitor.left} - window.left, 0);
  const int64_t top = Max(int64_t{monitor.top} - window.top, 0);
  const int64_t right = Min(int64_t{monitor.right} - window.left, width);
  const int64_t bottom = Min(int64_t{monitor.bottom} - window.top, height);
  if (right <= left || bottom <= top) return false;
  area = {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right - left),
          static_cast<int32_t>(bottom - top), dpi};
  return true;
}

// A monitor that shows the same part of the desktop as one before it (a mirrored display)
// gets no second figure drawn over the first.
bool Duplicates(const FigureLayout& layout, const FigureArea& area) {
  for (int i = 0; i < layout.count; ++i) {
    const FigureArea& other = layout.areas[i];
    if (other.left == area.left && other.top == area.top && other.width == area.width &&
        other.height == area.height)
      return true;
  }
  return false;
}

}  // namespace

FigureLayout LayOutFigures(int32_t monitorsSetting, const MonitorInfo* monitors, int count,
                           const ScreenRect& window, int32_t windowDpi) {
  const int64_t width = ClampSide(int64_t{window.right} - window.left);
  const int64_t height = ClampSide(int64_t{window.bottom} - window.top);
  FigureLayout layout = {};
  if (monitors == nullptr || count < 0) count = 0;

  if (monitorsSetting == kFigureOnEach) {
    // The primary first: with a single monitor the one figure is the one it always was,
    // and the slideshow's first picks after a reseed go to the primary.
    for (int pass = 0; pass < 2; ++pass) {
      for (int i = 0; i < count && layout.count < kMaxMonitors; ++i) {
        if (monitors[i].primary != (pass == 0)) continue;
        FigureArea& area = layout.areas[layout.count];
        if (Intersect(monitors[i].rect, window, width, height, monitors[i].dpi, area) &&
            !Duplicates(layout, area))
          ++layout.count;
      }
    }
  } else if (monitorsSetting == kPrimaryOnly && count > 0) {
    int primary = 0;
    for (int i = count - 1; i >= 0; --i)
      if (monitors[i].primary) primary = i;
    if (Intersect(monitors[primary].rect, window, width, height, monitors[primary].dpi,
                  layout.areas[0]))
      layout.count = 1;
  }
  if (layout.count == 0) {
    layout.count = 1;
    layout.areas[0] = {0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height), windowDpi};
  }
  return layout;
}

int32_t ScaledLineWidth(int32_t width, int32_t dpi) {
  if (dpi <= kBaseDpi) return width;
  const int64_t scaled = (int64_t{width} * Min(dpi, kMaxDpi) + kBaseDpi / 2) / kBaseDpi;
  return scaled > width ? static_cast<int32_t>(scaled) : width;
}
