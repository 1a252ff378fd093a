// Measuring and drawing arbitrary strings on drawing areas from 1 x 1 to 8192 x 8192,
// with arbitrary catalogue indexes and start headings: every end point must lie on
// the drawing area, pens must be 0..9, and nothing may be read or written out of bounds.
#include <cstdint>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "fuzz/fuzz_input.h"
#include "render/turtle.h"
#include "settings/settings.h"

namespace {

class CheckingSurface : public DrawingSurface {
 public:
  void Clear() override {}
  // A segment may start where "b" or a restore left the turtle, outside the extent of
  // end points (the window clips it); only end points are bound to the drawing area.
  void MoveTo(int, int) override {}
  void SelectPen(int pen) override {
    if (pen < 0 || pen > 9) __builtin_trap();
  }
  void LineTo(int x, int y) override { Check(x, y); }
  bool Pause(int) override { return ++pauses_ < 200000; }

 private:
  // The mapping keeps every point between the lines m and side - m (a pixel of rounding
  // aside). The margin comes from the width alone, so on a short area they may swap.
  static void Within(int v, int side) {
    const int a = margin, b = side - margin;
    if (v < (a < b ? a : b) - 1 || v > (a < b ? b : a) + 1) __builtin_trap();
  }
  static void Check(int x, int y) {
    Within(x, clientWidth);
    Within(y, clientHeight);
  }
  int pauses_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const int32_t width = 1 + static_cast<int32_t>(in.Word() % 8192);
  const int32_t height = 1 + static_cast<int32_t>(in.Word() % 8192);
  Settings.NumFractal = static_cast<int32_t>(in.Word());
  const int32_t angle = static_cast<int32_t>(in.Word());
  const unsigned steps = in.Byte() % 8;
  ResetCatalogue();
  SetStartAngle(Settings.NumFractal, angle);
  SetDrawingArea(width, height);
  in.String(CurrentString, kStringCapacity);
  for (unsigned i = 0; i < steps; ++i) Rewrite();
  CheckingSurface surface;
  Render(0, nullptr);
  Render(1, &surface);
  return 0;
}
