#include "saver/animation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "render/palette.h"
#include "render/turtle.h"
#include "saver/random.h"
#include "settings/settings.h"

namespace {

uint32_t tickCounter = 0;
uint32_t tickStep = 1;
// A tick count that moves on by tickStep at every reseed.
uint32_t SteppingTicks() { return tickCounter += tickStep; }

// Records what the loops ask of the platform and stops them after a number of drawings.
class RecordingPlatform : public AnimationPlatform {
 public:
  struct Drawing {
    int32_t entry;
    int32_t lineWidth;
    int32_t palette;  // of the last RebuildPens, -1 when none
    std::string text;
  };

  explicit RecordingPlatform(int drawingsBeforeStop) : drawingsLeft_(drawingsBeforeStop) {}

  void RebuildPens(int32_t palette) override { palettes.push_back(palette); }
  bool Draw() override {
    drawings.push_back({Settings.NumFractal, Settings.LineWidth,
                        palettes.empty() ? -1 : palettes.back(), CurrentString});
    return --drawingsLeft_ > 0 || !stopInDraw;
  }
  bool Wait(uint32_t milliseconds) override {
    waits.push_back(milliseconds);
    if (stopInWait >= 0 && static_cast<int>(waits.size()) >= stopInWait) return false;
    return drawingsLeft_ > 0;
  }

  std::vector<int32_t> palettes;
  std::vector<Drawing> drawings;
  std::vector<uint32_t> waits;
  bool stopInDraw = false;  // report the stop from Draw instead of the following Wait
  int stopInWait = -1;      // report the stop from this Wait call (1-based)

 private:
  int drawingsLeft_;
};

// Generation `generation` of `entry`, built apart from the loops.
std::string Generation(int32_t entry, int generation) {
  const int32_t saved = Settings.NumFractal;
  Settings.NumFractal = entry;
  ResetCurrentString();
  for (int i = 0; i <= generation; ++i) Rewrite();
  std::string text = CurrentString;
  ResetCurrentString();
  Settings.NumFractal = saved;
  return text;
}

class Animation : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSource_ = randomTickSource;
    randomTickSource = SteppingTicks;
    tickCounter = 0;
    tickStep = 1;
    randomState = 0.0;
    std::memset(&Settings, 0, sizeof Settings);
    ResetCatalogue();
    ResetCurrentString();
  }
  void TearDown() override {
    randomTickSource = savedSource_;
    randomState = 0.0;
    std::memset(&Settings, 0, sizeof Settings);
    ResetCatalogue();
    ResetCurrentString();
  }

 private:
  uint32_t (*savedSource_)() = nullptr;
};

