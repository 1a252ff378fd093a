// One figure growing at the saver's pace for an edition that is woken by frames instead of
// running the drawing thread's loops: the web page and the Wayland client. The drawing
// pass's operations are recorded once; the pace says how many segments are due by each
// frame's time, and each surface the figure is shown on is brought there by drawing the
// recorded segments it lacks (the web page has one surface, a Wayland output one per
// buffer). The pause after the figure asks for no frame at all. Time is the caller's clock
// in milliseconds. Start and Refit read CurrentString, the drawing area, the background
// and the pens (Settings.LineWidth, colors) as they are then; used by one thread only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "render/palette.h"
#include "render/pixel_surface.h"
#include "render/turtle.h"
#include "saver/animation.h"

// The platform of the slideshow's picks for a paced edition: the picks only load the
// palette, as its pens are the pixel surface's, and the caller's frames draw and wait.
class PacedPlatform : public AnimationPlatform {
 public:
  void RebuildPens(int32_t palette) override;
  bool Draw() override { return false; }
  bool Wait(uint32_t) override { return false; }
};

// The next drawing of the loop the settings ask for, into CurrentString: a slideshow pick
// (whose pens `platform` makes), or the fixed mode's next generation from `cursor`. False,
// with nothing to draw, when the fixed mode's range of generations is empty.
bool PrepareNextDrawing(AnimationPlatform& platform, FixedFractalCursor& cursor);

class PacedDrawing {
 public:
  enum class Phase { kDrawing, kPausing, kNothingToDraw };

  // How much of the figure one surface holds, for DrawUpTo: each surface has its own, and a
  // new one holds nothing.
  struct Held {
    int64_t recording = -1;  // the recording it was drawn from; another one means cleared
    size_t nextOp = 0;       // the next operation of that recording to draw
    int64_t segments = 0;    // the segments drawn
  };

  // What Frame asks of the caller besides a time to call again at.
  static constexpr double kNextFrame = -1;      // call again on the next frame
  static constexpr double kNewDrawingDue = -2;  // start the next drawing, then call again

  // A gap between two frames of a growing figure longer than this is taken as a pause of
  // the page or of the whole machine (a sleep, a host that stops the renderer without a
  // word): the figure goes on from where it stood instead of drawing all that fell due.
  static constexpr double kLongGapMs = 250;

  // Records CurrentString's drawing pass at the drawing area and starts growing the
  // figure from `now`, with the pause after it that the settings ask for; with `surface`,
  // clears that surface (one of its own) too.
  void Start(double now);
  void Start(double now, PixelSurface& surface);
  // Nothing to draw (an empty range of generations): looks again kIdleWaitMs after `now`.
  void StartIdle(double now);

  // Takes every segment due by `now` as shown (shownSegments()). Returns kNextFrame while
  // the figure grows, kNewDrawingDue once its pause is over, else the time at which the
  // pause ends.
  double Advance(double now);
  // Advance, and draws onto `surface` (one of its own) every segment due.
  double Frame(double now, PixelSurface& surface);

  // Frames come at most every `milliseconds` (a frame-rate cap; 0 for none). The segments
  // due are drawn in each frame as ever, so the figure grows at its pace; only a gap this
  // much longer than kLongGapMs counts as a pause.
  void SetFrameInterval(double milliseconds);

  // Each figure shown whole at its first frame, with no growth, and kept for its pause
  // (at least kStillFigureMs), for a viewer who asks for reduced motion. Set during a
  // growing figure, the rest of it shows at the next frame.
  void SetWhole(bool whole) { whole_ = whole; }

  // How long a figure shown whole stays at the least, so that a pause of 0 does not
  // change the picture at every frame.
  static constexpr double kStillFigureMs = 1000;

  // Brings `surface` to the figure's first `segments` segments (at most the whole figure;
  // figureSegments() draws it whole at once), from where `held` says it stands: only the
  // recorded segments it lacks, or, when it holds another figure or another fit of this
  // one, cleared to the figure's background and drawn from the first segment. Drawing
  // never goes back: a surface that holds more segments keeps them.
  void DrawUpTo(PixelSurface& surface, Held& held, int64_t segments) const;
  // Whether a surface drawn as `held` says shows the figure's first `segments` segments.
  bool Holds(const Held& held, int64_t segments) const {
    return held.recording == recording_ && held.segments >= std::min(segments, figureSegments_);
  }

  // CurrentString, which must still hold this figure, recorded again at the drawing area
  // (after a resize), as far as it had grown; with `surface`, that one (of its own) is
  // drawn again at once.
  void Refit();
  void Refit(PixelSurface& surface);

  // The caller's frames stop (a hidden page or output) and start again: the time between
  // is left out of the figure's pace, and frames that arrive meanwhile draw nothing.
  void Suspend(double now);
  void Resume(double now);
  bool suspended() const { return suspendedAt_ >= 0; }

  Phase phase() const { return phase_; }
  int64_t figureSegments() const { return figureSegments_; }
  int64_t shownSegments() const { return shownSegments_; }
  int64_t segmentsEver() const { return segmentsEver_; }
  int64_t drawings() const { return drawings_; }
  double drawingStart() const { return drawingStart_; }
  double lastFrame() const { return lastFrame_; }

 private:
  // One operation of the drawing pass.
  struct Operation {
    enum Kind : uint8_t { kMove, kPen, kLine } kind;
    int32_t a, b;
  };
  class Recorder;

  void Record();
  void UsePens() const;
  void Shift(double milliseconds);

  std::vector<Operation> ops_;
  int64_t recording_ = 0;  // counts the recordings: a Held of an older one is stale
  Held own_;               // the surface handed to Start, Frame and Refit
  int64_t figureSegments_ = 0, shownSegments_ = 0, segmentsEver_ = 0, drawings_ = 0;
  Phase phase_ = Phase::kNothingToDraw;
  double drawingStart_ = 0, drawingEnd_ = 0, pauseEnd_ = 0, lastFrame_ = 0;
  double suspendedAt_ = -1;
  uint32_t pauseMs_ = 0;
  double frameIntervalMs_ = 0;
  bool whole_ = false;
  // The pens the figure was picked with: other figures of the process may change the
  // process-wide ones between two of its frames.
  int32_t lineWidth_ = 1;
  uint32_t colors_[kPaletteSize] = {};
  uint32_t background_ = 0;
};
