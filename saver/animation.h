// The drawing thread's two endless loops, the slideshow and the fixed fractal, written
// against a small platform interface so that they run the same in the saver and in the
// tests. Runs on the drawing thread only; changes Settings (slideshow: NumFractal,
// LineWidth, colors), CurrentString, randomState and, in the fixed mode, one startAngle.
#pragma once

#include <cstdint>

// What the loops need from the platform. Every call that can wait returns false once
// the drawing has been asked to stop; the loops then return at once.
class AnimationPlatform {
 public:
  virtual ~AnimationPlatform() = default;
  // Deletes the pens, loads built-in palette `palette` into colors and makes ten new pens
  // of width Settings.LineWidth.
  virtual void RebuildPens(int32_t palette) = 0;
  // The measuring pass and then the drawing pass over CurrentString.
  virtual bool Draw() = 0;
  virtual bool Wait(uint32_t milliseconds) = 0;
};

// How long the fixed mode waits between two looks at the stop request when its range of
// generations is empty and there is nothing to draw.
constexpr uint32_t kIdleWaitMs = 1000;

// The shortest pause after a drawing of CurrentString that holds no segment at all.
constexpr uint32_t kEmptyFigurePauseMs = 100;

// The pause after the drawing of CurrentString: TimeOut tenths of a second (a negative
// TimeOut counts as 0), but at least kEmptyFigurePauseMs when nothing was drawn.
uint32_t PauseAfterDrawingMs();

// The start of a slideshow cycle, up to its drawing: reseed, pick an entry (0..14), a line
// width (1..4) and a palette (0..3), rebuild the pens and rewrite slideIter times from an
// empty CurrentString.
void PrepareSlideshowDrawing(AnimationPlatform& platform);

// One slideshow cycle: PrepareSlideshowDrawing, draw, pause, empty the string.
bool RunSlideshowCycle(AnimationPlatform& platform);

// Where the fixed mode stands between two drawings, for a platform that is handed one
// drawing at a time (the web page) instead of running the loop.
class FixedFractalCursor {
 public:
  // Brings CurrentString to the next generation to draw: iterFrom first, after iterTo
  // iterFrom again, rebuilt from the axiom. False, and nothing rewritten, when the range
  // of generations is empty.
  bool Advance();

 private:
  int64_t generation_ = -1;  // in CurrentString; -1 before the first drawing
};

// The two loops. They return only when the platform reports a stop.
void RunSlideshow(AnimationPlatform& platform);
void RunFixedFractal(AnimationPlatform& platform);
