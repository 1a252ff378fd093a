#include "render/turtle.h"

#include <cmath>
#include <cstddef>

#include "core/catalogue.h"
#include "core/float_precision.h"
#include "core/rewrite.h"
#include "render/palette.h"
#include "settings/settings.h"

Extent extent;
BranchState BranchStack[kBranchStackSize];

int32_t clientWidth;
int32_t clientHeight;
int32_t margin;

namespace {

constexpr int kStepLength = 1;

// Not pi: every figure, and the exact pixels the saver has always drawn, depend on this
// value (a heading of 90 leans slightly to the right, a square does not quite close).
constexpr double kPiApprox = 3.1415;

// Far beyond any screen, yet small enough that adding a client size cannot overflow.
constexpr double kPixelLimit = 1 << 30;
static_assert(kPixelLimit + 2.0 * kMaxClientSide < 2147483647.0, "pixel sums must fit");

// A ceiling that is always a valid int, whatever the double was.
int ToPixel(double value) {
  if (std::isnan(value)) return 0;
  if (value < -kPixelLimit) return -static_cast<int>(kPixelLimit);
  if (value > kPixelLimit) return static_cast<int>(kPixelLimit);
  return static_cast<int>(value);
}

// Where a world coordinate lies between lo and hi, as a fraction from lo. An axis
// without span (all end points share one coordinate) puts everything on its centre.
double Fraction(double lo, double hi, double w) {
  if (lo == hi) return 0.5;
  return (lo - w) / (lo - hi);
}

// Saved headings come back from single precision: keep the conversion inside int32_t.
int32_t HeadingFromFloat(float value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0f) return INT32_MAX;
  if (value <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// Headings are never reduced modulo 360. Turning in unsigned arithmetic wraps instead of
// overflowing, which only an absurd start heading could ever need.
int32_t TurnLeft(int32_t heading, int32_t turn) {
  return static_cast<int32_t>(static_cast<uint32_t>(heading) + static_cast<uint32_t>(turn));
}
int32_t TurnRight(int32_t heading, int32_t turn) {
  return static_cast<int32_t>(static_cast<uint32_t>(heading) - static_cast<uint32_t>(turn));
}

}  // namespace

void SetDrawingArea(int32_t width, int32_t height) {
  auto clamp = [](int32_t side) {
    return side < 0 ? 0 : side > kMaxClientSide ? kMaxClientSide : side;
  };
  clientWidth = clamp(width);
  clientHeight = clamp(height);
  margin = clientWidth * kMarginPercent / 100;
}

int MapX(double wx) {
  const int32_t span = (clientWidth - margin) - margin;
  return margin + ToPixel(std::ceil(Fraction(extent.minX, extent.maxX, wx) * span));
}

int MapY(double wy) {
  const int32_t span = margin - (clientHeight - margin);
  return (clientHeight - margin) +
         ToPixel(std::ceil(Fraction(extent.minY, extent.maxY, wy) * span));
}

bool Render(int pass, DrawingSurface* surface) {
  const bool drawing = pass != 0;
  if (drawing && surface == nullptr) return false;
  // Both passes must compute every point alike, whatever ran in this thread before.
  UseDoublePrecision();

  const FractalRecord& entry = FractalEntry(Settings.NumFractal);
  int32_t heading = entry.startAngle;
  const int32_t turn = entry.turnAngle;
  double x = 0, y = 0, ex = 0, ey = 0;
  bool penUp = true;
  int32_t segments = 0;
  int depth = 0;    // saved states in BranchStack
  int unsaved = 0;  // "[" met with a full stack, each closed by a "]" that restores nothing
  const size_t n = CurrentLength();

  if (drawing) {
    surface->Clear();
  } else {
    extent = {0, 0, 0, 0};
  }

  for (size_t i = 0; i < n; ++i) {
    switch (CurrentString[i]) {
      case '+':
        heading = TurnLeft(heading, turn);
        break;
      case '-':
        heading = TurnRight(heading, turn);
        break;
      case 'F': {
        const double angle = heading / 180.0 * kPiApprox;
        ex = std::cos(angle) * kStepLength + x;
        ey = std::sin(angle) * kStepLength + y;
        if (drawing) {
          const int toX = MapX(ex), toY = MapY(ey);
          const int fromX = MapX(x), fromY = MapY(y);
          ++segments;
          if (penUp) {
            surface->MoveTo(fromX, fromY);
            penUp = false;
          }
          surface->SelectPen(segments % kPaletteSize);
          surface->LineTo(toX, toY);
          if (!surface->Pause(kSegmentPauseMs)) return false;
        }
        x = ex;
        y = ey;
        break;
      }
      case 'b': {
        const double angle = heading / 180.0 * kPiApprox;
        x = std::cos(angle) * kStepLength + x;
        y = std::sin(angle) * kStepLength + y;
        penUp = true;
        break;
      }
      case '[':
        if (unsaved > 0 || depth == kBranchStackSize) {
          ++unsaved;
        } else {
          BranchStack[depth] = {static_cast<float>(x), static_cast<float>(y),
                                static_cast<float>(heading)};
          ++depth;
        }
        break;
      case ']':
        if (unsaved > 0) {
          --unsaved;
        } else if (depth > 0) {
          --depth;
          BranchState& saved = BranchStack[depth];
          x = saved.x;
          y = saved.y;
          heading = HeadingFromFloat(saved.heading);
          penUp = true;
          saved = {0, 0, 0};
        }
        break;
      default:
        break;
    }
    // Only the measuring pass grows the extent: the drawing pass walks the same string
    // and must keep one mapping for the whole figure.
    if (!drawing) {
      if (ex < extent.minX) extent.minX = ex;
      if (ex > extent.maxX) extent.maxX = ex;
      if (ey < extent.minY) extent.minY = ey;
      if (ey > extent.maxY) extent.maxY = ey;
    }
  }
  return true;
}
