#include "render/turtle.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "settings/settings.h"

namespace {

// Records what the drawing pass asks of its surface, one readable line per operation.
class RecordingSurface : public DrawingSurface {
 public:
  std::vector<std::string> ops;
  int pausesBeforeStop = -1;  // negative: never ask to stop
  int pauses = 0;
  int pauseMilliseconds = 0;

  void Clear() override { ops.push_back("clear"); }
  void MoveTo(int x, int y) override { Add("move", x, y); }
  void SelectPen(int pen) override { ops.push_back("pen " + std::to_string(pen)); }
  void LineTo(int x, int y) override { Add("line", x, y); }
  bool Pause(int milliseconds) override {
    ++pauses;
    pauseMilliseconds = milliseconds;
    return pausesBeforeStop < 0 || pauses < pausesBeforeStop;
  }

  std::vector<std::string> Segments() const {  // everything but the pens and the clear
    std::vector<std::string> out;
    for (const std::string& op : ops)
      if (op.rfind("move", 0) == 0 || op.rfind("line", 0) == 0) out.push_back(op);
    return out;
  }
  std::vector<int> Pens() const {
    std::vector<int> out;
    for (const std::string& op : ops)
      if (op.rfind("pen ", 0) == 0) out.push_back(std::stoi(op.substr(4)));
    return out;
  }

 private:
  void Add(const char* what, int x, int y) {
    ops.push_back(std::string(what) + " " + std::to_string(x) + " " + std::to_string(y));
  }
};

class Renderer : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCatalogue();
    SetDrawingArea(800, 600);
  }
  void TearDown() override {
    ResetCatalogue();
    ResetCurrentString();
  }

  // Generation `generation` of `entry`, both passes, as the drawing thread makes them.
  RecordingSurface Draw(int entry, int generation) {
    Settings.NumFractal = entry;
    ResetCurrentString();
    for (int g = 0; g <= generation; ++g) EXPECT_TRUE(Rewrite());
    return DrawCurrent();
  }
  RecordingSurface DrawCurrent() {
    RecordingSurface surface;
    EXPECT_TRUE(Render(0, nullptr));
    EXPECT_TRUE(Render(1, &surface));
    return surface;
  }
  RecordingSurface DrawString(int entry, const char* symbols) {
    Settings.NumFractal = entry;
    std::strcpy(CurrentString, symbols);
    return DrawCurrent();
  }
};

TEST_F(Renderer, DrawingAreaKeepsAMarginOfSixPercentOfTheWidth) {
  struct Case {
    int width, height, margin;
  };
  const Case cases[] = {{800, 600, 48}, {1000, 200, 60}, {1024, 768, 61}, {152, 112, 9}, {0, 0, 0}};
  for (const Case& c : cases) {
    SetDrawingArea(c.width, c.height);
    EXPECT_EQ(clientWidth, c.width);
    EXPECT_EQ(clientHeight, c.height);
    EXPECT_EQ(margin, c.margin) << c.width;
  }
  // Sizes no window can have are clamped where they enter.
  SetDrawingArea(-5, INT32_MAX);
  EXPECT_EQ(clientWidth, 0);
  EXPECT_EQ(clientHeight, kMaxClientSide);
  EXPECT_EQ(margin, 0);
}

TEST_F(Renderer, GenerationZeroLandsOnTheKnownPixels) {
  struct Case {
    int entry;
    std::vector<std::string> segments;
    std::vector<int> pens;
  };
  const Case cases[] = {
      // Island: the stretched square does not quite close (3.1415 is not pi).
      {6,
       {"move 49 552", "line 752 552", "line 752 49", "line 49 48", "line 48 552"},
       {1, 2, 3, 4}},
      // Weed: one nearly vertical step, stretched corner to corner.
      {15, {"move 48 552", "line 752 48"}, {1}},
      // Koch snowflake.
      {7, {"move 49 552", "line 752 377", "line 179 48", "line 48 552"}, {1, 2, 3}},
      // Snowflake: every branch starts again from the mapped origin.
      {14,
       {"move 401 301", "line 752 254", "move 401 301", "line 523 48", "move 401 301",
        "line 171 95", "move 401 301", "line 48 347", "move 401 301", "line 278 552",
        "move 401 301", "line 630 506"},
       {1, 2, 3, 4, 5, 6}},
      // Hilbert curve: the axiom "X" holds no step.
      {5, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    const RecordingSurface surface = Draw(c.entry, 0);
    ASSERT_FALSE(surface.ops.empty());
    EXPECT_EQ(surface.ops.front(), "clear");
    EXPECT_EQ(surface.Segments(), c.segments);
    EXPECT_EQ(surface.Pens(), c.pens);
  }
}

TEST_F(Renderer, EachSegmentSelectsItsPenThenPauses) {
  const RecordingSurface surface = Draw(6, 0);
  const std::vector<std::string> expected = {
      "clear",       "move 49 552", "pen 1",      "line 752 552", "pen 2",
      "line 752 49", "pen 3",       "line 49 48", "pen 4",        "line 48 552",
  };
  EXPECT_EQ(surface.ops, expected);
  EXPECT_EQ(surface.pauses, 4);
  EXPECT_EQ(surface.pauseMilliseconds, kSegmentPauseMs);
}

TEST_F(Renderer, PensCycleThroughTheWholeFigure) {
  const RecordingSurface surface = DrawString(6, "FFFFFFFFFFFFFFFFFFFFFFFFF");  // 25 steps
  const std::vector<int> expected = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2, 3,
                                     4, 5, 6, 7, 8, 9, 0, 1, 2, 3, 4, 5};
  EXPECT_EQ(surface.Pens(), expected);
  // One unbroken line: a single move at the start.
  EXPECT_EQ(surface.Segments().front(), "move 48 300");
  EXPECT_EQ(surface.Segments().size(), 26u);
}

