#include "saver/saver_web.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "render/figure_digest.h"
#include "render/palette.h"
#include "render/pixel_surface.h"
#include "render/turtle.h"
#include "saver/animation.h"
#include "saver/random.h"
#include "settings/settings.h"
#include "tools/saver_options.h"

namespace {

// The Linux display mode's options that mean something in a page; the others name
// windows and visuals.
struct PageSetting {
  const char* name;
  bool takesValue;
};
constexpr PageSetting kPageSettings[] = {
    {"slideshow", false}, {"fractal", true}, {"from", true},
    {"to", true},         {"pause", true},   {"width", true},
    {"angle", true},      {"palette", true}, {"background", true},
};

// The largest canvas side drawn in full: 8192 x 8192 pixels take 256 MB, within what the
// module may grow to; a larger window (none exists today) shows them stretched.
constexpr int kMaxPageSide = 8192;

int PageSide(int side) { return std::clamp(side, 0, kMaxPageSide); }

// The random source's tick: the wall clock in milliseconds, wrapping as a tick count does,
// so that a page opened again does not start the slideshow with the same picks.
EM_JS(double, DateNowMs, (), { return Date.now(); });
uint32_t DateTicks() { return static_cast<uint32_t>(std::fmod(DateNowMs(), 4294967296.0)); }

// The drawing pass's operations, kept so that the page can draw them as they fall due and
// draw them again at a new size.
struct Operation {
  enum Kind : uint8_t { kMove, kPen, kLine } kind;
  int32_t a, b;
};

class RecordingSurface : public DrawingSurface {
 public:
  explicit RecordingSurface(std::vector<Operation>& ops) : ops_(ops) {}
  void Clear() override {}
  void MoveTo(int x, int y) override { ops_.push_back({Operation::kMove, x, y}); }
  void SelectPen(int pen) override { ops_.push_back({Operation::kPen, pen, 0}); }
  void LineTo(int x, int y) override { ops_.push_back({Operation::kLine, x, y}); }
  bool Pause(int) override { return true; }

