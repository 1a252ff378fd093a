#include "render/pixel_surface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "render/palette.h"
#include "settings/settings.h"

namespace {

constexpr uint32_t kOpaque = 0xFF000000;

int ClampSide(int side) { return side < 0 ? 0 : side > kMaxClientSide ? kMaxClientSide : side; }

// Cuts the line from (x0, y0) to (x1, y1) to the rectangle lo .. hi on both axes
// (Liang-Barsky); false when nothing of it lies inside. A line whose ends are far outside
// would otherwise be walked pixel by pixel.
bool ClipLine(double& x0, double& y0, double& x1, double& y1, double loX, double loY, double hiX,
              double hiY) {
  double t0 = 0, t1 = 1;
  const double dx = x1 - x0, dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0 - loX, hiX - x0, y0 - loY, hiY - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      if (t > t1) return false;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return false;
      t1 = std::min(t1, t);
    }
  }
  const double sx = x0, sy = y0;
  x0 = sx + t0 * dx;
  y0 = sy + t0 * dy;
  x1 = sx + t1 * dx;
  y1 = sy + t1 * dy;
  return true;
}

}  // namespace

int32_t DpiOfScale(double scale) {
  // Written so that a NaN fails the test too.
  if (!(scale > 0)) return kBaseDpi;
  return static_cast<int32_t>(std::lround(std::min(scale, 1024.0) * kBaseDpi));
}

uint32_t PixelSurface::PixelOf(uint32_t colorref) const {
  // A COLORREF holds red in its low byte, then green and blue: in little-endian memory
  // that is the canvas's byte order already, which only lacks the alpha. XRGB8888 holds
  // blue in the low byte: red and blue change places.
  if (order_ == PixelOrder::kXrgb) {
    return (colorref & 0xFFu) << 16 | (colorref & 0xFF00u) | (colorref >> 16 & 0xFFu) | kOpaque;
  }
  return (colorref & 0x00FFFFFF) | kOpaque;
}

void PixelSurface::Resize(int width, int height) {
  width_ = ClampSide(width);
  height_ = ClampSide(height);
  order_ = PixelOrder::kRgba;
  pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_),
                 PixelOf(Settings.Background));
  data_ = pixels_.data();
  changed_ = {0, 0, width_, height_};
}

void PixelSurface::DrawInto(uint32_t* memory, int width, int height, PixelOrder order) {
  std::vector<uint32_t>().swap(pixels_);
  data_ = memory;
  width_ = memory != nullptr ? ClampSide(width) : 0;
  height_ = memory != nullptr ? ClampSide(height) : 0;
  order_ = order;
  changed_ = {0, 0, 0, 0};
}

void PixelSurface::Clear() {
  std::fill(data_, data_ + static_cast<size_t>(width_) * static_cast<size_t>(height_),
            PixelOf(Settings.Background));
  changed_ = {0, 0, width_, height_};
}

void PixelSurface::MoveTo(int x, int y) {
  x_ = x;
  y_ = y;
}

void PixelSurface::SelectPen(int pen) {
  if (pen >= 0 && pen < kPaletteSize) pen_ = pen;
}

PixelSurface::Rect PixelSurface::TakeChanged() {
  const Rect changed = changed_;
  changed_ = {0, 0, 0, 0};
  return changed;
}

void PixelSurface::Touch(int left, int top, int right, int bottom) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width_);
  bottom = std::min(bottom, height_);
  if (left >= right || top >= bottom) return;
  if (changed_.left >= changed_.right) {
    changed_ = {left, top, right, bottom};
    return;
  }
  changed_ = {std::min(changed_.left, left), std::min(changed_.top, top),
              std::max(changed_.right, right), std::max(changed_.bottom, bottom)};
}

void PixelSurface::Plot(int x, int y, uint32_t pixel) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  data_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = pixel;
}

void PixelSurface::Stamp(int x, int y, uint32_t pixel) {
  for (size_t i = 0; i + 1 < stamp_.size(); i += 2) Plot(x + stamp_[i], y + stamp_[i + 1], pixel);
}

void PixelSurface::LineTo(int x, int y) {
  const int width = std::min<int>(
      ScaledLineWidth(std::clamp(Settings.LineWidth, kLineWidthMinPixels, kLineWidthMaxPixels),
                      dpi_),
      kMaxPenPixels);
  const uint32_t pixel = PixelOf(colors[pen_]);
  if (width > 1 && stampWidth_ != width) {
    // The pixels whose centres lie within half the width of the pen's centre: the pixel
    // itself for odd widths, the corner to its upper left for even ones.
    stamp_.clear();
    const double centre = width % 2 == 1 ? 0.0 : -0.5;
    const double reach = width / 2.0;
    for (int dy = -(width / 2); dy <= (width - 1) / 2; ++dy) {
      for (int dx = -(width / 2); dx <= (width - 1) / 2; ++dx) {
        if ((dx - centre) * (dx - centre) + (dy - centre) * (dy - centre) <= reach * reach) {
          stamp_.push_back(static_cast<int8_t>(dx));
          stamp_.push_back(static_cast<int8_t>(dy));
        }
      }
    }
    stampWidth_ = width;
  }

  int x0 = x_, y0 = y_, x1 = x, y1 = y;
  x_ = x;
  y_ = y;
  // A thin line leaves out its last pixel; one that was cut at the edge has none to leave.
  bool lastLeftOut = width == 1;
  const int border = width + 1;
  const bool outside = std::min(x0, x1) < -border || std::min(y0, y1) < -border ||
                       std::max(x0, x1) > width_ + border || std::max(y0, y1) > height_ + border;
  if (outside) {
    double fx0 = x0, fy0 = y0, fx1 = x1, fy1 = y1;
    if (!ClipLine(fx0, fy0, fx1, fy1, -border, -border, width_ + border, height_ + border)) return;
    x0 = static_cast<int>(std::lround(fx0));
    y0 = static_cast<int>(std::lround(fy0));
    if (x1 != static_cast<int>(std::lround(fx1)) || y1 != static_cast<int>(std::lround(fy1)))
      lastLeftOut = false;
    x1 = static_cast<int>(std::lround(fx1));
    y1 = static_cast<int>(std::lround(fy1));
  }
  const int reach = width / 2 + 1;
  Touch(std::min(x0, x1) - reach, std::min(y0, y1) - reach, std::max(x0, x1) + reach + 1,
        std::max(y0, y1) + reach + 1);

  // Bresenham's walk from the start to the end point.
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int error = dx + dy;
  for (;;) {
    const bool last = x0 == x1 && y0 == y1;
    if (last && lastLeftOut) break;
    if (width == 1) {
      Plot(x0, y0, pixel);
    } else {
      Stamp(x0, y0, pixel);
    }
    if (last) break;
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x0 += sx;
    }
    if (twice <= dx) {
      error += dx;
      y0 += sy;
    }
  }
}
