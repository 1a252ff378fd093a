#include "render/pixel_surface.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "render/palette.h"
#include "settings/settings.h"

namespace {

constexpr uint32_t kBackground = 0xFF000000;  // black, opaque

class PixelSurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    ApplyPalette(1);
    Settings.LineWidth = 1;
    surface.Resize(40, 30);
  }
  void TearDown() override {
    ResetSettings();
    ResetCatalogue();
    ResetCurrentString();
  }
  uint32_t At(int x, int y) const { return surface.pixels()[y * surface.width() + x]; }
  // The lit pixels as "x,y" words.
  std::set<std::string> Lit() const {
    std::set<std::string> lit;
    for (int y = 0; y < surface.height(); ++y)
      for (int x = 0; x < surface.width(); ++x)
        if (At(x, y) != kBackground) lit.insert(std::to_string(x) + "," + std::to_string(y));
    return lit;
  }

  PixelSurface surface;
};

TEST_F(PixelSurfaceTest, ThinLinesLeaveOutTheirLastPixelAndWidePensAreRound) {
  struct Case {
    int width;
    int x0, y0, x1, y1;
    std::set<std::string> lit;
  };
  const Case cases[] = {
      {1, 2, 5, 6, 5, {"2,5", "3,5", "4,5", "5,5"}},
      {1, 3, 1, 3, 4, {"3,1", "3,2", "3,3"}},
      {1, 1, 1, 4, 4, {"1,1", "2,2", "3,3"}},
      {1, 7, 7, 7, 7, {}},
      // Width 3: every pixel within 1.5 of the centre line, both ends included.
      {3, 5, 5, 5, 5, {"4,4", "5,4", "6,4", "4,5", "5,5", "6,5", "4,6", "5,6", "6,6"}},
      // Width 5 leaves out the corners of its 5 x 5 square.
      {5, 10, 10, 10, 10, {"9,8",  "10,8",  "11,8",  "8,9",   "9,9",   "10,9",  "11,9",
                           "12,9", "8,10",  "9,10",  "10,10", "11,10", "12,10", "8,11",
                           "9,11", "10,11", "11,11", "12,11", "9,12",  "10,12", "11,12"}},
  };
  for (const Case& c : cases) {
    Settings.LineWidth = c.width;
    surface.Clear();
    surface.MoveTo(c.x0, c.y0);
    surface.SelectPen(3);
    surface.LineTo(c.x1, c.y1);
    EXPECT_EQ(Lit(), c.lit) << "width " << c.width << " to " << c.x1 << "," << c.y1;
  }
}

TEST_F(PixelSurfaceTest, EveryPixelOfAFigureIsTheBackgroundOrAPenColour) {
  Settings.Background = 0x102030;
  Settings.LineWidth = 4;
  surface.Resize(160, 120);
  SetDrawingArea(160, 120);
  Settings.NumFractal = 4;
  for (int g = 0; g <= 8; ++g) Rewrite();
  Render(0, nullptr);
  ASSERT_TRUE(Render(1, &surface));

  std::set<uint32_t> allowed = {0xFF000000 | Settings.Background};
  for (uint32_t color : colors) allowed.insert(0xFF000000 | color);
  std::set<uint32_t> seen;
  for (int i = 0; i < surface.width() * surface.height(); ++i) seen.insert(surface.pixels()[i]);
  for (uint32_t pixel : seen) EXPECT_TRUE(allowed.count(pixel)) << std::hex << pixel;
  EXPECT_EQ(seen, allowed);  // 256 segments use all ten pens
}

TEST_F(PixelSurfaceTest, ReportsWhatChangedOnceAndCutsLinesFarOutside) {
  surface.TakeChanged();
  surface.MoveTo(-1000000000, 10);
  surface.LineTo(1000000000, 10);  // walked only where it can show
  const PixelSurface::Rect changed = surface.TakeChanged();
  EXPECT_EQ(changed.left, 0);
  EXPECT_EQ(changed.right, 40);
  EXPECT_LE(changed.top, 10);
  EXPECT_GT(changed.bottom, 10);
  EXPECT_EQ(Lit().size(), 40u);
  const PixelSurface::Rect none = surface.TakeChanged();
  EXPECT_GE(none.left, none.right);
}

}  // namespace
