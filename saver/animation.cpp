#include "saver/animation.h"

#include <cstdlib>
#include <cstring>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "render/palette.h"
#include "render/turtle.h"
#include "saver/random.h"
#include "settings/settings.h"

namespace {

// The slideshow never picks the last catalogue entry, the widest pen or the last palette.
constexpr int32_t kSlideshowEntries = 15;
constexpr int32_t kSlideshowWidths = 4;
constexpr int32_t kSlideshowPalettes = 4;
constexpr int32_t kDiscardedDraw = 100;
constexpr uint32_t kMsPerTimeOutUnit = 100;

uint32_t PauseAfterMs(bool anySegment) {
  const uint32_t pause =
      Settings.TimeOut > 0 ? static_cast<uint32_t>(Settings.TimeOut) * kMsPerTimeOutUnit : 0;
  // Without an F the drawing pass only clears the window and never pauses: with no
  // pause after it either, the thread would clear the window as fast as it can.
  return pause < kEmptyFigurePauseMs && !anySegment ? kEmptyFigurePauseMs : pause;
}

// One slideshow cycle's picks for `count` figures, one after the other from one reseed:
// the entry, the line width (both into Settings) and the palette of each, and its
// generation rewritten into CurrentString; then `use(index, palette)` takes the figure
// before the next one is picked. One step for every edition and loop, so that a single
// figure always sees the very picks of the one-figure slideshow.
template <typename Use>
void PickSlideshowFigures(int count, Use&& use) {
  RandomValue(0);
  // A seed of 1, 10, 100... makes the first value n itself: it is drawn and dropped.
  RandomValue(kDiscardedDraw);
  for (int i = 0; i < count; ++i) {
    Settings.NumFractal = RandomValue(kSlideshowEntries);
    Settings.LineWidth = RandomValue(kSlideshowWidths) + 1;
    const int32_t palette = RandomValue(kSlideshowPalettes);
    ResetCurrentString();
    const int32_t steps = FractalEntry(Settings.NumFractal).slideIter;
    for (int32_t step = 0; step < steps; ++step) Rewrite();
    use(i, palette);
  }
}

}  // namespace

uint32_t PauseAfterDrawingMs() {
  return PauseAfterMs(std::memchr(CurrentString, 'F', CurrentLength()) != nullptr);
}

void PrepareSlideshowDrawing(AnimationPlatform& platform) {
  PickSlideshowFigures(1, [&platform](int, int32_t palette) { platform.RebuildPens(palette); });
}

namespace {

// One slideshow cycle: PrepareSlideshowDrawing, draw, pause, empty the string.
bool RunSlideshowCycle(AnimationPlatform& platform) {
  PrepareSlideshowDrawing(platform);
  const bool going = platform.Draw() && platform.Wait(PauseAfterDrawingMs());
  ResetCurrentString();
  return going;
}

}  // namespace

void RunSlideshow(AnimationPlatform& platform) {
  while (RunSlideshowCycle(platform)) {
  }
}