TEST_F(Renderer, MeasuringPassTouchesNoSurfaceAndFindsTheExtent) {
  Settings.NumFractal = 6;
  std::strcpy(CurrentString, "F+F+F+F");
  RecordingSurface surface;
  EXPECT_TRUE(Render(0, &surface));
  EXPECT_TRUE(surface.ops.empty());
  EXPECT_EQ(surface.pauses, 0);
  // The square is slightly skewed: 3.1415 is a little less than pi.
  EXPECT_LT(extent.minX, 0.0);
  EXPECT_NEAR(extent.minX, 0.0, 1e-3);
  EXPECT_GT(extent.maxX, 1.0);
  EXPECT_NEAR(extent.maxX, 1.0, 1e-3);
  EXPECT_EQ(extent.minY, 0.0);
  EXPECT_NEAR(extent.maxY, 1.0, 1e-3);
}

TEST_F(Renderer, DrawingPassKeepsTheMeasuredExtent) {
  Settings.NumFractal = 6;
  std::strcpy(CurrentString, "F+F+F+F");
  ASSERT_TRUE(Render(0, nullptr));
  const Extent measured = extent;
  std::strcpy(CurrentString, "FFFF");  // would widen the extent, were it measured again
  RecordingSurface surface;
  ASSERT_TRUE(Render(1, &surface));
  EXPECT_EQ(std::memcmp(&extent, &measured, sizeof extent), 0);
  // The fourth step ends four widths of 704 pixels to the right of the margin.
  EXPECT_EQ(surface.Segments().back(), "line " + std::to_string(48 + 4 * 704) + " 552");
}

TEST_F(Renderer, StepsWithoutDrawingLiftThePen) {
  // "Chain": b moves on without a segment; the next step starts with a move.
  const RecordingSurface surface = DrawString(0, "FbF");
  const std::vector<std::string> segments = surface.Segments();
  ASSERT_EQ(segments.size(), 4u);
  EXPECT_EQ(segments[0].substr(0, 4), "move");
  EXPECT_EQ(segments[2].substr(0, 4), "move");
  EXPECT_NE(segments[1].substr(4), segments[2].substr(4));
  EXPECT_EQ(surface.Pens(), (std::vector<int>{1, 2}));
}

TEST_F(Renderer, StartHeadingComesFromTheCatalogueAtEveryPass) {
  // "Shrub" with its start heading replaced by 0 grows to the right: one horizontal
  // step, centred vertically since it has no height.
  SetStartAngle(13, 0);
  EXPECT_EQ(Draw(13, 0).Segments(), (std::vector<std::string>{"move 48 300", "line 752 300"}));
  ResetCatalogue();
  EXPECT_EQ(Draw(13, 0).Segments(), (std::vector<std::string>{"move 48 552", "line 752 48"}));
}

TEST_F(Renderer, AnAxisWithoutSpanIsCentred) {
  struct Case {
    const char* symbols;
    int entry;  // supplies heading and turn
    std::vector<std::string> segments;
  };
  const Case cases[] = {
      // Exercise 2.2, Harter-Heighway Dragon and Gosper curve, generation 0: one
      // horizontal step.
      {"F", 1, {"move 48 300", "line 752 300"}},
      {"FX", 4, {"move 48 300", "line 752 300"}},
      {"XF", 3, {"move 48 300", "line 752 300"}},
      // Two steps in a row: still no height.
      {"FF", 1, {"move 48 300", "line 400 300", "line 752 300"}},
      // No step at all: the extent is the origin alone, both axes collapse.
      {"b", 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.symbols);
    EXPECT_EQ(DrawString(c.entry, c.symbols).Segments(), c.segments);
  }
  // An odd number of pixels: the centre is rounded up, as every mapped point is.
  SetDrawingArea(801, 601);
  EXPECT_EQ(DrawString(1, "F").Segments(),
            (std::vector<std::string>{"move 48 " + std::to_string(553 - 252), "line 753 301"}));
}