 private:
  std::vector<Operation>& ops_;
};

// The slideshow's picks only rebuild the pens; the page's own loop draws and waits.
class PagePlatform : public AnimationPlatform {
 public:
  void RebuildPens(int32_t palette) override { ApplyPalette(palette); }
  bool Draw() override { return false; }
  bool Wait(uint32_t) override { return false; }
};

enum class Phase { kDrawing, kPausing, kNothingToDraw };

struct Page {
  Args settings = {"saver"};
  PagePlatform platform;
  FixedFractalCursor cursor;
  PixelSurface surface;
  std::vector<Operation> ops;
  size_t nextOp = 0;
  int64_t figureSegments = 0, shownSegments = 0;
  Phase phase = Phase::kNothingToDraw;
  double drawingStart = 0, drawingEnd = 0, pauseEnd = 0;
  uint32_t pauseMs = 0;
  double hiddenAt = -1, lastFrame = 0;
  int64_t drawings = 0, segmentsEver = 0;
  std::string text;  // the last string handed to the page
  int32_t changed[4] = {};
};

Page page;

// Both passes over CurrentString at the current size, into the list of operations.
void Record() {
  page.ops.clear();
  page.figureSegments = 0;
  Render(0, nullptr);
  RecordingSurface recorder(page.ops);
  Render(1, &recorder);
  for (const Operation& op : page.ops) page.figureSegments += op.kind == Operation::kLine;
}

// Draws the recorded operations up to and including the segment numbered `segments`.
void ShowUpTo(int64_t segments) {
  while (page.shownSegments < segments && page.nextOp < page.ops.size()) {
    const Operation& op = page.ops[page.nextOp++];
    switch (op.kind) {
      case Operation::kMove:
        page.surface.MoveTo(op.a, op.b);
        break;
      case Operation::kPen:
        page.surface.SelectPen(op.a);
        break;
      case Operation::kLine:
        page.surface.LineTo(op.a, op.b);
        ++page.shownSegments;
        ++page.segmentsEver;
        break;
    }
  }
}

// The next drawing of the loop the settings ask for, starting at `now`.
void NextDrawing(double now) {
  if (Settings.DefaultMode != 0) {
    PrepareSlideshowDrawing(page.platform);
  } else if (!page.cursor.Advance()) {
    page.phase = Phase::kNothingToDraw;
    page.pauseEnd = now + kIdleWaitMs;
    return;
  }
  Record();
  page.surface.Clear();
  page.nextOp = 0;
  page.shownSegments = 0;
  page.phase = Phase::kDrawing;
  page.drawingStart = now;
  // One segment every kSegmentPauseMs, the pause after the last one included.
  page.drawingEnd = now + static_cast<double>(page.figureSegments) * kSegmentPauseMs;
  page.pauseMs = PauseAfterDrawingMs();
  ++page.drawings;
}

std::string SettingsReason(const std::string& refused) {
  // "bad --fractal '99' (expected 0 to 15)" reads better without the dashes in a page.
  const size_t dashes = refused.find("--");
  return dashes == std::string::npos ? refused
                                     : refused.substr(0, dashes) + refused.substr(dashes + 2);
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void lumerin_clear_settings() { page.settings = {"saver"}; }

EMSCRIPTEN_KEEPALIVE const char* lumerin_take_setting(const char* name, const char* value,
                                                      int hasValue) {
  const std::string key = name, text = value;
  const PageSetting* setting = nullptr;
  for (const PageSetting& s : kPageSettings) {
    if (key == s.name) setting = &s;
  }
  page.text.clear();
  if (setting == nullptr) {
    page.text = "unknown setting '" + key + "'";
    return page.text.c_str();
  }
  Args one = {"saver", "--" + key};
  if (setting->takesValue) {
    one.push_back(hasValue ? text : "");
  } else if (hasValue && !text.empty() && text != "1" && text != "true") {
    page.text = "bad " + key + " '" + text + "' (expected no value)";
    return page.text.c_str();
  }
  // The display mode's own reading and clamping, one setting at a time, so that a bad one
  // is left out alone. Settings is written afresh by lumerin_start.
  SaverCommand command;
  const std::string refused = ReadSaverCommand(one, nullptr, &command);
  if (!refused.empty()) {
    page.text = SettingsReason(refused);
    return page.text.c_str();
  }
  page.settings.insert(page.settings.end(), one.begin() + 1, one.end());
  return page.text.c_str();
}

EMSCRIPTEN_KEEPALIVE void lumerin_start(double now, int width, int height) {
  randomTickSource = DateTicks;
  ResetCatalogue();
  ResetCurrentString();
  SaverCommand command;
  // Each setting was read alone already: together they are taken as well.
  ReadSaverCommand(page.settings, nullptr, &command);
  SanitizeSettings();
  if (Settings.DefaultMode == 0) SetStartAngle(Settings.NumFractal, Settings.Angle);
  page.cursor = FixedFractalCursor();
  page.hiddenAt = -1;
  SetDrawingArea(PageSide(width), PageSide(height));
  page.surface.Resize(clientWidth, clientHeight);
  NextDrawing(now);
}

EMSCRIPTEN_KEEPALIVE double lumerin_frame(double now) {
  // A frame or timer that was already on its way when the page was hidden draws nothing.
  if (page.hiddenAt >= 0) return now;
  page.lastFrame = now;
  for (;;) {
    switch (page.phase) {
      case Phase::kDrawing: {
        // Segment k (from 1) is due kSegmentPauseMs x (k - 1) after the start.
        const double elapsed = std::max(0.0, now - page.drawingStart);
        const int64_t due =
            std::min(page.figureSegments, static_cast<int64_t>(elapsed / kSegmentPauseMs) + 1);
        ShowUpTo(due);
        if (page.shownSegments < page.figureSegments) return -1;
        page.phase = Phase::kPausing;
        page.pauseEnd = page.drawingEnd + page.pauseMs;
        break;
      }
      case Phase::kPausing:
      case Phase::kNothingToDraw:
        if (now < page.pauseEnd) return page.pauseEnd;
        NextDrawing(now);
        if (page.phase == Phase::kNothingToDraw) return page.pauseEnd;
        break;
    }
  }
}

EMSCRIPTEN_KEEPALIVE void lumerin_resize(int width, int height) {
  SetDrawingArea(PageSide(width), PageSide(height));
  if (clientWidth == page.surface.width() && clientHeight == page.surface.height()) return;
  page.surface.Resize(clientWidth, clientHeight);
  if (page.phase == Phase::kNothingToDraw) return;
  // CurrentString still holds the figure: its operations at the new size, and at once as
  // many segments as were shown.
  const int64_t shown = page.shownSegments;
  Record();
  page.nextOp = 0;
  page.shownSegments = 0;
  const int64_t ever = page.segmentsEver;
  ShowUpTo(shown);
  page.segmentsEver = ever;
}

EMSCRIPTEN_KEEPALIVE void lumerin_suspend(double now) {
  if (page.hiddenAt < 0) page.hiddenAt = now;
}

EMSCRIPTEN_KEEPALIVE void lumerin_resume(double now) {
  if (page.hiddenAt < 0) return;
  const double hidden = std::max(0.0, now - page.hiddenAt);
  page.drawingStart += hidden;
  page.drawingEnd += hidden;
  page.pauseEnd += hidden;
  page.hiddenAt = -1;
}

EMSCRIPTEN_KEEPALIVE const uint32_t* lumerin_pixels() { return page.surface.pixels(); }
EMSCRIPTEN_KEEPALIVE int lumerin_width() { return page.surface.width(); }
EMSCRIPTEN_KEEPALIVE int lumerin_height() { return page.surface.height(); }

EMSCRIPTEN_KEEPALIVE const int32_t* lumerin_take_changed() {
  const PixelSurface::Rect r = page.surface.TakeChanged();
  page.changed[0] = r.left;
  page.changed[1] = r.top;
  page.changed[2] = r.right;
  page.changed[3] = r.bottom;
  return page.changed;
}

EMSCRIPTEN_KEEPALIVE const char* lumerin_status() {
  static const char* const kPhases[] = {"drawing", "pausing", "nothing to draw"};
  char line[640];
  std::snprintf(
      line, sizeof line,
      "{\"phase\":\"%s\",\"drawings\":%lld,\"segments\":%lld,\"figureSegments\":%lld,"
      "\"segmentsEver\":%lld,\"drawingStart\":%.3f,\"lastFrame\":%.3f,"
      "\"width\":%d,\"height\":%d,\"slideshow\":%s,\"fractal\":%d,\"from\":%d,"
      "\"to\":%d,\"pause\":%d,\"lineWidth\":%d,\"angle\":%d,\"background\":%u,"
      "\"colors\":[%u,%u,%u,%u,%u,%u,%u,%u,%u,%u]}",
      kPhases[static_cast<int>(page.phase)], static_cast<long long>(page.drawings),
      static_cast<long long>(page.shownSegments), static_cast<long long>(page.figureSegments),
      static_cast<long long>(page.segmentsEver), page.drawingStart, page.lastFrame,
      page.surface.width(), page.surface.height(), Settings.DefaultMode != 0 ? "true" : "false",
      Settings.NumFractal, Settings.iterFrom, Settings.iterTo, Settings.TimeOut, Settings.LineWidth,
      Settings.Angle, Settings.Background, colors[0], colors[1], colors[2], colors[3], colors[4],
      colors[5], colors[6], colors[7], colors[8], colors[9]);
  page.text = line;
  return page.text.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* lumerin_digests(int width, int height, double now) {
  const int canvasWidth = page.surface.width(), canvasHeight = page.surface.height();
  page.text = AllFigureDigests(width, height);
  lumerin_start(now, canvasWidth, canvasHeight);
  return page.text.c_str();
}
}
