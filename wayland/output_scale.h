// The buffers of a Wayland output's surface: their size in pixels from the surface's size
// in logical units and the output's scale, and the DPI its lines are drawn at. Pure
// arithmetic, so that fractional scales, which the test compositor cannot show, are
// tested natively.
#pragma once

#include <cstdint>

// The numerator of a fractional scale whose denominator is 120 (a scale of 1.25 is 150).
constexpr int32_t kFractionalScaleDenominator = 120;

// The longest buffer side drawn: a buffer of 16384 x 16384 pixels takes 1 GiB, and a
// surface holds two while its figure grows.
constexpr int32_t kMaxBufferSide = 16384;

struct LogicalSize {
  int32_t width, height;
};

// The logical size of a surface whose role configured it `width` x `height`: a side of 0
// (the client may choose) is the output's logical side, and every side is brought into
// 1 .. kMaxBufferSide, so that no buffer or viewport is ever empty.
LogicalSize ConfiguredSize(uint32_t width, uint32_t height, int32_t outputWidth,
                           int32_t outputHeight);

struct OutputBuffer {
  int32_t width, height;  // pixels, 0 .. kMaxBufferSide
  int32_t bufferScale;    // for wl_surface.set_buffer_scale
  bool viewport;          // the viewport maps the buffer onto the logical size
  int32_t dpi;            // the DPI the lines are drawn at, kBaseDpi at scale 1
};

// With a fractional scale (`scale120` > 0, the preferred scale over 120), the buffer is the
// logical size times that scale, rounded half away from zero, shown through a viewport.
// Otherwise it is the logical size times the integer scale (1 when not positive), shown
// at that buffer scale, each side cut to a multiple of the scale within kMaxBufferSide. Line widths
// grow with the scale, as Windows grows them with DPI.
OutputBuffer BufferForOutput(int32_t logicalWidth, int32_t logicalHeight, int32_t integerScale,
                             int32_t scale120);
