#include "saver/paced_drawing.h"

#include <algorithm>
#include <iterator>

#include "render/palette.h"
#include "settings/settings.h"

void PacedPlatform::RebuildPens(int32_t palette) { ApplyPalette(palette); }

bool PrepareNextDrawing(AnimationPlatform& platform, FixedFractalCursor& cursor) {
  if (Settings.DefaultMode != 0) {
    PrepareSlideshowDrawing(platform);
    return true;
  }
  return cursor.Advance();
}

class PacedDrawing::Recorder : public DrawingSurface {
 public:
  explicit Recorder(std::vector<Operation>& ops) : ops_(ops) {}
  void Clear() override {}
  void MoveTo(int x, int y) override { ops_.push_back({Operation::kMove, x, y}); }
  void SelectPen(int pen) override { ops_.push_back({Operation::kPen, pen, 0}); }
  void LineTo(int x, int y) override { ops_.push_back({Operation::kLine, x, y}); }
  bool Pause(int) override { return true; }

 private:
  std::vector<Operation>& ops_;
};

void PacedDrawing::Record() {
  ops_.clear();
  figureSegments_ = 0;
  Render(0, nullptr);
  Recorder recorder(ops_);
  Render(1, &recorder);
  // Memory that a larger figure before it left behind goes back.
  ops_.shrink_to_fit();
  for (const Operation& op : ops_) figureSegments_ += op.kind == Operation::kLine;
  ++recording_;
}

void PacedDrawing::UsePens() const {
  Settings.LineWidth = lineWidth_;
  Settings.Background = background_;
  std::copy(std::begin(colors_), std::end(colors_), colors);
}

void PacedDrawing::DrawUpTo(PixelSurface& surface, Held& held, int64_t segments) const {
  UsePens();
  if (held.recording != recording_) {
    surface.Clear();
    held = {recording_, 0, 0};
  }
  segments = std::min(segments, figureSegments_);
  while (held.segments < segments && held.nextOp < ops_.size()) {
    const Operation& op = ops_[held.nextOp++];
    switch (op.kind) {
      case Operation::kMove:
        surface.MoveTo(op.a, op.b);
        break;
      case Operation::kPen:
        surface.SelectPen(op.a);
        break;
      case Operation::kLine:
        surface.LineTo(op.a, op.b);
        ++held.segments;
        break;
    }
  }
}

void PacedDrawing::Start(double now) {
  lineWidth_ = Settings.LineWidth;
  background_ = Settings.Background;
  std::copy(std::begin(colors), std::end(colors), colors_);
  Record();
  shownSegments_ = 0;
  phase_ = Phase::kDrawing;
  drawingStart_ = now;
  lastFrame_ = now;
  // One segment every kSegmentPauseMs, the pause after the last one included.
  drawingEnd_ = now + static_cast<double>(figureSegments_) * kSegmentPauseMs;
  pauseMs_ = PauseAfterDrawingMs();
  ++drawings_;
}

void PacedDrawing::Start(double now, PixelSurface& surface) {
  Start(now);
  DrawUpTo(surface, own_, 0);
}

void PacedDrawing::StartIdle(double now) {
  ops_.clear();
  ops_.shrink_to_fit();
  ++recording_;
  background_ = Settings.Background;
  figureSegments_ = shownSegments_ = 0;
  phase_ = Phase::kNothingToDraw;
  pauseEnd_ = now + kIdleWaitMs;
}

void PacedDrawing::Shift(double milliseconds) {
  drawingStart_ += milliseconds;
  drawingEnd_ += milliseconds;
  pauseEnd_ += milliseconds;
}

double PacedDrawing::Advance(double now) {
  // A frame that was already on its way when the frames stopped draws nothing.
  if (suspended()) return kNextFrame;
  if (phase_ == Phase::kDrawing) {
    // Only a growing figure asks for frames, so only there does a long gap mean a pause.
    if (now - lastFrame_ > kLongGapMs + frameIntervalMs_) Shift(now - lastFrame_);
    lastFrame_ = now;
    // Segment k (from 1) is due kSegmentPauseMs x (k - 1) after the start.
    const double elapsed = std::max(0.0, now - drawingStart_);
    const int64_t due =
        whole_ ? figureSegments_
               : std::min(figureSegments_, static_cast<int64_t>(elapsed / kSegmentPauseMs) + 1);
    if (due > shownSegments_) {
      segmentsEver_ += due - shownSegments_;
      shownSegments_ = due;
    }
    if (shownSegments_ < figureSegments_) return kNextFrame;
    phase_ = Phase::kPausing;
    // A figure shown whole stays from the frame that showed it.
    pauseEnd_ = whole_ ? now + std::max<double>(pauseMs_, kStillFigureMs) : drawingEnd_ + pauseMs_;
  }
  lastFrame_ = std::max(lastFrame_, now);
  return now < pauseEnd_ ? pauseEnd_ : kNewDrawingDue;
}

void PacedDrawing::SetFrameInterval(double milliseconds) {
  frameIntervalMs_ = std::max(0.0, milliseconds);
}

double PacedDrawing::Frame(double now, PixelSurface& surface) {
  const double next = Advance(now);
  if (!suspended()) DrawUpTo(surface, own_, shownSegments_);
  return next;
}

void PacedDrawing::Refit() {
  if (phase_ == Phase::kNothingToDraw) return;
  Record();
}

void PacedDrawing::Refit(PixelSurface& surface) {
  Refit();
  DrawUpTo(surface, own_, shownSegments_);
}

void PacedDrawing::Suspend(double now) {
  if (!suspended()) suspendedAt_ = now;
}

void PacedDrawing::Resume(double now) {
  if (!suspended()) return;
  const double away = std::max(0.0, now - suspendedAt_);
  Shift(away);
  lastFrame_ += away;
  suspendedAt_ = -1;
}
