#include "saver/paced_drawing.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "render/palette.h"
#include "render/pixel_surface.h"
#include "settings/settings.h"

namespace {

constexpr int kIsland = 6;  // generation 0: four lines along the margin
constexpr int kDragon = 4;

class PacedDrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    Settings.DefaultMode = 0;
    Settings.TimeOut = 20;  // two seconds of pause after each figure
  }
  void TearDown() override {
    ResetSettings();
    ResetCatalogue();
    ResetCurrentString();
  }
  // Generation `generation` of `entry` into CurrentString, drawn in a 200 x 150 area.
  static void Prepare(int entry, int generation, PixelSurface& surface) {
    Settings.NumFractal = entry;
    ResetCurrentString();
    for (int g = 0; g <= generation; ++g) Rewrite();
    SetDrawingArea(200, 150);
    surface.Resize(200, 150);
  }
  static std::set<uint32_t> Colours(const PixelSurface& surface) {
    return std::set<uint32_t>(surface.pixels(),
                              surface.pixels() + surface.width() * surface.height());
  }
};

// Two outputs of the Wayland client pick their own pens; the process-wide ones are the
// last picker's when the first output's frames come.
TEST_F(PacedDrawingTest, EachFigureDrawsWithThePensItWasStartedWith) {
  PixelSurface first, second;
  PacedDrawing a, b;
  Prepare(kIsland, 0, first);
  ApplyPalette(0);
  Settings.LineWidth = 1;
  a.Start(0, first);
  Prepare(kIsland, 0, second);
  ApplyPalette(2);
  Settings.LineWidth = 5;
  b.Start(0, second);
  uint32_t blue[kPaletteSize];
  std::copy(kBuiltInPalettes[0], kBuiltInPalettes[0] + kPaletteSize, blue);

  EXPECT_GT(a.Frame(16, first), 0);  // drawn, and pausing
  EXPECT_GT(b.Frame(16, second), 0);
  std::set<uint32_t> allowed = {0xFF000000};
  for (uint32_t c : blue) allowed.insert((c & 0xFFFFFF) | 0xFF000000);
  for (uint32_t c : Colours(first)) EXPECT_TRUE(allowed.count(c)) << std::hex << c;
  // Width 1 against width 5: the thin rectangle lights far fewer pixels.
  const auto lit = [](const PixelSurface& s) {
    int n = 0;
    for (int i = 0; i < s.width() * s.height(); ++i) n += s.pixels()[i] != 0xFF000000;
    return n;
  };
  EXPECT_LT(lit(first) * 3, lit(second));
}

