#include "render/turtle.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

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

namespace {

// The drawing area of a mapping: where the extent is stretched to, in window pixels.
struct MappingArea {
  int32_t left, top, width, height, margin;
};

int MapXIn(const Extent& fit, const MappingArea& area, double wx) {
  const int32_t span = (area.width - area.margin) - area.margin;
  return area.left + area.margin + ToPixel(std::ceil(Fraction(fit.minX, fit.maxX, wx) * span));
}

int MapYIn(const Extent& fit, const MappingArea& area, double wy) {
  const int32_t span = area.margin - (area.height - area.margin);
  return area.top + (area.height - area.margin) +
         ToPixel(std::ceil(Fraction(fit.minY, fit.maxY, wy) * span));
}

MappingArea WindowArea() { return {0, 0, clientWidth, clientHeight, margin}; }

}  // namespace

namespace {

TurtleWalk StartWalk(const char* text, size_t length, const FractalRecord& entry,
                     BranchState* stack, int capacity) {
  return {text,
          length,
          0,
          entry.startAngle,
          entry.turnAngle,
          0,
          0,
          0,
          0,
          true,
          0,
          stack,
          stack != nullptr ? capacity : 0,
          0,
          0};
}

// The measuring walk (kDrawing false) goes to the end of the string, growing `fit` by the
// end point after every symbol. The drawing walk goes up to and including the next F,
// draws it onto `surface` with the mapping of `fit` into `area` and returns true; false
// once the string is done.
template <bool kDrawing>
bool Walk(TurtleWalk& walk, Extent& fit, const MappingArea& area, DrawingSurface* surface) {
  // The measuring walk, the program's hottest loop, works on a copy that the compiler
  // keeps in registers; the drawing walk, one segment per call, on the walk itself.
  TurtleWalk copy = walk;
  TurtleWalk& w = kDrawing ? walk : copy;
  bool drew = false;
  while (w.next < w.length && !drew) {
    switch (w.text[w.next++]) {
      case '+':
        w.heading = TurnLeft(w.heading, w.turn);
        break;
      case '-':
        w.heading = TurnRight(w.heading, w.turn);
        break;
      case 'F': {
        const double angle = w.heading / 180.0 * kPiApprox;
        w.ex = std::cos(angle) * kStepLength + w.x;
        w.ey = std::sin(angle) * kStepLength + w.y;
        if (kDrawing) {
          const int toX = MapXIn(fit, area, w.ex), toY = MapYIn(fit, area, w.ey);
          const int fromX = MapXIn(fit, area, w.x), fromY = MapYIn(fit, area, w.y);
          ++w.segments;
          if (w.penUp) {
            surface->MoveTo(fromX, fromY);
            w.penUp = false;
          }
          surface->SelectPen(w.segments % kPaletteSize);
          surface->LineTo(toX, toY);
          drew = true;
        }
        w.x = w.ex;
        w.y = w.ey;
        break;
      }
      case 'b': {
        const double angle = w.heading / 180.0 * kPiApprox;
        w.x = std::cos(angle) * kStepLength + w.x;
        w.y = std::sin(angle) * kStepLength + w.y;
        w.penUp = true;
        break;
      }
      case '[':
        if (w.unsaved > 0 || w.depth >= w.capacity) {
          ++w.unsaved;
        } else {
          w.stack[w.depth] = {static_cast<float>(w.x), static_cast<float>(w.y),
                              static_cast<float>(w.heading)};
          ++w.depth;
        }
        break;
      case ']':
        if (w.unsaved > 0) {
          --w.unsaved;
        } else if (w.depth > 0) {
          --w.depth;
          BranchState& saved = w.stack[w.depth];
          w.x = saved.x;
          w.y = saved.y;
          w.heading = HeadingFromFloat(saved.heading);
          w.penUp = true;
          saved = {0, 0, 0};
        }
        break;
      default:
        break;
    }
    // Only the measuring pass grows the extent: the drawing pass walks the same string
    // and must keep one mapping for the whole figure.
    if (!kDrawing) {
      if (w.ex < fit.minX) fit.minX = w.ex;
      if (w.ex > fit.maxX) fit.maxX = w.ex;
      if (w.ey < fit.minY) fit.minY = w.ey;
      if (w.ey > fit.maxY) fit.maxY = w.ey;
    }
  }
  if (!kDrawing) walk = copy;
  return drew;
}

}  // namespace

bool Render(int pass, DrawingSurface* surface) {
  const bool drawing = pass != 0;
  if (drawing && surface == nullptr) return false;
  // Both passes must compute every point alike, whatever ran in this thread before.
  UseDoublePrecision();

  TurtleWalk walk = StartWalk(CurrentString, CurrentLength(), FractalEntry(Settings.NumFractal),
                              BranchStack, kBranchStackSize);
  const MappingArea area = WindowArea();
  if (!drawing) {
    extent = {0, 0, 0, 0};
    Walk<false>(walk, extent, area, nullptr);
    return true;
  }
  surface->Clear();
  while (Walk<true>(walk, extent, area, surface)) {
    if (!surface->Pause(kSegmentPauseMs)) return false;
  }
  return true;
}

Figure::Figure() = default;

Figure::~Figure() { std::free(stack_); }

void Figure::Measure(const char* text, size_t length, int32_t entryIndex, const FigureArea& area) {
  UseDoublePrecision();
  const FractalRecord& entry = FractalEntry(entryIndex);
  if (stack_ == nullptr)
    stack_ = static_cast<BranchState*>(std::calloc(kBranchStackSize, sizeof(BranchState)));
  walk_ = StartWalk(text, text != nullptr ? length : 0, entry, stack_, kBranchStackSize);
  // Brought into the drawing area's range, as the window's sides are, so that no pixel
  // arithmetic can overflow.
  auto side = [](int32_t value) {
    return value < 0 ? 0 : value > kMaxClientSide ? kMaxClientSide : value;
  };
  const int32_t width = side(area.width);
  const int32_t height = side(area.height);
  left_ = side(area.left);
  top_ = side(area.top);
  width_ = width;
  height_ = height;
  margin_ = width * kMarginPercent / 100;
  extent_ = {0, 0, 0, 0};
  MappingArea mapping = {left_, top_, width_, height_, margin_};
  Walk<false>(walk_, extent_, mapping, nullptr);
  hasSegment_ = text != nullptr && std::memchr(text, 'F', walk_.length) != nullptr;
  walk_ = StartWalk(text, walk_.length, entry, stack_, kBranchStackSize);
}

bool Figure::DrawNextSegment(DrawingSurface& surface) {
  MappingArea mapping = {left_, top_, width_, height_, margin_};
  return Walk<true>(walk_, extent_, mapping, &surface);
}