TEST_F(Renderer, GenerationsOfTheCatalogueStayInsideTheDrawingArea) {
  for (int entry = 0; entry < kFractalCount; ++entry) {
    SCOPED_TRACE(FractalCatalogue[entry].title);
    const int generation = FractalCatalogue[entry].maxIter > 3 ? 2 : 1;
    const RecordingSurface surface = Draw(entry, generation);
    for (const std::string& op : surface.Segments()) {
      int x = 0, y = 0;
      const char* numbers = op.c_str() + 5;
      ASSERT_EQ(std::sscanf(numbers, "%d %d", &x, &y), 2) << op;
      EXPECT_GE(x, 48) << op;
      EXPECT_LE(x, 752) << op;
      EXPECT_GE(y, 48) << op;
      EXPECT_LE(y, 552) << op;
    }
  }
}

TEST_F(Renderer, UnbalancedBracketsStayInsideTheStack) {
  // A "]" with nothing saved restores nothing and lifts no pen.
  EXPECT_EQ(DrawString(1, "]F]F").Segments(),
            (std::vector<std::string>{"move 48 300", "line 400 300", "line 752 300"}));

  // More "[" than the stack holds: the extra levels save nothing, their "]" restore
  // nothing, and the saved levels below come back in order.
  std::string deep(kBranchStackSize + 5, '[');
  deep += "F";
  deep += std::string(kBranchStackSize + 5, ']');
  deep += "F";
  Settings.NumFractal = 1;
  std::strcpy(CurrentString, deep.c_str());
  const RecordingSurface surface = DrawCurrent();
  // Both steps start at the origin: the last "]" brought the turtle back there.
  EXPECT_EQ(surface.Segments(), (std::vector<std::string>{"move 48 300", "line 752 300",
                                                          "move 48 300", "line 752 300"}));
  // Every state that was restored has been zeroed.
  for (int i = 0; i < kBranchStackSize; ++i) {
    ASSERT_EQ(BranchStack[i].x, 0.0f) << i;
    ASSERT_EQ(BranchStack[i].heading, 0.0f) << i;
  }
}

TEST_F(Renderer, ABranchReturnsToItsStartInSinglePrecision) {
  Settings.NumFractal = 13;  // heading 90, turn 22
  std::strcpy(CurrentString, "F[+F]F");
  ASSERT_TRUE(Render(0, nullptr));
  RecordingSurface branched;
  ASSERT_TRUE(Render(1, &branched));
  const std::vector<std::string> segments = branched.Segments();
  ASSERT_EQ(segments.size(), 5u);  // move, line, line, move, line

  // The third step starts again where the first ended, as saved: in floats. Its y of
  // 0.9999999996 became 1.0f, which lands one pixel higher here.
  EXPECT_EQ(segments[1], "line 752 301");
  EXPECT_EQ(segments[3], "move 752 300");
}

TEST_F(Renderer, StopsAtOnceWhenThePauseSaysSo) {
  Settings.NumFractal = 6;
  std::strcpy(CurrentString, "F+F+F+F");
  ASSERT_TRUE(Render(0, nullptr));
  RecordingSurface surface;
  surface.pausesBeforeStop = 2;
  EXPECT_FALSE(Render(1, &surface));
  EXPECT_EQ(surface.pauses, 2);
  EXPECT_EQ(surface.Pens(), (std::vector<int>{1, 2}));
}

TEST_F(Renderer, DrawingPassWithoutASurfaceDrawsNothing) {
  Settings.NumFractal = 6;
  std::strcpy(CurrentString, "F+F+F+F");
  EXPECT_TRUE(Render(0, nullptr));
  EXPECT_FALSE(Render(1, nullptr));
}

TEST_F(Renderer, PointsFarOutsideTheMeasuredExtentStayIntegers) {
  Settings.NumFractal = 15;
  std::strcpy(CurrentString, "F");
  ASSERT_TRUE(Render(0, nullptr));  // a width of about 5e-5 world units
  // Exercise 2.2 then walks 200 steps across that width, to the right and to the left:
  // each step is some 15 million pixels long, and the far points stop at 2^30 pixels.
  struct Case {
    std::string symbols;
    int lastX;
  };
  const Case cases[] = {{std::string(200, 'F'), 48 + (1 << 30)},
                        {"++" + std::string(200, 'F'), 48 - (1 << 30)}};
  Settings.NumFractal = 1;
  for (const Case& c : cases) {
    std::strcpy(CurrentString, c.symbols.c_str());
    RecordingSurface surface;
    ASSERT_TRUE(Render(1, &surface));
    int x = 0, y = 0;
    ASSERT_EQ(std::sscanf(surface.Segments().back().c_str(), "line %d %d", &x, &y), 2);
    EXPECT_EQ(x, c.lastX) << c.symbols.substr(0, 2);
  }
}

}  // namespace
