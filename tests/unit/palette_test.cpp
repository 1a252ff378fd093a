#include "render/palette.h"

#include <gtest/gtest.h>

#include <cstring>

#include "settings/settings.h"

namespace {

uint32_t Rgb(int r, int g, int b) {
  return static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b) << 16;
}

// The greys of "White gradient", whose steps are not all equal.
const int kGreys[kPaletteSize] = {100, 115, 130, 145, 160, 185, 200, 215, 230, 250};

// Each palette as its rule for colour i, written independently of the stored table.
uint32_t RuleColor(int palette, int i) {
  switch (palette) {
    case 0:
      return Rgb(30, 25 * i, 250);
    case 1:
      return Rgb(25 + 25 * i, 200, 100);
    case 2:
      return Rgb(200, 25 + 25 * i, 250 - 25 * i);
    case 3:
      return Rgb(kGreys[i], kGreys[i], kGreys[i]);
    default:
      return i < 2 ? Rgb(29, 173, 44) : Rgb(kGreys[i], kGreys[i], kGreys[i]);
  }
}

void FillColors(uint32_t value) {
  for (uint32_t& c : colors) c = value;
}

TEST(Palette, NamesInListOrder) {
  const char* expected[kPaletteCount] = {"Blue", "Autumn", "Raspberry palette", "White gradient",
                                         "New Year"};
  for (int p = 0; p < kPaletteCount; ++p) {
    EXPECT_STREQ(paletteNames[p], expected[p]);
    // Zero-padded to the end of the 20-byte field.
    for (size_t k = std::strlen(paletteNames[p]); k < sizeof paletteNames[p]; ++k)
      EXPECT_EQ(paletteNames[p][k], '\0') << p;
  }
}

TEST(Palette, LoadingEachPaletteGivesTheColoursOfItsRule) {
  for (int p = 0; p < kPaletteCount; ++p) {
    FillColors(0x123456);
    ASSERT_TRUE(ApplyPalette(p));
    for (int i = 0; i < kPaletteSize; ++i) {
      EXPECT_EQ(colors[i], RuleColor(p, i)) << "palette " << p << " colour " << i;
      EXPECT_EQ(kBuiltInPalettes[p][i], RuleColor(p, i));
      EXPECT_EQ(Settings.colors[i], colors[i]);  // one storage with the settings
    }
  }
}

TEST(Palette, KnownColourValues) {
  struct Case {
    int palette, index;
    uint32_t value;
  };
  const Case cases[] = {
      {0, 0, 0xFA001E}, {0, 9, 0xFAE11E}, {1, 0, 0x64C819}, {1, 9, 0x64C8FA},
      {2, 0, 0xFA19C8}, {2, 9, 0x19FAC8}, {3, 5, 0xB9B9B9}, {3, 9, 0xFAFAFA},
      {4, 0, 0x2CAD1D}, {4, 1, 0x2CAD1D}, {4, 2, 0x828282},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(ApplyPalette(c.palette));
    EXPECT_EQ(colors[c.index], c.value) << c.palette << "/" << c.index;
  }
}

TEST(Palette, WhiteGradientAndNewYearShareTheirGreys) {
  for (int i = 2; i < kPaletteSize; ++i) EXPECT_EQ(kBuiltInPalettes[3][i], kBuiltInPalettes[4][i]);
  EXPECT_NE(kBuiltInPalettes[3][0], kBuiltInPalettes[4][0]);
}

TEST(Palette, AnIndexOutsideTheFiveChangesNothing) {
  for (int32_t index : {5, 7, -1, INT32_MIN, INT32_MAX}) {
    ASSERT_TRUE(ApplyPalette(2));
    EXPECT_FALSE(ApplyPalette(index)) << index;
    for (int i = 0; i < kPaletteSize; ++i) EXPECT_EQ(colors[i], kBuiltInPalettes[2][i]) << index;
  }
}

}  // namespace
