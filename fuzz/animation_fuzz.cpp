// The drawing thread's loops as the saver runs them: settings loaded from a key whose
// twenty values come from the fuzzer (any number, or missing), a drawing area from
// 1 x 1 to 8192 x 8192, slideshow tick counts from the fuzzer, then the fixed mode or
// the slideshow with a platform that draws onto a checking surface and never sleeps.
// Every segment must land on the area with a pen 0 .. 9, the slideshow may pick only
// what it offers, no pause may be missing, and a stop must end the loop at once.
#include <cstdint>
#include <cstring>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "fuzz/checking_surface.h"
#include "fuzz/fuzz_input.h"
#include "render/palette.h"
#include "render/turtle.h"
#include "saver/animation.h"
#include "saver/random.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

constexpr uint32_t kMsPerTimeOutUnit = 100;

// A key holding each value as a four-byte number from the fuzzer, or not at all.
class FuzzKey : public SettingsStore {
 public:
  explicit FuzzKey(FuzzInput& in) {
    const uint32_t missing = in.Word();
    for (int i = 0; i < kSettingsValueCount; ++i) {
      present_[i] = ((missing >> i) & 1) == 0;
      values_[i] = in.Word();
    }
  }
  bool OpenExisting() override { return true; }
  bool Create() override { return false; }
  bool Read(const char* name, uint8_t (&data)[kSettingsValueBytes], uint32_t& type,
            uint32_t& size) override {
    for (int i = 0; i < kSettingsValueCount; ++i) {
      if (std::strcmp(kSettingsValueNames[i], name) != 0) continue;
      if (!present_[i]) return false;
      for (uint32_t b = 0; b < kSettingsValueBytes; ++b) data[b] = uint8_t(values_[i] >> (8 * b));
      type = kSettingsValueType;
      size = kSettingsValueBytes;
      return true;
    }
    return false;
  }
  void WriteDword(const char*, uint32_t) override { __builtin_trap(); }  // loading never writes
  void Close() override {}

 private:
  bool present_[kSettingsValueCount];
  uint32_t values_[kSettingsValueCount];
};

// The slideshow's tick counts, taken in turn from a few words of the input.
uint32_t tickCounts[4];
unsigned nextTick = 0;
uint32_t FuzzTicks() { return tickCounts[nextTick++ % 4]; }

class CheckingPlatform : public AnimationPlatform {
 public:
  CheckingPlatform(bool slideshow, int waitsBeforeStop, int segmentBudget)
      : slideshow_(slideshow), waitsLeft_(waitsBeforeStop), surface_(segmentBudget) {}

  void RebuildPens(int32_t palette) override {
    Require(!stopped_);
    Require(slideshow_);  // the fixed mode keeps the user's pens
    Require(palette >= 0 && palette <= 3);
    Require(Settings.NumFractal >= 0 && Settings.NumFractal <= 14);
    Require(Settings.LineWidth >= 1 && Settings.LineWidth <= 4);
    Require(ApplyPalette(palette));
    rebuilt_ = true;
  }

  bool Draw() override {
    Require(!stopped_);
    Require(!drawn_);  // a pause follows every drawing
    if (slideshow_) Require(rebuilt_);
    Require(CurrentLength() < kStringCapacity);
    // The saver's drawing: the measuring pass, then the drawing pass.
    const int before = surface_.segments;
    Render(0, nullptr);
    const bool finished = Render(1, &surface_);
    lastSegments_ = surface_.segments - before;
    drawn_ = true;
    ++drawings;
    if (!finished) {
      Require(surface_.Exhausted());  // only the surface's stop cuts a drawing short
      stopped_ = true;
    }
    return finished;
  }

  bool Wait(uint32_t milliseconds) override {
    Require(!stopped_);
    if (drawn_) {
      // TimeOut tenths of a second; a figure without a segment waits at least the
      // shortest pause, so that the loop never clears the screen as fast as it can.
      uint32_t expected = static_cast<uint32_t>(Settings.TimeOut) * kMsPerTimeOutUnit;
      if (lastSegments_ == 0 && expected < kEmptyFigurePauseMs) expected = kEmptyFigurePauseMs;
      Require(milliseconds == expected);
    } else {
      // Waiting without a drawing is the fixed mode's idle wait, only for an empty range.
      Require(!slideshow_ && Settings.iterFrom > Settings.iterTo && milliseconds == kIdleWaitMs);
    }
    drawn_ = false;
    rebuilt_ = false;
    if (--waitsLeft_ > 0) return true;
    stopped_ = true;
    return false;
  }

  bool Stopped() const { return stopped_; }
  int drawings = 0;

 private:
  bool slideshow_;
  int waitsLeft_;
  CheckingSurface surface_;
  bool stopped_ = false;
  bool drawn_ = false;
  bool rebuilt_ = false;
  int lastSegments_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const int32_t width = 1 + static_cast<int32_t>(in.Word() % 8192);
  const int32_t height = 1 + static_cast<int32_t>(in.Word() % 8192);
  const int waits = 1 + in.Byte() % 6;
  const int segmentBudget = 1 + static_cast<int>(in.Word() % 300000);
  for (uint32_t& ticks : tickCounts) ticks = in.Word();
  nextTick = 0;
  randomTickSource = FuzzTicks;

  ResetSettings();
  ResetCatalogue();
  ResetCurrentString();
  FuzzKey key(in);
  LoadSettingsFrom(key);
  const SettingsRecord loaded = Settings;
  SetDrawingArea(width, height);

  const bool slideshow = Settings.DefaultMode != 0;
  CheckingPlatform platform(slideshow, waits, segmentBudget);
  if (slideshow) {
    RunSlideshow(platform);
  } else {
    RunFixedFractal(platform);
    // The fixed mode draws the user's fractal from the user's heading.
    Require(Settings.NumFractal == loaded.NumFractal);
    Require(FractalEntry(Settings.NumFractal).startAngle == loaded.Angle);
  }
  // The loops return only when asked to stop.
  Require(platform.Stopped());
  return 0;
}
