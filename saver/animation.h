// The drawing thread's two endless loops, the slideshow and the fixed fractal, written
// against a small platform interface so that they run the same in the saver and in the
// tests. Runs on the drawing thread only; changes Settings (slideshow: NumFractal,
// LineWidth, colors), CurrentString, randomState and, in the fixed mode, one startAngle.
#pragma once

#include <cstdint>

#include "render/monitor_layout.h"

class DrawingSurface;

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
  // Fills the whole drawing area with the background and shows it, before the first
  // drawing. A platform whose window needs no clearing of its own (each drawing pass
  // clears it anyway) may keep this one, which does nothing.
  virtual void ClearDrawingArea() {}
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

// Where the fixed mode stands between two drawings, for a platform that is handed one
// drawing at a time (the web page) instead of running the loop.
class FixedFractalCursor {
 public:
  // Brings CurrentString to the next generation to draw: iterFrom first, after iterTo
  // iterFrom again, rebuilt from the axiom. False, and nothing rewritten, when the range
  // of generations is empty. The first call writes the start heading Settings.Angle into
  // entry NumFractal, once, for every loop and edition of the fixed mode.
  bool Advance();
  // Rebuilds CurrentString from the axiom at the generation the last Advance brought it
  // to, for a caller that draws several figures in turn through the one CurrentString.
  // False, and nothing rewritten, before the first Advance.
  bool Rebuild() const;

 private:
  int64_t generation_ = -1;  // in CurrentString; -1 before the first drawing
  bool started_ = false;     // the start heading has been written
};

// The two loops. They return only when the platform reports a stop.
void RunSlideshow(AnimationPlatform& platform);
void RunFixedFractal(AnimationPlatform& platform);

// The start of one figure for every edition that runs the loops: sets the drawing area to
// `width` x `height`, clears it, then runs the slideshow or the fixed fractal as
// Settings.DefaultMode asks, until the platform reports a stop.
void RunAnimation(AnimationPlatform& platform, int32_t width, int32_t height);

// What the loops with a figure per drawing area need from the platform. The areas come
// from the monitors, and the figures are drawn together from one thread: a segment of
// each, then one pause for all of them.
class FiguresPlatform {
 public:
  virtual ~FiguresPlatform() = default;
  // Reads the monitors (again, after a change), clears the window for them and returns
  // the figures' areas.
  virtual FigureLayout StartLayout() = 0;
  // Pens for figure `index` in the ten colors as they are now, `width` pixels at 96 DPI
  // drawn at `dpi`; earlier pens of that figure are deleted.
  virtual void MakePens(int index, int32_t width, int32_t dpi) = 0;
  // The surface figure `index` draws on (its own pens and area) during a drawing pass.
  virtual DrawingSurface& Surface(int index) = 0;
  // Around each drawing pass of all figures.
  virtual void BeginDrawing() = 0;
  virtual void EndDrawing() = 0;
  // The pause after each round of segments, and the pause after a drawing. Both return
  // false when the drawing must stop or the monitors changed; Stopped tells which.
  virtual bool Pause(int milliseconds) = 0;
  virtual bool Wait(uint32_t milliseconds) = 0;
  virtual bool Stopped() = 0;
};

// The slideshow and the fixed fractal with a figure in each area of the layout. In the
// fixed mode every area shows the same generation; in the slideshow every area gets its
// own entry, width and palette, picked in area order after one reseed, so that a single
// area sees the picks the one-figure slideshow makes. A change of monitors starts the
// figures again in the new layout. They return only when the platform reports a stop.
void RunSlideshowFigures(FiguresPlatform& platform);
void RunFixedFigures(FiguresPlatform& platform);

// RunAnimation's counterpart for the figures of several areas, whose platform sets their
// areas and clears them as each layout starts: runs RunSlideshowFigures or RunFixedFigures
// as Settings.DefaultMode asks, until the platform reports a stop.
void RunAnimation(FiguresPlatform& platform);