// The Wayland client draws into the compositor's buffers (XRGB8888): the one on the screen
// every frame, a second one only when it is needed, by the segments it lacks. Both then
// hold the picture one surface drawn at once holds, and a new figure starts both afresh.
TEST_F(PacedDrawingTest, ABufferBroughtUpLaterHoldsWhatOneDrawnEveryFrameHolds) {
  PixelSurface whole;
  Prepare(kDragon, 8, whole);
  Settings.Background = 0x302010;  // a COLORREF: red 0x10, green 0x20, blue 0x30
  std::vector<uint32_t> front(200 * 150, 0xDEADBEEF), back(200 * 150, 0xDEADBEEF);
  PixelSurface onScreen, spare;
  onScreen.DrawInto(front.data(), 200, 150, PixelOrder::kXrgb);
  spare.DrawInto(back.data(), 200, 150, PixelOrder::kXrgb);
  PacedDrawing drawing;
  PacedDrawing::Held frontHeld, backHeld;
  drawing.Start(0);
  for (double t = 0; t < 400; t += 16) {
    drawing.Advance(t);
    drawing.DrawUpTo(onScreen, frontHeld, drawing.shownSegments());
    if (t == 160) drawing.DrawUpTo(spare, backHeld, drawing.shownSegments());
  }
  EXPECT_TRUE(drawing.Holds(frontHeld, drawing.shownSegments()));
  EXPECT_FALSE(drawing.Holds(backHeld, drawing.shownSegments()));
  drawing.DrawUpTo(spare, backHeld, drawing.shownSegments());
  EXPECT_EQ(front, back);
  // Drawn whole at once, as a surface of its own (canvas order) does it.
  PacedDrawing reference;
  reference.Start(0, whole);
  PacedDrawing::Held wholeHeld;
  reference.DrawUpTo(whole, wholeHeld, drawing.shownSegments());
  for (size_t i = 0; i < front.size(); ++i) {
    const uint32_t rgba = whole.pixels()[i];  // red in the low byte
    const uint32_t xrgb = (rgba & 0xFF) << 16 | (rgba & 0xFF00) | (rgba >> 16 & 0xFF);
    ASSERT_EQ(front[i] & 0xFFFFFF, xrgb) << i;
  }
  EXPECT_EQ(front[0] & 0xFFFFFF, 0x102030u);  // the background, blue in the low byte
  // The next figure clears each buffer the first time it is drawn into.
  Settings.Background = 0x000000;
  drawing.Start(1000);
  drawing.DrawUpTo(spare, backHeld, 0);
  EXPECT_EQ(std::set<uint32_t>(back.begin(), back.end()), std::set<uint32_t>{0xFF000000});
  EXPECT_NE(std::set<uint32_t>(front.begin(), front.end()).size(), 1u);
}

struct GapCase {
  const char* what;
  double frames[4];  // the frames' times after the start, in milliseconds
  int64_t shown;     // segments shown after the last
  double capMs;      // the frames' interval under a frame-rate cap (0: none)
};

// A frame every 16 ms draws the segments due by then; a gap of seconds, as when the page
// or the machine was paused, draws one frame's worth and goes on from there. Under a cap
// of 3 frames a second each frame draws all that fell due since the one before.
const GapCase kGaps[] = {
    {"steady frames", {0, 16, 32, 48}, 10, 0},
    {"a two-second gap", {0, 16, 2016, 2032}, 7, 0},
    {"a gap just within a frame's reach", {0, 16, 16 + PacedDrawing::kLongGapMs, 282}, 57, 0},
    {"frames capped at 3 a second", {0, 334, 667, 1000}, 201, 1000.0 / 3},
    {"a two-second gap under the cap", {0, 334, 2334, 2667}, 134, 1000.0 / 3},
};

TEST_F(PacedDrawingTest, AGapFarLongerThanAFrameCountsAsAPause) {
  for (const GapCase& c : kGaps) {
    PixelSurface surface;
    PacedDrawing drawing;
    Prepare(kDragon, 10, surface);  // 1,024 segments
    drawing.SetFrameInterval(c.capMs);
    drawing.Start(0, surface);
    for (double t : c.frames) EXPECT_EQ(drawing.Frame(t, surface), PacedDrawing::kNextFrame);
    EXPECT_EQ(drawing.shownSegments(), c.shown) << c.what;
  }
}

TEST_F(PacedDrawingTest, SuspendedTimeIsLeftOutAndTheFigureEndsItsPauseLater) {
  PixelSurface surface;
  PacedDrawing drawing;
  Prepare(kIsland, 0, surface);  // four segments, then a pause of 2 s
  drawing.Start(0, surface);
  drawing.Suspend(5);
  EXPECT_EQ(drawing.Frame(5000, surface), PacedDrawing::kNextFrame);
  EXPECT_EQ(drawing.shownSegments(), 0);
  drawing.Resume(10005);
  // The four segments take 20 ms and the pause 2 s after them, both 10 s later for the
  // suspension.
  EXPECT_EQ(drawing.Frame(10020, surface), 10000 + 20 + 2000);
  EXPECT_EQ(drawing.shownSegments(), 4);
  EXPECT_EQ(drawing.Frame(12020, surface), PacedDrawing::kNewDrawingDue);
}

}  // namespace
