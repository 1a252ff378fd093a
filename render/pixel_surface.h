// A drawing surface of pixels in memory, drawn without antialiasing as the saver's pens
// draw: every pixel is the background or one of the ten colours. The web page shows it
// on its canvas; the Wayland client draws with it straight into the compositor's shared
// memory. Reads Settings (LineWidth, Background, colors) at each operation; used by one
// thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "render/monitor_layout.h"
#include "render/turtle.h"

// The DPI of a display whose pixels are `scale` times the size of those at kBaseDpi (a
// device pixel ratio, an output's scale), rounded; kBaseDpi for a scale that is not a
// positive number.
int32_t DpiOfScale(double scale);

// How a pixel's 32-bit word holds its colour.
enum class PixelOrder {
  kRgba,  // red, green, blue and alpha bytes in memory, as a canvas takes them
  kXrgb,  // 0xXXRRGGBB in a little-endian word: Wayland's XRGB8888
};

class PixelSurface : public DrawingSurface {
 public:
  struct Rect {
    int left, top, right, bottom;  // right and bottom excluded; empty when left >= right
  };

  // A new size, every pixel the background, in memory of its own (kRgba). Sides are
  // brought into 0 .. kMaxClientSide.
  void Resize(int width, int height);
  // Draws from now on into `memory`, `width` x `height` pixels row after row, which the
  // caller owns and keeps until the next Resize or DrawInto; the memory is left as it is
  // (nothing is cleared) and reported unchanged. Frees the surface's own memory.
  void DrawInto(uint32_t* memory, int width, int height, PixelOrder order);

  // The DPI the lines are drawn at: a line of Settings.LineWidth pixels at kBaseDpi is
  // ScaledLineWidth(LineWidth, dpi) pixels wide, at most kMaxPenPixels.
  void SetDpi(int32_t dpi) { dpi_ = dpi; }
  int32_t dpi() const { return dpi_; }
  static constexpr int kMaxPenPixels = 64;

  void Clear() override;
  void MoveTo(int x, int y) override;
  void SelectPen(int pen) override;
  // A 1-pixel pen leaves out the end point, as GDI's thin lines do; a wider pen is round
  // and covers both ends.
  void LineTo(int x, int y) override;
  bool Pause(int) override { return true; }

  // The pixels, row after row, in order(): a canvas's after Resize.
  const uint32_t* pixels() const { return data_; }
  PixelOrder order() const { return order_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // What changed since the last call, and from then on nothing.
  Rect TakeChanged();

 private:
  void Plot(int x, int y, uint32_t pixel);
  void Stamp(int x, int y, uint32_t pixel);
  void Touch(int left, int top, int right, int bottom);
  uint32_t PixelOf(uint32_t colorref) const;

  std::vector<uint32_t> pixels_;  // the memory of its own, empty while it draws elsewhere
  uint32_t* data_ = nullptr;
  PixelOrder order_ = PixelOrder::kRgba;
  int width_ = 0, height_ = 0;
  int x_ = 0, y_ = 0, pen_ = 0;
  int32_t dpi_ = kBaseDpi;
  Rect changed_ = {0, 0, 0, 0};
  int stampWidth_ = 0;         // the line width the stamp below was made for
  std::vector<int8_t> stamp_;  // offsets (dx, dy) of a round pen's pixels
};