TEST_F(Animation, SlideshowPicksOnlyTheFirstFifteenEntriesFourWidthsAndFourPalettes) {
  Settings.DefaultMode = 1;
  Settings.CurPalette = 4;
  tickStep = 7919;  // spreads the seeds over many magnitudes
  RecordingPlatform platform(400);
  RunSlideshow(platform);

  ASSERT_EQ(platform.drawings.size(), 400u);
  std::set<int32_t> entries, widths, palettes;
  for (const auto& d : platform.drawings) {
    entries.insert(d.entry);
    widths.insert(d.lineWidth);
    palettes.insert(d.palette);
  }
  EXPECT_EQ(entries, (std::set<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
  EXPECT_EQ(widths, (std::set<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(palettes, (std::set<int32_t>{0, 1, 2, 3}));
  EXPECT_EQ(platform.palettes.size(), 400u);  // the pens are rebuilt in every cycle
  EXPECT_EQ(Settings.CurPalette, 4);          // the user's palette choice is left alone
}

TEST_F(Animation, SlideshowPowerOfTenSeedsStillPickValidValues) {
  tickStep = 0;
  for (uint32_t ticks : {1u, 10u, 100u, 1000u, 100000u}) {
    SCOPED_TRACE(ticks);
    tickCounter = ticks;
    RecordingPlatform platform(1);
    RunSlideshow(platform);
    ASSERT_EQ(platform.drawings.size(), 1u);
    EXPECT_GE(platform.drawings[0].entry, 0);
    EXPECT_LE(platform.drawings[0].entry, 14);
    EXPECT_GE(platform.drawings[0].lineWidth, 1);
    EXPECT_LE(platform.drawings[0].lineWidth, 4);
    EXPECT_GE(platform.drawings[0].palette, 0);
    EXPECT_LE(platform.drawings[0].palette, 3);
  }
}

TEST_F(Animation, SlideshowDrawsGenerationSlideIterMinusOneAndStartsEachFigureAfresh) {
  Settings.TimeOut = 3;
  tickStep = 104729;
  RecordingPlatform platform(60);
  RunSlideshow(platform);

  ASSERT_EQ(platform.drawings.size(), 60u);
  for (const auto& d : platform.drawings) {
    SCOPED_TRACE(d.entry);
    const int32_t generation = FractalCatalogue[d.entry].slideIter - 1;
    EXPECT_EQ(d.text, Generation(d.entry, generation));
  }
  EXPECT_EQ(platform.waits, std::vector<uint32_t>(60, 300));
  EXPECT_EQ(CurrentString[0], '\0');
}

TEST_F(Animation, SlideshowFigureLengths) {
  // Known lengths of some slideshow figures; entry 0 shows generation 3.
  struct Case {
    int32_t entry;
    size_t length;
  };
  const Case cases[] = {{4, 16382}, {5, 13651}, {13, 8001}, {14, 14675}};
  tickStep = 7919;
  RecordingPlatform platform(400);
  RunSlideshow(platform);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    bool seen = false;
    for (const auto& d : platform.drawings) {
      if (d.entry != c.entry) continue;
      seen = true;
      EXPECT_EQ(d.text.size(), c.length);
    }
    EXPECT_TRUE(seen);
  }
  for (const auto& d : platform.drawings) {
    if (d.entry == 0) {
      EXPECT_EQ(d.text, Generation(0, 3));
    }
  }
}

TEST_F(Animation, SlideshowLeavesStartAnglesAlone) {
  Settings.Angle = 123;
  tickStep = 7919;
  RecordingPlatform platform(50);
  RunSlideshow(platform);
  for (int i = 0; i < kFractalCount; ++i) {
    const int32_t stored = FractalCatalogue[i].startAngle;
    ResetCatalogue();
    EXPECT_EQ(stored, FractalCatalogue[i].startAngle) << i;
  }
}

TEST_F(Animation, SlideshowStopsDuringThePauseOrTheDrawing) {
  RecordingPlatform inPause(5);
  inPause.stopInWait = 2;
  RunSlideshow(inPause);
  EXPECT_EQ(inPause.drawings.size(), 2u);
  EXPECT_EQ(CurrentString[0], '\0');

  RecordingPlatform inDrawing(3);
  inDrawing.stopInDraw = true;
  RunSlideshow(inDrawing);
  EXPECT_EQ(inDrawing.drawings.size(), 3u);
  EXPECT_EQ(inDrawing.waits.size(), 2u);  // no pause after the interrupted drawing
}

TEST_F(Animation, FixedModeShowsItsGenerationsAgainAndAgain) {
  Settings.DefaultMode = 0;
  Settings.NumFractal = 13;
  Settings.iterFrom = 1;
  Settings.iterTo = 3;
  Settings.Angle = 0;
  Settings.TimeOut = 7;
  RecordingPlatform platform(6);
  RunFixedFractal(platform);

  ASSERT_EQ(platform.drawings.size(), 6u);
  const int expected[] = {1, 2, 3, 1, 2, 3};
  for (size_t i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(platform.drawings[i].text, Generation(13, expected[i]));
    EXPECT_EQ(platform.drawings[i].entry, 13);
  }
  EXPECT_EQ(platform.waits, std::vector<uint32_t>(6, 700));
  EXPECT_TRUE(platform.palettes.empty());  // the user's pens are kept
}

TEST_F(Animation, FixedModeWritesTheAngleIntoItsEntryOnceAndOnlyThere) {
  // Changes the setting during the first drawing: the heading was taken before.
  class AngleChanger : public RecordingPlatform {
   public:
    using RecordingPlatform::RecordingPlatform;
    bool Draw() override {
      headings.push_back(FractalCatalogue[13].startAngle);
      Settings.Angle = 200;
      return RecordingPlatform::Draw();
    }
    std::vector<int32_t> headings;
  };
  Settings.NumFractal = 13;
  Settings.iterTo = 0;
  Settings.Angle = 0;  // "Shrub" then grows to the right
  AngleChanger platform(3);
  RunFixedFractal(platform);
  EXPECT_EQ(platform.headings, (std::vector<int32_t>{0, 0, 0}));
  EXPECT_EQ(FractalCatalogue[13].startAngle, 0);
  EXPECT_EQ(FractalCatalogue[15].startAngle, 90);
  EXPECT_EQ(FractalCatalogue[12].startAngle, 15);
}

TEST_F(Animation, FixedModeFromTheAxiom) {
  Settings.NumFractal = 13;
  Settings.iterFrom = 0;
  Settings.iterTo = 4;
  RecordingPlatform platform(1);
  RunFixedFractal(platform);
  ASSERT_EQ(platform.drawings.size(), 1u);
  EXPECT_EQ(platform.drawings[0].text, "F");
}

TEST_F(Animation, FixedModeWithOneGenerationRebuildsItEachCycle) {
  Settings.NumFractal = 6;
  Settings.iterFrom = 2;
  Settings.iterTo = 2;
  RecordingPlatform platform(3);
  RunFixedFractal(platform);
  ASSERT_EQ(platform.drawings.size(), 3u);
  for (const auto& d : platform.drawings) EXPECT_EQ(d.text, Generation(6, 2));
}

// Two figures of other fractals drawn in turn through the one CurrentString, as the
// Wayland outputs with settings of their own do: each cursor rebuilds its generation.
TEST_F(Animation, FixedModeCursorsTakingTurnsRebuildTheirOwnGenerations) {
  FixedFractalCursor dragon, island;
  EXPECT_FALSE(dragon.Rebuild()) << "nothing to rebuild before the first drawing";
  Settings.iterFrom = 2;
  Settings.iterTo = 5;
  for (int round = 0; round < 6; ++round) {
    Settings.NumFractal = 4;
    EXPECT_EQ(dragon.Rebuild(), round > 0);
    ASSERT_TRUE(dragon.Advance());
    std::string text = CurrentString;  // read before Generation, which empties it
    EXPECT_EQ(text, Generation(4, 2 + round % 4)) << round;
    Settings.NumFractal = 6;
    EXPECT_EQ(island.Rebuild(), round > 0);
    ASSERT_TRUE(island.Advance());
    text = CurrentString;
    EXPECT_EQ(text, Generation(6, 2 + round % 4)) << round;
    Settings.NumFractal = 4;
    ASSERT_TRUE(dragon.Rebuild());
    text = CurrentString;
    EXPECT_EQ(text, Generation(4, 2 + round % 4)) << round;
  }
}

TEST_F(Animation, FixedModeWithAnEmptyRangeDrawsNothingAndWaits) {
  Settings.NumFractal = 6;
  Settings.iterFrom = 3;
  Settings.iterTo = 1;
  RecordingPlatform platform(1);
  platform.stopInWait = 4;
  RunFixedFractal(platform);
  EXPECT_TRUE(platform.drawings.empty());
  EXPECT_EQ(platform.waits, std::vector<uint32_t>(4, kIdleWaitMs));
}

TEST_F(Animation, PauseIsTimeOutTenthsOfASecond) {
  struct Case {
    int32_t timeOut;
    uint32_t ms;
  };
  const Case cases[] = {{0, 0}, {1, 100}, {20, 2000}, {50, 5000}, {-3, 0}};
  std::strcpy(CurrentString, "F+F");
  for (const Case& c : cases) {
    Settings.TimeOut = c.timeOut;
    EXPECT_EQ(PauseAfterDrawingMs(), c.ms) << c.timeOut;
  }
}

TEST_F(Animation, AFigureWithoutSegmentsIsNeverRedrawnWithoutAPause) {
  // Generation 0 of "Hilbert curve" is "X": the drawing pass has nothing to draw.
  Settings.NumFractal = 5;
  Settings.iterTo = 0;
  Settings.TimeOut = 0;
  RecordingPlatform platform(3);
  RunFixedFractal(platform);
  ASSERT_EQ(platform.drawings.size(), 3u);
  EXPECT_EQ(platform.drawings[0].text, "X");
  EXPECT_EQ(platform.waits, std::vector<uint32_t>(3, kEmptyFigurePauseMs));

  Settings.TimeOut = 20;  // a longer pause is kept as it is
  EXPECT_EQ(PauseAfterDrawingMs(), 2000u);
}

}  // namespace

// Every operation of a drawing pass as text, the way a window would receive it.
class OpsSurface : public DrawingSurface {
 public:
  void Clear() override { ops.push_back("clear"); }
  void MoveTo(int x, int y) override { Point("move", x, y); }
  void SelectPen(int pen) override { ops.push_back("pen " + std::to_string(pen)); }
  void LineTo(int x, int y) override { Point("line", x, y); }
  bool Pause(int) override { return true; }

  std::vector<std::string> ops;
  std::vector<std::pair<int, int>> points;

 private:
  void Point(const char* what, int x, int y) {
    ops.push_back(std::string(what) + " " + std::to_string(x) + " " + std::to_string(y));
    points.push_back({x, y});
  }
};

// The one-figure loops drawing for real onto a recording surface.
class RenderingPlatform : public RecordingPlatform {
 public:
  explicit RenderingPlatform(int drawings) : RecordingPlatform(drawings) {}
  bool Draw() override {
    Render(0, nullptr);
    Render(1, &surface);
    return RecordingPlatform::Draw();
  }
  OpsSurface surface;
};

// A layout's figures drawn onto one recording surface each; stops after a number of
// drawings (waits), and can report a change of monitors from one of the pauses.
class FiguresRecorder : public FiguresPlatform {
 public:
  struct Pens {
    int index;
    int32_t width, dpi;
    uint32_t colour0;
    int32_t entry;
  };

  FiguresRecorder(const FigureLayout& layout, int drawings) : layout_(layout), left_(drawings) {}

  FigureLayout StartLayout() override {
    ++layouts;
    for (OpsSurface& s : surfaces) s = OpsSurface{};
    return layout_;
  }
  void MakePens(int index, int32_t width, int32_t dpi) override {
    pens.push_back({index, width, dpi, colors[0], Settings.NumFractal});
  }
  DrawingSurface& Surface(int index) override { return surfaces[index]; }
  void BeginDrawing() override { ++drawingPasses; }
  void EndDrawing() override {}
  bool Pause(int milliseconds) override {
    EXPECT_EQ(milliseconds, 5);
    if (++pauses == changeAtPause) return false;
    return true;
  }
  bool Wait(uint32_t) override { return --left_ > 0; }
  bool Stopped() override { return left_ <= 0; }

  OpsSurface surfaces[kMaxMonitors];
  std::vector<Pens> pens;
  int layouts = 0, drawingPasses = 0, pauses = 0;
  int changeAtPause = -1;

 private:
  FigureLayout layout_;
  int left_;
};

FigureLayout OneArea(int32_t left, int32_t top, int32_t width, int32_t height, int32_t dpi = 96) {
  FigureLayout layout = {};
  layout.count = 1;
  layout.areas[0] = {left, top, width, height, dpi};
  return layout;
}

TEST_F(Animation, OneFigureOverTheWholeWindowDrawsWhatTheOneFigureLoopsDraw) {
  SetDrawingArea(800, 600);
  for (int32_t slideshow : {0, 1}) {
    SCOPED_TRACE(slideshow);
    SetUp();
    SetDrawingArea(800, 600);
    Settings = {4, slideshow, 1, 0, 2, 3, 6, 45, 0, {}, 1};
    ApplyPalette(1);
    tickStep = 7919;
    RenderingPlatform one(6);
    if (slideshow) {
      RunSlideshow(one);
    } else {
      RunFixedFractal(one);
    }

    SetUp();
    Settings = {4, slideshow, 1, 0, 2, 3, 6, 45, 0, {}, 1};
    ApplyPalette(1);
    tickStep = 7919;
    FiguresRecorder figures(OneArea(0, 0, 800, 600), 6);
    if (slideshow) {
      RunSlideshowFigures(figures);
    } else {
      RunFixedFigures(figures);
    }
    EXPECT_EQ(figures.surfaces[0].ops, one.surface.ops);
    EXPECT_EQ(figures.drawingPasses, 6);
    if (slideshow) {
      ASSERT_EQ(figures.pens.size(), one.drawings.size());
      for (size_t i = 0; i < one.drawings.size(); ++i) {
        EXPECT_EQ(figures.pens[i].entry, one.drawings[i].entry) << i;
        EXPECT_EQ(figures.pens[i].width, one.drawings[i].lineWidth) << i;
        EXPECT_EQ(figures.pens[i].colour0, kBuiltInPalettes[one.drawings[i].palette][0]) << i;
      }
    }
  }
}

// Three monitors of different sizes, one of them left of the primary: each figure is the
// one-figure drawing of its monitor's size, moved onto that monitor, and all of them grow
// together, one segment each per pause.
TEST_F(Animation, EachMonitorsFigureIsFittedToItsMonitorAndAllGrowTogether) {
  const MonitorInfo monitors[] = {{{0, 0, 400, 300}, true, 96},
                                  {{-640, 0, 0, 480}, false, 96},
                                  {{400, 0, 720, 240}, false, 192}};
  const FigureLayout layout = LayOutFigures(kFigureOnEach, monitors, 3, {-640, 0, 720, 480}, 96);
  ASSERT_EQ(layout.count, 3);
  Settings = {4, 0, 1, 0, 2, 4, 4, 0, 0, {}, 1};
  FiguresRecorder figures(layout, 1);
  RunFixedFigures(figures);
  ASSERT_EQ(figures.drawingPasses, 1);
  const std::string text = Generation(4, 4);
  EXPECT_EQ(figures.pauses, std::count(text.begin(), text.end(), 'F'));

  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const FigureArea& area = layout.areas[i];
    EXPECT_EQ(figures.pens[i].dpi, area.dpi);
    SetUp();
    Settings = {4, 0, 1, 0, 2, 4, 4, 0, 0, {}, 1};
    SetDrawingArea(area.width, area.height);
    RenderingPlatform one(1);
    RunFixedFractal(one);
    std::vector<std::string> moved;
    for (size_t k = 0; k < one.surface.points.size(); ++k) {
      const auto [x, y] = one.surface.points[k];
      EXPECT_GE(x, 0);
      EXPECT_LE(x, area.width);
      EXPECT_GE(y, 0);
      EXPECT_LE(y, area.height);
    }
    for (const std::string& op : one.surface.ops) {
      int x = 0, y = 0;
      char what[8] = {};
      if (std::sscanf(op.c_str(), "%7s %d %d", what, &x, &y) == 3)
        moved.push_back(std::string(what) + " " + std::to_string(x + area.left) + " " +
                        std::to_string(y + area.top));
      else
        moved.push_back(op);
    }
    EXPECT_EQ(figures.surfaces[i].ops, moved);
  }
}

TEST_F(Animation, SlideshowPicksEachMonitorsFigureItselfAfterOneReseed) {
  FigureLayout layout = OneArea(0, 0, 400, 300);
  layout.count = 3;
  layout.areas[1] = {400, 0, 640, 480, 96};
  layout.areas[2] = {1040, 0, 320, 240, 144};
  tickStep = 7919;
  FiguresRecorder figures(layout, 20);
  RunSlideshowFigures(figures);
  ASSERT_EQ(figures.pens.size(), 60u);
  std::set<std::vector<int32_t>> differing;
  for (size_t cycle = 0; cycle < 20; ++cycle) {
    std::vector<int32_t> picks;
    for (int i = 0; i < 3; ++i) {
      const auto& p = figures.pens[cycle * 3 + i];
      EXPECT_EQ(p.index, i);
      EXPECT_EQ(p.dpi, layout.areas[i].dpi);
      picks.push_back(p.entry * 100 + p.width * 10 + int32_t(p.colour0 & 0xFF));
    }
    if (picks[0] != picks[1] || picks[1] != picks[2]) differing.insert(picks);
  }
  EXPECT_GT(differing.size(), 10u);  // the monitors do not all show the same figure
}

TEST_F(Animation, AChangeOfMonitorsStartsTheFiguresAgainInTheNewLayout) {
  Settings = {4, 0, 1, 0, 2, 4, 4, 0, 0, {}, 1};
  FiguresRecorder figures(OneArea(0, 0, 800, 600), 1);
  figures.changeAtPause = 3;
  RunFixedFigures(figures);
  EXPECT_EQ(figures.layouts, 2);
  EXPECT_EQ(figures.drawingPasses, 2);
  // The new layout's pens are made again and its figure drawn whole: a clear, one move
  // and a pen and a line for every segment.
  EXPECT_EQ(figures.pens.size(), 2u);
  EXPECT_EQ(std::count(figures.surfaces[0].ops.begin(), figures.surfaces[0].ops.end(), "clear"), 1);
  const std::string text = Generation(4, 4);
  EXPECT_EQ(std::count(figures.surfaces[0].ops.begin(), figures.surfaces[0].ops.end(), "clear") +
                2 * std::count(text.begin(), text.end(), 'F') + 1,
            long(figures.surfaces[0].ops.size()));
}

// Every edition starts its figures through RunAnimation: the drawing area is set before
// the clear, the clear comes once before the first drawing, and the loop is the one the
// mode asks for, drawing what that loop draws when it runs alone.
TEST_F(Animation, TheStartSetsTheAreaClearsItAndRunsTheLoopOfTheMode) {
  class ClearingPlatform : public RenderingPlatform {
   public:
    using RenderingPlatform::RenderingPlatform;
    void ClearDrawingArea() override {
      surface.ops.push_back("clear area " + std::to_string(clientWidth) + "x" +
                            std::to_string(clientHeight));
    }
  };
  for (int32_t slideshow : {0, 1}) {
    SCOPED_TRACE(slideshow);
    SetUp();
    SetDrawingArea(640, 480);
    Settings = {4, slideshow, 1, 0, 2, 3, 6, 45, 0, {}, 1};
    tickStep = 7919;
    RenderingPlatform alone(4);
    if (slideshow) {
      RunSlideshow(alone);
    } else {
      RunFixedFractal(alone);
    }

    SetUp();
    SetDrawingArea(1, 1);
    Settings = {4, slideshow, 1, 0, 2, 3, 6, 45, 0, {}, 1};
    tickStep = 7919;
    ClearingPlatform started(4);
    RunAnimation(started, 640, 480);
    ASSERT_FALSE(started.surface.ops.empty());
    EXPECT_EQ(started.surface.ops.front(), "clear area 640x480");
    EXPECT_EQ(std::vector<std::string>(started.surface.ops.begin() + 1, started.surface.ops.end()),
              alone.surface.ops);
    EXPECT_EQ(started.palettes, alone.palettes);

    SetUp();
    Settings = {4, slideshow, 1, 0, 2, 3, 6, 45, 0, {}, 1};
    tickStep = 7919;
    FiguresRecorder figures(OneArea(0, 0, 640, 480), 4);
    RunAnimation(figures);
    EXPECT_EQ(figures.surfaces[0].ops, alone.surface.ops);
    EXPECT_EQ(figures.pens.size(), slideshow ? 4u : 1u);
  }
}
