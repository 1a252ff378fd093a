#include "wayland/output_scale.h"

#include <gtest/gtest.h>

#include <climits>

#include "render/pixel_surface.h"

namespace {

struct Case {
  const char* what;
  int32_t logicalWidth, logicalHeight, integerScale, scale120;
  OutputBuffer expected;
};

// The fractional cases are what sway 1.9 and Hyprland send; the test compositor has none.
const Case kCases[] = {
    {"scale 1", 640, 480, 1, 0, {640, 480, 1, false, 96}},
    {"integer scale 2: twice the pixels and the line widths",
     400,
     300,
     2,
     0,
     {800, 600, 2, false, 192}},
    {"no scale sent yet counts as 1", 640, 480, 0, 0, {640, 480, 1, false, 96}},
    {"fractional 1.25 through a viewport", 1536, 864, 2, 150, {1920, 1080, 1, true, 120}},
    {"fractional 1.5 rounds half away from zero", 853, 480, 2, 180, {1280, 720, 1, true, 144}},
    {"fractional 1.75", 1097, 617, 2, 210, {1920, 1080, 1, true, 168}},
    {"fractional 1.0", 1920, 1080, 1, 120, {1920, 1080, 1, true, 96}},
    {"a side past the longest buffer is cut", 20000, 10, 1, 0, {kMaxBufferSide, 10, 1, false, 96}},
    {"a huge scale cannot overflow",
     100,
     100,
     INT_MAX,
     0,
     {kMaxBufferSide, kMaxBufferSide, kMaxBufferSide, false, INT_MAX}},
    {"a huge fractional scale cannot overflow",
     INT_MAX,
     1,
     1,
     INT_MAX,
     {kMaxBufferSide, kMaxBufferSide, 1, true, INT_MAX}},
    {"a negative size is empty", -5, 10, 1, 0, {0, 10, 1, false, 96}},
};

TEST(OutputScale, BuffersAndLineWidthsFollowTheOutputsScale) {
  for (const Case& c : kCases) {
    const OutputBuffer got =
        BufferForOutput(c.logicalWidth, c.logicalHeight, c.integerScale, c.scale120);
    const OutputBuffer& want = c.expected;
    EXPECT_EQ(got.width, want.width) << c.what;
    EXPECT_EQ(got.height, want.height) << c.what;
    EXPECT_EQ(got.bufferScale, want.bufferScale) << c.what;
    EXPECT_EQ(got.viewport, want.viewport) << c.what;
    if (want.dpi != INT_MAX) {
      EXPECT_EQ(got.dpi, want.dpi) << c.what;
    }
    EXPECT_GE(got.dpi, 96) << c.what;
  }
}

// A width of 2 is 4 pixels at scale 2, and 3 at 1.25 and at 1.5: rounded half up, as on
// Windows at 120 and 144 DPI.
TEST(OutputScale, LineWidthsAtFractionalScalesAreRoundedAsOnWindows) {
  const struct {
    int32_t scale120, width, pixels;
  } kWidths[] = {{120, 2, 2}, {150, 2, 3}, {180, 2, 3}, {240, 2, 4}, {240, 5, 10}, {150, 1, 1}};
  for (const auto& w : kWidths) {
    const OutputBuffer buffer = BufferForOutput(100, 100, 1, w.scale120);
    EXPECT_EQ(ScaledLineWidth(w.width, buffer.dpi), w.pixels) << w.scale120 << " " << w.width;
  }
}

// A compositor may leave a side to the client (0): the surface then covers the output there,
// and no side is ever empty, which a viewport's destination could not take.
TEST(OutputScale, AConfiguredSideOfZeroIsTheOutputsOwn) {
  const struct {
    const char* what;
    uint32_t width, height;
    int32_t outputWidth, outputHeight;
    LogicalSize expected;
  } kSizes[] = {
      {"as configured", 800, 600, 1920, 1080, {800, 600}},
      {"a width of 0", 0, 600, 1920, 1080, {1920, 600}},
      {"both 0", 0, 0, 1920, 1080, {1920, 1080}},
      {"0 on an output of no known size", 0, 0, 0, 0, {1, 1}},
      {"past the longest side", 4000000000u, 20000, 1, 1, {kMaxBufferSide, kMaxBufferSide}},
  };
  for (const auto& c : kSizes) {
    const LogicalSize got = ConfiguredSize(c.width, c.height, c.outputWidth, c.outputHeight);
    EXPECT_EQ(got.width, c.expected.width) << c.what;
    EXPECT_EQ(got.height, c.expected.height) << c.what;
  }
}

}  // namespace
