// lumerin render and lumerin gallery: the drawing pass of the renderer, printed as
// operations, drawn into PNG and SVG images with cairo, or recorded as it grows into an
// animated GIF.
#include <cairo-svg.h>
#include <cairo.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "render/figure_digest.h"
#include "render/palette.h"
#include "render/turtle.h"
#include "settings/settings.h"
#include "tools/cairo_surface.h"
#include "tools/growth_gif.h"
#include "tools/tool.h"

namespace {

constexpr long kMaxImageSide = 8192;
constexpr long kMaxLineWidth = 20;
constexpr long kMaxAngle = 360;  // the range of the fixed mode's start heading setting
constexpr int kGalleryWidth = 400;
constexpr int kGalleryHeight = 300;
constexpr int kGalleryLineWidth = 1;
constexpr int kDefaultPalette = 1;  // what a first run loads
constexpr int kDefaultLineWidth = 2;
constexpr int kSpeedDecimals = 3;
constexpr long kMaxSpeed = 10000;

// Prints every operation of the drawing pass but the clear, one per line.
class OpsSurface : public DrawingSurface {
 public:
  void Clear() override {}
  void MoveTo(int x, int y) override { std::printf("move %d %d\n", x, y); }
  void SelectPen(int pen) override { pen_ = pen; }
  void LineTo(int x, int y) override { std::printf("line %d %d %d\n", pen_, x, y); }
  bool Pause(int) override { return true; }

