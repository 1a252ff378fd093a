#include "wayland/output_scale.h"

#include <algorithm>

#include "render/monitor_layout.h"

namespace {

// A logical side times numerator / denominator, rounded half up (sides are not negative),
// within 0 .. kMaxBufferSide.
int32_t Scaled(int32_t side, int64_t numerator, int64_t denominator) {
  const int64_t scaled = (std::max<int64_t>(side, 0) * numerator + denominator / 2) / denominator;
  return static_cast<int32_t>(std::min<int64_t>(scaled, kMaxBufferSide));
}

int32_t ConfiguredSide(uint32_t side, int32_t outputSide) {
  const int64_t chosen = side != 0 ? static_cast<int64_t>(side) : outputSide;
  return static_cast<int32_t>(std::clamp<int64_t>(chosen, 1, kMaxBufferSide));
}

}  // namespace

LogicalSize ConfiguredSize(uint32_t width, uint32_t height, int32_t outputWidth,
                           int32_t outputHeight) {
  return {ConfiguredSide(width, outputWidth), ConfiguredSide(height, outputHeight)};
}

OutputBuffer BufferForOutput(int32_t logicalWidth, int32_t logicalHeight, int32_t integerScale,
                             int32_t scale120) {
  if (scale120 > 0) {
    return {Scaled(logicalWidth, scale120, kFractionalScaleDenominator),
            Scaled(logicalHeight, scale120, kFractionalScaleDenominator), 1, true,
            Scaled(kBaseDpi, scale120, kFractionalScaleDenominator)};
  }
  // The scale is capped where a buffer of one logical pixel would pass the longest side,
  // and a side is cut to a whole number of logical pixels: the buffer's sides must be
  // multiples of its scale.
  const int32_t scale = std::clamp(integerScale, 1, kMaxBufferSide);
  const int32_t most = kMaxBufferSide / scale;
  return {std::clamp(logicalWidth, 0, most) * scale, std::clamp(logicalHeight, 0, most) * scale,
          scale, false, Scaled(kBaseDpi, scale, 1)};
}
