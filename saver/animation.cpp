#include "saver/animation.h"

#include <cstring>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "saver/random.h"
#include "settings/settings.h"

namespace {

// The slideshow never picks the last catalogue entry, the widest pen or the last palette.
constexpr int32_t kSlideshowEntries = 15;
constexpr int32_t kSlideshowWidths = 4;
constexpr int32_t kSlideshowPalettes = 4;
constexpr int32_t kDiscardedDraw = 100;
constexpr uint32_t kMsPerTimeOutUnit = 100;

}  // namespace

uint32_t PauseAfterDrawingMs() {
  const uint32_t pause =
      Settings.TimeOut > 0 ? static_cast<uint32_t>(Settings.TimeOut) * kMsPerTimeOutUnit : 0;
  // Without an F the drawing pass only clears the window and never pauses: with no
  // pause after it either, the thread would clear the window as fast as it can.
  if (pause < kEmptyFigurePauseMs && std::memchr(CurrentString, 'F', CurrentLength()) == nullptr) {
    return kEmptyFigurePauseMs;
  }
  return pause;
}

void PrepareSlideshowDrawing(AnimationPlatform& platform) {
  ResetCurrentString();
  RandomValue(0);
  // A seed of 1, 10, 100... makes the first value n itself: it is drawn and dropped.
  RandomValue(kDiscardedDraw);
  Settings.NumFractal = RandomValue(kSlideshowEntries);
  Settings.LineWidth = RandomValue(kSlideshowWidths) + 1;
  platform.RebuildPens(RandomValue(kSlideshowPalettes));

  const int32_t steps = FractalEntry(Settings.NumFractal).slideIter;
  for (int32_t i = 0; i < steps; ++i) Rewrite();
}

bool RunSlideshowCycle(AnimationPlatform& platform) {
  PrepareSlideshowDrawing(platform);
  const bool going = platform.Draw() && platform.Wait(PauseAfterDrawingMs());
  ResetCurrentString();
  return going;
}

void RunSlideshow(AnimationPlatform& platform) {
  while (RunSlideshowCycle(platform)) {
  }
}

bool FixedFractalCursor::Advance() {
  if (Settings.iterFrom > Settings.iterTo) return false;
  // 64 bits, so that an iterTo at the top of the range cannot overflow the counter.
  if (generation_ < Settings.iterFrom || generation_ >= Settings.iterTo) {
    ResetCurrentString();
    for (int32_t i = 0; i < Settings.iterFrom; ++i) Rewrite();
    generation_ = static_cast<int64_t>(Settings.iterFrom) - 1;
  }
  Rewrite();
  ++generation_;
  return true;
}

void RunFixedFractal(AnimationPlatform& platform) {
  SetStartAngle(Settings.NumFractal, Settings.Angle);
  FixedFractalCursor cursor;
  for (;;) {
    if (!cursor.Advance()) {
      // Nothing to draw: keep the background, but never spin.
      if (!platform.Wait(kIdleWaitMs)) return;
      continue;
    }
    if (!platform.Draw() || !platform.Wait(PauseAfterDrawingMs())) {
      ResetCurrentString();
      return;
    }
  }
}
