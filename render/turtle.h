// The turtle renderer: walks CurrentString twice, a measuring pass that finds the
// figure's extent and a drawing pass that draws it segment by segment onto a surface.
// Everything here is used by the drawing thread only (or by the tool and the tests).
#pragma once

#include <cstdint>

// Where the drawing pass sends its operations: GDI in the saver, a recorder in the
// tests, an image in the tool.
class DrawingSurface {
 public:
  virtual ~DrawingSurface() = default;
  virtual void Clear() = 0;  // fills the whole client area with the background
  virtual void MoveTo(int x, int y) = 0;
  virtual void SelectPen(int pen) = 0;  // 0 .. 9
  virtual void LineTo(int x, int y) = 0;
  // Waits after a segment. Returns false when the drawing must stop at once. A pause
  // that lets other code run in this thread (a message call) sets UseDoublePrecision
  // again before it returns.
  virtual bool Pause(int milliseconds) = 0;
};

struct Extent {
  double minX, maxX, minY, maxY;
};

struct BranchState {
  float x, y, heading;
};

constexpr int kBranchStackSize = 10000;
constexpr int kSegmentPauseMs = 5;
constexpr int kMarginPercent = 6;

extern Extent extent;                              // set by the measuring pass
extern BranchState BranchStack[kBranchStackSize];  // saved states, "[" .. "]"

// The saver window's client size and the blank border kept on all four sides, written
// once by the drawing thread when it starts (SetDrawingArea), read by every drawing pass.
extern int32_t clientWidth;
extern int32_t clientHeight;
extern int32_t margin;

// Sets clientWidth, clientHeight and margin = width * kMarginPercent / 100. Sides are
// brought into 0 .. kMaxClientSide, so that no pixel arithmetic can overflow.
constexpr int32_t kMaxClientSide = 1 << 20;
void SetDrawingArea(int32_t width, int32_t height);

// Pass 0 measures (the surface is not used and may be null); any other pass draws onto
// the surface, starting with a Clear, using the extent the last measuring pass found.
// Each pass first sets the thread's floating-point state (UseDoublePrecision).
// Returns false when the surface asked the drawing to stop (or a drawing pass has no
// surface), true otherwise.
bool Render(int pass, DrawingSurface* surface);

// The mapping of world points to the drawing area, using the current extent.
int MapX(double wx);
int MapY(double wy);
