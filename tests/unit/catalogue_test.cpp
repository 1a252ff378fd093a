#include "core/catalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(Catalogue, TitlesAndCountsAreTheBuiltInOnes) {
  struct Row {
    const char* title;
    int reserved1, reserved2, slideIter, maxIter, startAngle, turnAngle;
  };
  const Row rows[kFractalCount] = {
      {"Chain", 2, 4, 4, 5, 30, 90},
      {"Exercise 2.2", 0, 1, 6, 7, 0, 90},
      {"Flower", 0, 1, 3, 4, 90, 11},
      {"Gosper curve", 0, 1, 5, 6, 0, 60},
      {"Harter-Heighway Dragon", 0, 1, 13, 16, 0, 90},
      {"Hilbert curve", 0, 1, 7, 8, 0, 90},
      {"Island", 1, 1, 4, 5, 0, 90},
      {"Koch snowflake", 1, 1, 6, 6, 20, 60},
      {"Mosaic", 1, 1, 3, 4, 0, 90},
      {"Mosaic-2", 1, 1, 3, 4, 0, 90},
      {"Peano curve", 1, 1, 3, 5, 45, 90},
      {"Serpinsky curve", 1, 1, 4, 6, 45, 90},
      {"Serpinsky gasket", 1, 3, 6, 8, 15, 60},
      {"Shrub", 1, 1, 5, 5, 90, 22},
      {"Snowflake", 0, 1, 4, 4, 10, 60},
      {"Weed", 0, 1, 3, 6, 90, 25},
  };
  for (int i = 0; i < kFractalCount; ++i) {
    SCOPED_TRACE(i);
    const FractalRecord& e = FractalCatalogue[i];
    EXPECT_STREQ(e.title, rows[i].title);
    EXPECT_EQ(e.reserved1, rows[i].reserved1);
    EXPECT_EQ(e.reserved2, rows[i].reserved2);
    EXPECT_EQ(e.slideIter, rows[i].slideIter);
    EXPECT_EQ(e.maxIter, rows[i].maxIter);
    EXPECT_EQ(e.startAngle, rows[i].startAngle);
    EXPECT_EQ(e.turnAngle, rows[i].turnAngle);
  }
}

TEST(Catalogue, TitlesAreInAlphabeticalOrder) {
  for (int i = 1; i < kFractalCount; ++i)
    EXPECT_LT(std::strcmp(FractalCatalogue[i - 1].title, FractalCatalogue[i].title), 0) << i;
}

TEST(Catalogue, RulesUseOnlyTheAlphabetAndAreBalanced) {
  for (const FractalRecord& e : FractalCatalogue) {
    for (const char* text : {e.axiom, e.ruleF, e.ruleX, e.ruleY, e.ruleB}) {
      SCOPED_TRACE(std::string(e.title) + ": " + text);
      EXPECT_LT(std::strlen(text), 40u);
      int depth = 0;
      for (const char* p = text; *p; ++p) {
        EXPECT_NE(std::strchr("FbXY+-[]", *p), nullptr);
        depth += *p == '[' ? 1 : *p == ']' ? -1 : 0;
        EXPECT_GE(depth, 0);
      }
      EXPECT_EQ(depth, 0);
    }
  }
}

TEST(Catalogue, StartAngleIsTheOnlyWriteAndBadIndexesAreIgnored) {
  SetStartAngle(13, 0);
  EXPECT_EQ(FractalCatalogue[13].startAngle, 0);
  EXPECT_STREQ(FractalCatalogue[13].axiom, "F");
  SetStartAngle(-1, 7);
  SetStartAngle(kFractalCount, 7);
  for (int i = 0; i < kFractalCount; ++i) EXPECT_NE(FractalCatalogue[i].startAngle, 7);
  ResetCatalogue();
  EXPECT_EQ(FractalCatalogue[13].startAngle, 90);
}

TEST(Catalogue, EntryLookupNeverLeavesTheCatalogue) {
  EXPECT_EQ(&FractalEntry(-5), &FractalCatalogue[0]);
  EXPECT_EQ(&FractalEntry(4), &FractalCatalogue[4]);
  EXPECT_EQ(&FractalEntry(1000), &FractalCatalogue[kFractalCount - 1]);
}

}  // namespace
