#include "render/figure_digest.h"

#include <cinttypes>
#include <cstdio>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "render/turtle.h"
#include "settings/settings.h"

namespace {

class DigestSurface : public DrawingSurface {
 public:
  void Clear() override {}
  void MoveTo(int x, int y) override { Add(1, x, y); }
  void SelectPen(int pen) override { Add(2, pen, 0); }
  void LineTo(int x, int y) override { Add(3, x, y); }
  bool Pause(int) override { return true; }

  uint64_t value = 0xCBF29CE484222325ULL;

 private:
  void Add(uint32_t op, int a, int b) {
    const uint32_t words[3] = {op, static_cast<uint32_t>(a), static_cast<uint32_t>(b)};
    for (uint32_t word : words) {
      for (int i = 0; i < 4; ++i) {
        value ^= (word >> (8 * i)) & 0xFF;
        value *= 0x100000001B3ULL;
      }
    }
  }
};

}  // namespace

uint64_t FigureDigest() {
  Render(0, nullptr);
  DigestSurface surface;
  Render(1, &surface);
  return surface.value;
}

std::string AllFigureDigests(int32_t width, int32_t height) {
  const int32_t savedEntry = Settings.NumFractal;
  ResetCatalogue();
  SetDrawingArea(width, height);
  std::string lines;
  for (int entry = 0; entry < kFractalCount; ++entry) {
    Settings.NumFractal = entry;
    ResetCurrentString();
    for (int generation = 0; generation < FractalCatalogue[entry].maxIter; ++generation) {
      Rewrite();
      char line[64];
      std::snprintf(line, sizeof line, "%d %d %016" PRIx64 "\n", entry, generation, FigureDigest());
      lines += line;
    }
  }
  ResetCurrentString();
  Settings.NumFractal = savedEntry;
  return lines;
}
