#include "core/rewrite.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/catalogue.h"
#include "settings/settings.h"

namespace {

// Builds generation `generation` of `entry` from an empty string.
std::string Generation(int entry, int generation) {
  Settings.NumFractal = entry;
  ResetCurrentString();
  for (int i = 0; i <= generation; ++i) EXPECT_TRUE(Rewrite());
  return CurrentString;
}

TEST(Rewrite, StepsFromTheAxiom) {
  struct Case {
    int entry, calls;
    const char* expected;
  };
  const Case cases[] = {
      {13, 1, "F"},
      {13, 2, "-F+F+[+F-F-]-[-F+F+F]"},
      {4, 3, "FX+YF++-FX-YF+"},
      {5, 1, "X"},
      {5, 2, "-YF+XFX+FY-"},
      {7, 2, "F-F++F-F++F-F++F-F++F-F++F-F"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(Generation(c.entry, c.calls - 1), c.expected);
  }
}

TEST(Rewrite, DropsBytesOutsideTheAlphabet) {
  Settings.NumFractal = 15;
  std::strcpy(CurrentString, "FZ");
  ASSERT_TRUE(Rewrite());
  EXPECT_STREQ(CurrentString, "F[+F]F[-F]F");

  std::strcpy(CurrentString, "B\x80\x01" "Fb");  // B is not b; bytes above 127 are dropped too
  Settings.NumFractal = 0;
  ASSERT_TRUE(Rewrite());
  EXPECT_STREQ(CurrentString, "F+b-F-FFF+F+b-Fbbb");
}

TEST(Rewrite, LengthsOfTheLastOfferedAndSlideshowGenerations) {
  struct Case {
    int entry, generation;
    size_t length;
  };
  const Case cases[] = {
      {0, 4, 23847},  {3, 5, 56022},  {4, 15, 131070}, {5, 7, 54611},  {6, 4, 45927},
      {8, 3, 31219},  {4, 12, 16382}, {5, 6, 13651},   {13, 4, 8001},  {14, 3, 14675},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    EXPECT_EQ(Generation(c.entry, c.generation).size(), c.length);
    EXPECT_EQ(CurrentLength(), c.length);
  }
}

TEST(Rewrite, LooksTheEntryUpAtEveryCall) {
  Settings.NumFractal = 13;
  ResetCurrentString();
  Rewrite();
  Settings.NumFractal = 15;  // F now follows the rule of "Weed"
  Rewrite();
  EXPECT_STREQ(CurrentString, "F[+F]F[-F]F");
}

TEST(Rewrite, AStepThatWouldNotFitKeepsThePreviousGeneration) {
  // The first generation past the capacity, per entry.
  struct Case {
    int entry, firstTooLong;
  };
  const Case cases[] = {{8, 5},  {9, 5},  {14, 5}, {0, 6},  {2, 6},  {6, 6},
                        {10, 6}, {3, 7},  {13, 7}, {7, 9},  {11, 9}, {15, 9},
                        {1, 10}, {5, 10}, {12, 11}, {4, 18}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    const std::string last = Generation(c.entry, c.firstTooLong - 1);
    EXPECT_LT(last.size(), kStringCapacity);
    EXPECT_FALSE(Rewrite());
    EXPECT_EQ(CurrentString, last);
    EXPECT_FALSE(Rewrite());  // and it stays there
    EXPECT_EQ(CurrentLength(), last.size());
  }
}

TEST(Rewrite, AGenerationFillsTheBufferToTheLastByteButNoFurther) {
  // "Weed": each turn copies itself and the closing F becomes 11 symbols, so the step
  // reaches the end of the buffer only with its very last production.
  struct Case {
    size_t turns;
    bool fits;
  };
  const Case cases[] = {
      {kStringCapacity - 12, true},   // 999,999 symbols and the terminator: exactly full
      {kStringCapacity - 11, false},  // 1,000,000 symbols: one byte past
  };
  Settings.NumFractal = 15;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.turns);
    std::memset(CurrentString, '+', c.turns);
    std::strcpy(CurrentString + c.turns, "F");
    EXPECT_EQ(Rewrite(), c.fits);
    if (c.fits) {
      EXPECT_EQ(CurrentLength(), kStringCapacity - 1);
      EXPECT_STREQ(CurrentString + c.turns, "F[+F]F[-F]F");
    } else {  // the previous generation, as it was
      EXPECT_EQ(CurrentLength(), c.turns + 1);
      EXPECT_STREQ(CurrentString + c.turns, "F");
    }
    EXPECT_EQ(CurrentString[c.turns - 1], '+');
  }
}

TEST(Rewrite, ResetStartsAgainFromTheAxiom) {
  Generation(6, 3);
  ResetCurrentString();
  EXPECT_EQ(CurrentLength(), 0u);
  Rewrite();
  EXPECT_STREQ(CurrentString, "F+F+F+F");
}

}  // namespace
