// The turtle renderer: walks CurrentString twice, a measuring pass that finds the
// figure's extent and a drawing pass that draws it segment by segment onto a surface.
// Everything here is used by the drawing thread only (or by the tool and the tests).
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/monitor_layout.h"

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

// One pass over a string, walked a segment at a time: everything a pass keeps between two
// symbols.
struct TurtleWalk {
  const char* text;
  size_t length;
  size_t next;
  int32_t heading, turn;
  double x, y, ex, ey;
  bool penUp;
  int32_t segments;
  BranchState* stack;  // `capacity` entries
  int capacity;
  int depth;    // saved states in stack
  int unsaved;  // "[" met with a full stack, each closed by a "]" that restores nothing
};

// A figure of its own, for drawing several at once from one thread, a segment of each in
// turn: its string, entry, extent, drawing area, turtle and branch stack are its own, so
// it shares nothing with Render's process-wide state but the catalogue. It computes every
// point as Render does: a figure in the area 0, 0, clientWidth, clientHeight draws what
// Render draws there. Used by one thread at a time. Its branch stack comes from malloc,
// not from operator new, whose failure path would bring the whole exception machinery
// (and the thread library beneath it) into the 32-bit program; without that memory a
// figure saves no branch states, as a full stack would.
class Figure {
 public:
  Figure();
  ~Figure();
  Figure(const Figure&) = delete;
  Figure& operator=(const Figure&) = delete;

  // The measuring pass over `text` (`length` symbols, which must outlive the drawing) as
  // catalogue entry `entryIndex`, fitted into `area` with the usual margin; the drawing
  // pass then starts from the first symbol.
  void Measure(const char* text, size_t length, int32_t entryIndex, const FigureArea& area);

  // The drawing pass, one segment per call: draws the next F segment onto `surface` and
  // returns true, or returns false when no segment is left. It never clears or pauses:
  // the caller clears the figure's area first and paces the figures together.
  bool DrawNextSegment(DrawingSurface& surface);

  bool HasSegment() const { return hasSegment_; }

 private:
  TurtleWalk walk_ = {};
  BranchState* stack_ = nullptr;
  Extent extent_ = {0, 0, 0, 0};
  int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0, margin_ = 0;
  bool hasSegment_ = false;
};