bool FixedFractalCursor::Advance() {
  // The heading is taken once, before the first drawing: the entry keeps it from then on.
  if (!started_) {
    SetStartAngle(Settings.NumFractal, Settings.Angle);
    started_ = true;
  }
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

bool FixedFractalCursor::Rebuild() const {
  if (generation_ < 0) return false;
  ResetCurrentString();
  // The empty string's first rewrite gives the axiom, generation 0.
  for (int64_t i = 0; i <= generation_; ++i) Rewrite();
  return true;
}

void RunFixedFractal(AnimationPlatform& platform) {
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

void RunAnimation(AnimationPlatform& platform, int32_t width, int32_t height) {
  SetDrawingArea(width, height);
  platform.ClearDrawingArea();
  if (Settings.DefaultMode != 0) {
    RunSlideshow(platform);
  } else {
    RunFixedFractal(platform);
  }
}

namespace {

// The figures of one layout, made for it and dropped with it, and in the slideshow each
// figure's copy of its string (CurrentString holds one at a time). The copies come from
// malloc for the reason Figure's stack does.
struct FigureSet {
  explicit FigureSet(const FigureLayout& from) : layout(from) {}
  ~FigureSet() { DropTexts(); }
  FigureSet(const FigureSet&) = delete;
  FigureSet& operator=(const FigureSet&) = delete;
  void DropTexts() {
    for (char*& text : texts) {
      std::free(text);
      text = nullptr;
    }
  }
  FigureLayout layout;
  Figure figures[kMaxMonitors];
  char* texts[kMaxMonitors] = {};
};

// One drawing pass of every figure: each clears its own area, then every round draws the
// next segment of each figure that has one left, and pauses once. False when a pause
// was cut short.
bool DrawTogether(FiguresPlatform& platform, FigureSet& set) {
  const int count = set.layout.count;
  bool done[kMaxMonitors] = {};
  platform.BeginDrawing();
  for (int i = 0; i < count; ++i) platform.Surface(i).Clear();
  bool going = true;
  for (bool drew = true; drew && going;) {
    drew = false;
    for (int i = 0; i < count; ++i) {
      if (done[i]) continue;
      if (set.figures[i].DrawNextSegment(platform.Surface(i)))
        drew = true;
      else
        done[i] = true;
    }
    if (drew) going = platform.Pause(kSegmentPauseMs);
  }
  platform.EndDrawing();
  return going;
}

bool AnySegment(const FigureSet& set) {
  for (int i = 0; i < set.layout.count; ++i)
    if (set.figures[i].HasSegment()) return true;
  return false;
}

// One slideshow cycle on every figure; false when it was cut short.
bool RunSlideshowFiguresCycle(FiguresPlatform& platform, FigureSet& set) {
  set.DropTexts();
  PickSlideshowFigures(set.layout.count, [&platform, &set](int i, int32_t palette) {
    ApplyPalette(palette);
    platform.MakePens(i, Settings.LineWidth, set.layout.areas[i].dpi);
    // Without memory for the copy the figure has no symbols and draws nothing.
    const size_t length = CurrentLength();
    set.texts[i] = static_cast<char*>(std::malloc(length + 1));
    if (set.texts[i] != nullptr) std::memcpy(set.texts[i], CurrentString, length + 1);
    set.figures[i].Measure(set.texts[i], set.texts[i] != nullptr ? length : 0, Settings.NumFractal,
                           set.layout.areas[i]);
  });
  const bool going = DrawTogether(platform, set) && platform.Wait(PauseAfterMs(AnySegment(set)));
  ResetCurrentString();
  return going;
}

}  // namespace

void RunSlideshowFigures(FiguresPlatform& platform) {
  for (;;) {
    FigureSet set(platform.StartLayout());
    while (RunSlideshowFiguresCycle(platform, set)) {
    }
    if (platform.Stopped()) return;
  }
}

void RunFixedFigures(FiguresPlatform& platform) {
  for (;;) {
    FigureSet set(platform.StartLayout());
    for (int i = 0; i < set.layout.count; ++i)
      platform.MakePens(i, Settings.LineWidth, set.layout.areas[i].dpi);
    FixedFractalCursor cursor;
    bool going = true;
    while (going) {
      if (!cursor.Advance()) {
        going = platform.Wait(kIdleWaitMs);
        continue;
      }
      // Every figure walks the one CurrentString, which stays as it is until all are done.
      for (int i = 0; i < set.layout.count; ++i)
        set.figures[i].Measure(CurrentString, CurrentLength(), Settings.NumFractal,
                               set.layout.areas[i]);
      going = DrawTogether(platform, set) && platform.Wait(PauseAfterMs(AnySegment(set)));
    }
    ResetCurrentString();
    if (platform.Stopped()) return;
  }
}

void RunAnimation(FiguresPlatform& platform) {
  if (Settings.DefaultMode != 0) {
    RunSlideshowFigures(platform);
  } else {
    RunFixedFigures(platform);
  }
}
