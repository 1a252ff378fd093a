// What the configuration dialog shows: its value labels, the ordered iteration range and
// the clamping of stored values before the dialog indexes anything with them.
#include "ui/dialog_values.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/catalogue.h"

namespace {

TEST(DialogValues, PauseLabelShowsSecondsWithThePointKept) {
  const struct {
    int32_t tenths;
    const char* text;
  } cases[] = {
      {0, "0."},
      {1, "0.1"},
      {5, "0.5"},
      {9, "0.9"},
      {10, "1."},
      {11, "1.1"},
      {15, "1.5"},
      {20, "2."},
      {25, "2.5"},
      {49, "4.9"},
      {50, "5."},
      // Beyond the track bar's ends the label shows the nearer end.
      {-1, "0."},
      {-2147483647 - 1, "0."},
      {51, "5."},
      {2147483647, "5."},
  };
  for (const auto& c : cases) {
    char text[kValueTextSize];
    std::memset(text, 'x', sizeof text);
    PauseText(c.tenths, text);
    EXPECT_STREQ(text, c.text) << "tenths " << c.tenths;
  }
}

TEST(DialogValues, NumbersAreShownInPlainDecimal) {
  const struct {
    int32_t value;
    const char* text;
  } cases[] = {
      {0, "0"},
      {1, "1"},
      {2, "2"},
      {5, "5"},
      {90, "90"},
      {360, "360"},
      {-7, "-7"},
      {2147483647, "2147483647"},
      {-2147483647 - 1, "-2147483648"},
  };
  for (const auto& c : cases) {
    char text[kValueTextSize];
    DecimalText(c.value, text);
    EXPECT_STREQ(text, c.text);
  }
}

TEST(DialogValues, MovingOneEndOfTheRangePastTheOtherDragsItAlong) {
  const struct {
    bool fromList;  // which list the user changed
    int32_t from, to;
    int32_t wantFrom, wantTo;
  } cases[] = {
      {true, 4, 2, 4, 4},                        // from "5" while to shows "3": to jumps to "5"
      {true, 1, 3, 1, 3},                        // from stays below to: nothing else moves
      {true, 3, 3, 3, 3},  {true, 2, -1, 2, 2},  // to list without a selection takes the new from
      {false, 3, 1, 1, 1},                       // to "2" while from shows "4": from jumps to "2"
      {false, 0, 4, 0, 4}, {false, 2, 2, 2, 2},
  };
  for (const auto& c : cases) {
    const IterationRange range =
        c.fromList ? RangeAfterFromChoice(c.from, c.to) : RangeAfterToChoice(c.from, c.to);
    EXPECT_EQ(range.from, c.wantFrom) << c.fromList << " " << c.from << " " << c.to;
    EXPECT_EQ(range.to, c.wantTo) << c.fromList << " " << c.from << " " << c.to;
  }
}

SettingsRecord InRange() {
  SettingsRecord s = {};
  s.NumFractal = 4;
  s.DefaultMode = 1;
  s.CurPalette = 2;
  s.TimeOut = 37;
  s.LineWidth = 3;
  s.iterFrom = 2;
  s.iterTo = 9;
  s.Angle = 275;
  s.Background = 0x123456;
  for (int i = 0; i < 10; ++i) s.colors[i] = 0x010101u * static_cast<uint32_t>(i);
  return s;
}

TEST(DialogValues, ValuesInRangeAreShownAsLoaded) {
  const SettingsRecord loaded = InRange();
  SettingsRecord s = loaded;
  ClampForDialog(s);
  EXPECT_EQ(std::memcmp(&s, &loaded, sizeof s), 0);

  // Each end of every range is kept too.
  for (int32_t entry : {0, kFractalCount - 1}) {
    SettingsRecord edge = InRange();
    edge.NumFractal = entry;
    edge.iterFrom = 0;
    edge.iterTo = FractalCatalogue[entry].maxIter - 1;
    edge.TimeOut = entry == 0 ? 0 : 50;
    edge.LineWidth = entry == 0 ? 1 : 5;
    edge.Angle = entry == 0 ? 0 : 360;
    edge.CurPalette = entry == 0 ? 0 : 4;
    SettingsRecord copy = edge;
    ClampForDialog(copy);
    EXPECT_EQ(std::memcmp(&copy, &edge, sizeof copy), 0) << entry;
  }
}

TEST(DialogValues, ValuesOutOfRangeAreBroughtToTheNearerEnd) {
  const struct {
    const char* what;
    void (*spoil)(SettingsRecord&);
    void (*expect)(const SettingsRecord&);
  } cases[] = {
      {"fractal far above", [](SettingsRecord& s) { s.NumFractal = 1000000; },
       [](const SettingsRecord& s) {
         EXPECT_EQ(s.NumFractal, kFractalCount - 1);
         // Entry 15 offers 6 generations: the stored 2 .. 9 becomes 2 .. 5.
         EXPECT_EQ(s.iterTo, FractalCatalogue[kFractalCount - 1].maxIter - 1);
         EXPECT_EQ(s.iterFrom, 2);
       }},
      {"fractal negative", [](SettingsRecord& s) { s.NumFractal = -3; },
       [](const SettingsRecord& s) {
         EXPECT_EQ(s.NumFractal, 0);
         EXPECT_EQ(s.iterTo, FractalCatalogue[0].maxIter - 1);
       }},
      {"range reversed",
       [](SettingsRecord& s) {
         s.iterFrom = 7;
         s.iterTo = 3;
       },
       [](const SettingsRecord& s) {
         EXPECT_EQ(s.iterFrom, 3);
         EXPECT_EQ(s.iterTo, 3);
       }},
      {"range negative",
       [](SettingsRecord& s) {
         s.iterFrom = -5;
         s.iterTo = -1;
       },
       [](const SettingsRecord& s) {
         EXPECT_EQ(s.iterFrom, 0);
         EXPECT_EQ(s.iterTo, 0);
       }},
      {"pause, width, angle, palette above",
       [](SettingsRecord& s) {
         s.TimeOut = 51;
         s.LineWidth = 6;
         s.Angle = 361;
         s.CurPalette = 5;
       },
       [](const SettingsRecord& s) {
         EXPECT_EQ(s.TimeOut, 50);
         EXPECT_EQ(s.LineWidth, 5);
         EXPECT_EQ(s.Angle, 360);
         EXPECT_EQ(s.CurPalette, 4);
       }},
      {"pause, width, angle, palette below",
       [](SettingsRecord& s) {
         s.TimeOut = -1;
         s.LineWidth = 0;
         s.Angle = -90;
         s.CurPalette = -1;
       },
       [](const SettingsRecord& s) {
         EXPECT_EQ(s.TimeOut, 0);
         EXPECT_EQ(s.LineWidth, 1);
         EXPECT_EQ(s.Angle, 0);
         EXPECT_EQ(s.CurPalette, 0);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SettingsRecord s = InRange();
    c.spoil(s);
    ClampForDialog(s);
    c.expect(s);
    // Colours and mode are never touched.
    EXPECT_EQ(s.Background, 0x123456u);
    EXPECT_EQ(s.DefaultMode, 1);
    EXPECT_EQ(s.colors[9], 0x090909u);
  }
}

}  // namespace
