#include "web/saver_web.h"

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
#include "saver/paced_drawing.h"
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

struct Page {
  Args settings = {"saver"};
  PacedPlatform platform;
  FixedFractalCursor cursor;
  PixelSurface surface;
  PacedDrawing drawing;
  std::string text;  // the last string handed to the page
  int32_t changed[4] = {};
};

Page page;

// The next drawing of the loop the settings ask for, starting at `now`.
void NextDrawing(double now) {
  if (PrepareNextDrawing(page.platform, page.cursor)) {
    page.drawing.Start(now, page.surface);
  } else {
    page.drawing.StartIdle(now);
  }
}

// The canvas's size in device pixels and the device pixel ratio, as the DPI its lines are
// drawn at: a width of 2 is 4 device pixels at a ratio of 2, as on Windows at 200 %.
void TakeCanvas(int width, int height, double pixelRatio) {
  SetDrawingArea(PageSide(width), PageSide(height));
  page.surface.SetDpi(DpiOfScale(pixelRatio));
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

EMSCRIPTEN_KEEPALIVE void lumerin_start(double now, int width, int height, double pixelRatio) {
  randomTickSource = DateTicks;
  ResetCatalogue();
  ResetCurrentString();
  SaverCommand command;
  // Each setting was read alone already: together they are taken as well.
  ReadSaverCommand(page.settings, nullptr, &command);
  SanitizeSettings();
  page.cursor = FixedFractalCursor();
  page.drawing.Resume(now);
  TakeCanvas(width, height, pixelRatio);
  page.surface.Resize(clientWidth, clientHeight);
  NextDrawing(now);
}

EMSCRIPTEN_KEEPALIVE double lumerin_frame(double now) {
  for (;;) {
    const double next = page.drawing.Frame(now, page.surface);
    if (next != PacedDrawing::kNewDrawingDue) return next;
    NextDrawing(now);
  }
}

EMSCRIPTEN_KEEPALIVE void lumerin_resize(int width, int height, double pixelRatio) {
  const int32_t dpi = page.surface.dpi();
  TakeCanvas(width, height, pixelRatio);
  if (clientWidth == page.surface.width() && clientHeight == page.surface.height() &&
      dpi == page.surface.dpi())
    return;
  page.surface.Resize(clientWidth, clientHeight);
  // CurrentString still holds the figure: its operations at the new size, and at once as
  // many segments as were shown.
  page.drawing.Refit(page.surface);
}

EMSCRIPTEN_KEEPALIVE void lumerin_suspend(double now) { page.drawing.Suspend(now); }
EMSCRIPTEN_KEEPALIVE void lumerin_resume(double now) { page.drawing.Resume(now); }

EMSCRIPTEN_KEEPALIVE void lumerin_set_frame_cap(double fps) {
  page.drawing.SetFrameInterval(std::isfinite(fps) && fps > 0 ? 1000 / fps : 0);
}

EMSCRIPTEN_KEEPALIVE void lumerin_set_reduced_motion(int reduced) {
  page.drawing.SetWhole(reduced != 0);
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
  std::snprintf(line, sizeof line,
                "{\"phase\":\"%s\",\"drawings\":%lld,\"segments\":%lld,\"figureSegments\":%lld,"
                "\"segmentsEver\":%lld,\"drawingStart\":%.3f,\"lastFrame\":%.3f,"
                "\"width\":%d,\"height\":%d,\"slideshow\":%s,\"fractal\":%d,\"from\":%d,"
                "\"to\":%d,\"pause\":%d,\"lineWidth\":%d,\"angle\":%d,\"background\":%u,"
                "\"dpi\":%d,\"colors\":[%u,%u,%u,%u,%u,%u,%u,%u,%u,%u]}",
                kPhases[static_cast<int>(page.drawing.phase())],
                static_cast<long long>(page.drawing.drawings()),
                static_cast<long long>(page.drawing.shownSegments()),
                static_cast<long long>(page.drawing.figureSegments()),
                static_cast<long long>(page.drawing.segmentsEver()), page.drawing.drawingStart(),
                page.drawing.lastFrame(), page.surface.width(), page.surface.height(),
                Settings.DefaultMode != 0 ? "true" : "false", Settings.NumFractal,
                Settings.iterFrom, Settings.iterTo, Settings.TimeOut, Settings.LineWidth,
                Settings.Angle, Settings.Background, page.surface.dpi(), colors[0], colors[1],
                colors[2], colors[3], colors[4], colors[5], colors[6], colors[7], colors[8],
                colors[9]);
  page.text = line;
  return page.text.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* lumerin_digests(int width, int height, double now) {
  const int canvasWidth = page.surface.width(), canvasHeight = page.surface.height();
  page.text = AllFigureDigests(width, height);
  lumerin_start(now, canvasWidth, canvasHeight, page.surface.dpi() / static_cast<double>(kBaseDpi));
  return page.text.c_str();
}
}
