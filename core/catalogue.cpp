#include "core/catalogue.h"

namespace {

// Stored in alphabetical order of title; the dialog lists them in this order.
constexpr FractalRecord kBuiltIn[kFractalCount] = {
    {2, 4, 4, 5, "Chain", 30, 90, "F+F+F+F", "F+b-F-FFF+F+b-F", "", "", "bbb"},
    {0, 1, 6, 7, "Exercise 2.2", 0, 90, "F", "FF-[F]+[F]", "", "", ""},
    {0, 1, 3, 4, "Flower", 90, 11, "F[+F+F][-F-F][++F][--F]F", "FF[++F][+F][F][-F][--F]", "", "", ""},
    {0, 1, 5, 6, "Gosper curve", 0, 60, "XF", "F", "X+YF++YF-FX--FXFX-YF+", "-FX+YFYF++YF+FX--FX-Y", ""},
    {0, 1, 13, 16, "Harter-Heighway Dragon", 0, 90, "FX", "F", "X+YF+", "-FX-Y", ""},
    {0, 1, 7, 8, "Hilbert curve", 0, 90, "X", "F", "-YF+XFX+FY-", "+XF-YFY-FX+", ""},
    {1, 1, 4, 5, "Island", 0, 90, "F+F+F+F", "F+F-F-FFF+F+F-F", "", "", ""},
    {1, 1, 6, 6, "Koch snowflake", 20, 60, "F++F++F", "F-F++F-F", "", "", ""},
    {1, 1, 3, 4, "Mosaic", 0, 90, "F-F-F-F", "FF-bb+F-F-F-Fbb-F+bb-F+F+F+Fbb+FFF", "", "", "bbbbbb"},
    {1, 1, 3, 4, "Mosaic-2", 0, 90, "F-F-F-F", "F-b+F-F-F-Fb-F+b-F+F+F+Fb+FF", "", "", "bbbb"},
    {1, 1, 3, 5, "Peano curve", 45, 90, "F", "F-F+F+F+F-F-F-F+F", "", "", ""},
    {1, 1, 4, 6, "Serpinsky curve", 45, 90, "F+XF+F+XF", "F", "XF-F+F-XF+F+XF-F+F-X", "", ""},
    {1, 3, 6, 8, "Serpinsky gasket", 15, 60, "FXF--FF--FF", "FF", "--FXF++FXF++FXF--", "", ""},
    {1, 1, 5, 5, "Shrub", 90, 22, "F", "-F+F+[+F-F-]-[-F+F+F]", "", "", ""},
    {0, 1, 4, 4, "Snowflake", 10, 60, "[F]+[F]+[F]+[F]+[F]+[F]", "F[++F][-FF]FF[+F][-F]FF", "", "", ""},
    {0, 1, 3, 6, "Weed", 90, 25, "F", "F[+F]F[-F]F", "", "", ""},
};

FractalRecord catalogue[kFractalCount] = {
    kBuiltIn[0],  kBuiltIn[1],  kBuiltIn[2],  kBuiltIn[3],  kBuiltIn[4],  kBuiltIn[5],
    kBuiltIn[6],  kBuiltIn[7],  kBuiltIn[8],  kBuiltIn[9],  kBuiltIn[10], kBuiltIn[11],
    kBuiltIn[12], kBuiltIn[13], kBuiltIn[14], kBuiltIn[15],
};

}  // namespace

const FractalRecord (&FractalCatalogue)[kFractalCount] = catalogue;

void SetStartAngle(int index, int32_t angle) {
  if (index >= 0 && index < kFractalCount) catalogue[index].startAngle = angle;
}

const FractalRecord& FractalEntry(int32_t index) {
  if (index < 0) index = 0;
  if (index >= kFractalCount) index = kFractalCount - 1;
  return catalogue[index];
}

void ResetCatalogue() {
  for (int i = 0; i < kFractalCount; ++i) catalogue[i] = kBuiltIn[i];
}
