#include "render/monitor_layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "render/turtle.h"
#include "settings/settings.h"

namespace {

std::string Areas(const FigureLayout& layout) {
  std::string text;
  for (int i = 0; i < layout.count; ++i) {
    const FigureArea& a = layout.areas[i];
    text += (i ? " " : "") + std::to_string(a.left) + "," + std::to_string(a.top) + " " +
            std::to_string(a.width) + "x" + std::to_string(a.height) + "@" + std::to_string(a.dpi);
  }
  return text;
}

// Monitors as the system lists them, in virtual-screen pixels, and the window that covers
// their bounding box (the screen's clip box).
struct Desk {
  const char* what;
  std::vector<MonitorInfo> monitors;
  ScreenRect window;
};

// 640x480 left of a 400x300 primary, and a 320x240 right of it.
const Desk kThreeHeads = {"three heads, one left of the primary",
                          {{{0, 0, 400, 300}, true, 96},
                           {{-640, 0, 0, 480}, false, 120},
                           {{400, 0, 720, 240}, false, 192}},
                          {-640, 0, 720, 480}};
// A primary above-right of the other, so the other lies at negative coordinates on both axes.
const Desk kAbove = {"one up and to the left",
                     {{{-1920, -1080, 0, 0}, false, 96}, {{0, 0, 1280, 1024}, true, 144}},
                     {-1920, -1080, 1280, 1024}};

TEST(MonitorLayout, EachSettingPutsItsFiguresWhereTheMonitorsAre) {
  const struct {
    const Desk* desk;
    int32_t setting;
    const char* areas;
  } cases[] = {
      {&kThreeHeads, kOneFigureAcross, "0,0 1360x480@96"},
      {&kThreeHeads, kFigureOnEach, "640,0 400x300@96 0,0 640x480@120 1040,0 320x240@192"},
      {&kThreeHeads, kPrimaryOnly, "640,0 400x300@96"},
      {&kAbove, kOneFigureAcross, "0,0 3200x2104@96"},
      {&kAbove, kFigureOnEach, "1920,1080 1280x1024@144 0,0 1920x1080@96"},
      {&kAbove, kPrimaryOnly, "1920,1080 1280x1024@144"},
      // A value that names no layout is the first.
      {&kThreeHeads, 3, "0,0 1360x480@96"},
      {&kThreeHeads, -1, "0,0 1360x480@96"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.desk->what) + ", setting " + std::to_string(c.setting));
    EXPECT_EQ(Areas(LayOutFigures(c.setting, c.desk->monitors.data(), int(c.desk->monitors.size()),
                                  c.desk->window, 96)),
              c.areas);
  }
}

TEST(MonitorLayout, MonitorsBeyondTheWindowAreCutOrLeftOutAndNoneMeansTheWholeWindow) {
  const ScreenRect window = {0, 0, 800, 600};
  const struct {
    const char* what;
    std::vector<MonitorInfo> monitors;
    int32_t setting;
    const char* areas;
  } cases[] = {
      {"no monitor known (95, NT 4)", {}, kFigureOnEach, "0,0 800x600@120"},
      {"no monitor known, primary only", {}, kPrimaryOnly, "0,0 800x600@120"},
      {"one monitor as large as the window",
       {{{0, 0, 800, 600}, true, 96}},
       kFigureOnEach,
       "0,0 800x600@96"},
      {"a monitor added after the window was made",
       {{{0, 0, 800, 600}, true, 96}, {{800, 0, 1600, 600}, false, 96}},
       kFigureOnEach,
       "0,0 800x600@96"},
      {"a monitor partly outside",
       {{{-100, 100, 300, 700}, true, 96}},
       kFigureOnEach,
       "0,100 300x500@96"},
      {"a mirrored monitor gets no second figure",
       {{{0, 0, 800, 600}, true, 96}, {{0, 0, 800, 600}, false, 96}},
       kFigureOnEach,
       "0,0 800x600@96"},
      {"no primary marked: the first",
       {{{0, 0, 400, 600}, false, 96}, {{400, 0, 800, 600}, false, 96}},
       kPrimaryOnly,
       "0,0 400x600@96"},
      {"the primary outside the window",
       {{{900, 0, 1000, 600}, true, 96}},
       kPrimaryOnly,
       "0,0 800x600@120"},
      {"absurd coordinates",
       {{{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, true, 96}},
       kFigureOnEach,
       "0,0 800x600@96"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(
        Areas(LayOutFigures(c.setting, c.monitors.data(), int(c.monitors.size()), window, 120)),
        c.areas);
  }
  // More monitors than can be drawn on: the first kMaxMonitors, primary first.
  std::vector<MonitorInfo> many;
  for (int i = 0; i < 40; ++i) many.push_back({{i * 20, 0, i * 20 + 20, 20}, i == 39, 96});
  const FigureLayout layout = LayOutFigures(kFigureOnEach, many.data(), 40, window, 96);
  ASSERT_EQ(layout.count, kMaxMonitors);
  EXPECT_EQ(layout.areas[0].left, 780);
  EXPECT_EQ(layout.areas[1].left, 0);
  // A window beyond any real screen is brought to the drawing area's limit.
  const FigureLayout huge =
      LayOutFigures(kOneFigureAcross, nullptr, 0, {INT32_MIN, 0, INT32_MAX, 10}, 96);
  EXPECT_EQ(Areas(huge), "0,0 " + std::to_string(kMaxClientSide) + "x10@96");
}

TEST(MonitorLayout, LineWidthsScaleWithTheMonitorsDpiAndNeverShrink) {
  const struct {
    int32_t width, dpi, scaled;
  } cases[] = {
      {1, 96, 1},  {2, 96, 2},  {5, 96, 5},           // every pixel as it was
      {1, 192, 2}, {2, 192, 4}, {5, 192, 10},         // 200 %
      {1, 120, 1}, {2, 120, 3}, {3, 120, 4},          // 125 %: halves round up
      {1, 144, 2}, {4, 144, 6}, {1, 72, 1},           // 150 %; below 96 keeps the width
      {2, 0, 2},   {2, -96, 2}, {5, INT32_MAX, 320},  // unknown, absurd
  };
  for (const auto& c : cases)
    EXPECT_EQ(ScaledLineWidth(c.width, c.dpi), c.scaled) << c.width << " at " << c.dpi;
}

}  // namespace