 private:
  int pen_ = 0;
};

struct RenderOptions {
  int width = 800, height = 600;
  bool hasAngle = false;
  int angle = 0;
  bool ops = false;
  std::string png, svg, gif;
  GrowthTiming timing;
  bool timingGiven = false;
  int palette = kDefaultPalette;
  int lineWidth = kDefaultLineWidth;
  uint32_t background = 0;  // COLORREF
};

bool ReadSize(const std::string& text, int* width, int* height) {
  const size_t x = text.find('x');
  long w = 0, h = 0;
  if (x == std::string::npos || !ReadNumber(text.substr(0, x), kMaxImageSide, &w) ||
      !ReadNumber(text.substr(x + 1), kMaxImageSide, &h) || w < 1 || h < 1)
    return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

// A speed above 0 and at most kMaxSpeed, with at most kSpeedDecimals decimals, as an exact
// fraction: "2", "0.5", "1.25".
bool ReadSpeed(const std::string& text, GrowthTiming* timing) {
  const size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  const std::string decimals = point == std::string::npos ? "" : text.substr(point + 1);
  long units = 0, fraction = 0;
  if (!ReadNumber(whole, kMaxSpeed, &units)) return false;
  if (point != std::string::npos &&
      (decimals.size() > kSpeedDecimals || !ReadNumber(decimals, 999, &fraction)))
    return false;
  int64_t denominator = 1;
  for (size_t i = 0; i < decimals.size(); ++i) denominator *= 10;
  const int64_t numerator = units * denominator + fraction;
  if (numerator <= 0 || numerator > kMaxSpeed * denominator) return false;
  timing->speedNumerator = numerator;
  timing->speedDenominator = denominator;
  return true;
}

// Both passes over CurrentString, as the drawing thread makes them.
void DrawCurrent(DrawingSurface* surface) {
  Render(0, nullptr);
  Render(1, surface);
}

// Draws CurrentString into an image file; false (with a message) if it cannot be written.
bool WriteImage(const RenderOptions& o, const std::string& path, bool svg) {
  cairo_surface_t* target = svg ? cairo_svg_surface_create(path.c_str(), o.width, o.height)
                                : cairo_image_surface_create(CAIRO_FORMAT_RGB24, o.width, o.height);
  bool ok = cairo_surface_status(target) == CAIRO_STATUS_SUCCESS;
  if (ok) {
    CairoSurface surface(target, o.width, o.height, o.lineWidth, o.background);
    DrawCurrent(&surface);
  }
  if (ok && !svg) ok = cairo_surface_write_to_png(target, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_finish(target);
  if (ok) ok = cairo_surface_status(target) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(target);
  if (!ok) std::fprintf(stderr, "lumerin: cannot write '%s'\n", path.c_str());
  return ok;
}

// Loads what the saver would use for the colours and the pens' width.
void ApplyLook(const RenderOptions& o) {
  ApplyPalette(o.palette);
  Settings.LineWidth = o.lineWidth;
  SetDrawingArea(o.width, o.height);
}

std::string FileStem(int entry) {
  std::string stem = std::to_string(entry / 10) + std::to_string(entry % 10) + "-";
  bool dash = false;
  for (const char* c = FractalCatalogue[entry].title; *c; ++c) {
    const char ch = *c;
    const bool alnum = (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9');
    if (ch >= 'A' && ch <= 'Z') {
      stem += static_cast<char>(ch - 'A' + 'a');
      dash = false;
    } else if (alnum) {
      stem += ch;
      dash = false;
    } else if (!dash) {
      stem += '-';
      dash = true;
    }
  }
  while (stem.back() == '-') stem.pop_back();
  return stem;
}

}  // namespace

int RunRender(const Args& args) {
  RenderOptions o;
  Args words;
  bool sizeGiven = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    long value = 0;
    if (a == "--ops") {
      o.ops = true;
    } else if (a == "--size" || a == "--angle" || a == "--png" || a == "--svg" || a == "--gif" ||
               a == "--speed" || a == "--hold" || a == "--palette" || a == "--line-width" ||
               a == "--background") {
      if (!hasValue) return UsageError(a + " needs a value");
      const std::string& v = args[++i];
      if (a == "--size") {
        if (!ReadSize(v, &o.width, &o.height))
          return UsageError("bad size '" + v + "' (expected WxH, each 1 to 8192)");
        sizeGiven = true;
      } else if (a == "--angle") {
        if (!ReadNumber(v, kMaxAngle, &value))
          return UsageError("bad angle '" + v + "' (expected 0 to 360)");
        o.hasAngle = true;
        o.angle = static_cast<int>(value);
      } else if (a == "--png") {
        o.png = v;
      } else if (a == "--svg") {
        o.svg = v;
      } else if (a == "--gif") {
        o.gif = v;
      } else if (a == "--speed") {
        if (!ReadSpeed(v, &o.timing))
          return UsageError("bad speed '" + v +
                            "' (expected more than 0, at most 10000, as 2 or 0.5)");
        o.timingGiven = true;
      } else if (a == "--hold") {
        if (!ReadNumber(v, kTimeOutMaxTenths, &value))
          return UsageError("bad hold '" + v + "' (expected 0 to 50 tenths of a second)");
        o.timing.holdTenths = static_cast<int>(value);
        o.timingGiven = true;
      } else if (a == "--palette") {
        if (!ReadNumber(v, kPaletteCount - 1, &value))
          return UsageError("bad palette '" + v + "' (expected 0 to 4)");
        o.palette = static_cast<int>(value);
      } else if (a == "--line-width") {
        if (!ReadNumber(v, kMaxLineWidth, &value) || value < 1)
          return UsageError("bad line width '" + v + "' (expected 1 to 20)");
        o.lineWidth = static_cast<int>(value);
      } else if (!ReadColor(v, &o.background)) {
        return UsageError("bad background '" + v + "' (expected RRGGBB)");
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return UsageError("unknown option '" + a + "'");
    } else {
      words.push_back(a);
    }
  }
  if (words.size() != 2)
    return UsageError(
        "render expects ENTRY GEN --size WxH and --ops, --png FILE, --svg FILE or --gif FILE");
  if (!sizeGiven) return UsageError("render needs --size WxH");
  if (!o.ops && o.png.empty() && o.svg.empty() && o.gif.empty())
    return UsageError("render needs --ops, --png FILE, --svg FILE or --gif FILE");
  if (o.timingGiven && o.gif.empty()) return UsageError("--speed and --hold go with --gif FILE");
  words.insert(words.begin(), "render");
  int entry = 0, generation = 0;
  if (!ReadEntryAndGeneration(words, 1, &entry, &generation)) return kUsageError;

  ResetCatalogue();
  if (o.hasAngle) SetStartAngle(entry, o.angle);
  GrowthGif gif;
  if (!o.gif.empty()) {
    // The animation's frames and length are those of the generation asked for: one that
    // does not fit is refused, not replaced by a smaller one.
    const int built = BuildGeneration(entry, generation);
    if (built < generation)
      return UsageError("generation " + std::to_string(generation) + " of entry " +
                        std::to_string(entry) + " does not fit in " +
                        std::to_string(kStringCapacity - 1) + " symbols (at most generation " +
                        std::to_string(built) + ")");
    if (!gif.Open(o.gif))
      return UsageError("cannot write '" + o.gif + "': " + std::strerror(errno));
  } else {
    BuildGenerationNoting(entry, generation, "drawing");
  }
  ApplyLook(o);
  if (o.ops) {
    OpsSurface surface;
    DrawCurrent(&surface);
  }
  if (!o.png.empty() && !WriteImage(o, o.png, false)) return 1;
  if (!o.svg.empty() && !WriteImage(o, o.svg, true)) return 1;
  if (!o.gif.empty() && !gif.Write({o.width, o.height, o.lineWidth, o.background}, o.timing)) {
    std::fprintf(stderr, "lumerin: cannot write '%s'\n", o.gif.c_str());
    return 1;
  }
  return 0;
}

int RunGallery(const Args& args) {
  if (args.size() != 2) return UsageError("gallery expects DIR");
  // An option is no folder name: 'gallery --help' must not fill a folder "--help".
  if (args[1].size() > 1 && args[1][0] == '-')
    return UsageError("unknown option '" + args[1] + "'");
  const std::filesystem::path dir = args[1];
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) {
    std::fprintf(stderr, "lumerin: cannot create '%s': %s\n", dir.c_str(), error.message().c_str());
    return 1;
  }
  RenderOptions o;
  o.width = kGalleryWidth;
  o.height = kGalleryHeight;
  o.lineWidth = kGalleryLineWidth;
  ResetCatalogue();
  ApplyLook(o);
  for (int entry = 0; entry < kFractalCount; ++entry) {
    BuildGeneration(entry, FractalCatalogue[entry].maxIter - 1);
    const std::string path = (dir / (FileStem(entry) + ".png")).string();
    if (!WriteImage(o, path, false)) return 1;
    std::printf("%s\n", path.c_str());
  }
  return 0;
}

int RunDigest(const Args& args) {
  int width = 0, height = 0;
  if (args.size() != 3 || args[1] != "--size") return UsageError("digest expects --size WxH");
  if (!ReadSize(args[2], &width, &height))
    return UsageError("bad size '" + args[2] + "' (expected WxH, each 1 to 8192)");
  std::fputs(AllFigureDigests(width, height).c_str(), stdout);
  return 0;
}
