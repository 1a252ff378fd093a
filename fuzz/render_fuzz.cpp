// Measuring and drawing arbitrary strings on drawing areas from 1 x 1 to 8192 x 8192,
// with arbitrary catalogue indexes and start headings: every end point must lie on
// the drawing area, pens must be 0..9, and nothing may be read or written out of bounds.
#include <cstdint>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "fuzz/checking_surface.h"
#include "fuzz/fuzz_input.h"
#include "render/turtle.h"
#include "settings/settings.h"

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
  CheckingSurface surface(200000);
  Render(0, nullptr);
  Render(1, &surface);
  return 0;
}
