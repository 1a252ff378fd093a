// lumerin saver: the display mode for XScreenSaver, or a window of its own. The options
// are read here, with no X call, so that bad input ends the program before any window is
// touched; the drawing itself is saver/saver_x11.cpp's.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/catalogue.h"
#include "render/palette.h"
#include "saver/saver_x11.h"
#include "settings/settings.h"
#include "tools/tool.h"

namespace {

constexpr uint32_t kMaxWindowId = 0xFFFFFFFF;  // X resource ids are 32-bit values

const char kUsage[] =
    "usage: lumerin saver [--root | --window-id ID] [--slideshow | --fractal N]\n"
    "                     [--from G] [--to G] [--pause TENTHS] [--width PIXELS]\n"
    "                     [--angle DEGREES] [--palette N] [--background RRGGBB]\n"
    "  --root               draw into $XSCREENSAVER_WINDOW, or the root window\n"
    "  --window-id ID       draw into window ID (decimal, or hexadecimal with 0x)\n"
    "                       without either: a window of its own (Q or Escape closes it)\n"
    "  --slideshow          a random fractal, palette and width per drawing (default)\n"
    "  --fractal N          catalogue entry N (0-15, see 'lumerin list') again and again\n"
    "  --from G, --to G     its generations G, counted from 1 as the settings dialog\n"
    "                       shows them (default: 1 to the fractal's last)\n"
    "  --pause TENTHS       tenths of a second after each drawing, 0-50 (default 20)\n"
    "  --width PIXELS       line width, 1-5 (default 2)\n"
    "  --angle DEGREES      start heading of the fixed fractal, 0-360 (default 0)\n"
    "  --palette N          0 Blue, 1 Autumn (default), 2 Raspberry, 3 White gradient,\n"
    "                       4 New Year\n"
    "  --background RRGGBB  background colour (default 000000)\n"
    "  --help               this text\n"
    "A first argument that is an option also runs the saver: 'lumerin --root' is\n"
    "'lumerin saver --root', which is how XScreenSaver starts it.\n";

// The options that take a number, with the range each accepts.
struct NumberOption {
  const char* name;
  long min, max;
};

enum NumberIndex { kFractal, kFrom, kTo, kPause, kWidth, kAngle, kPalette, kNumberCount };

constexpr NumberOption kNumberOptions[kNumberCount] = {
    {"--fractal", 0, kFractalCount - 1},
    // Generations as the dialog numbers them, up to the most any entry has (MostGenerations);
    // a fixed fractal's are checked against its own once it is known.
    {"--from", 1, 0},
    {"--to", 1, 0},
    {"--pause", 0, kTimeOutMaxTenths},
    {"--width", kLineWidthMinPixels, kLineWidthMaxPixels},
    {"--angle", 0, kAngleMaxDegrees},
    {"--palette", 0, kPaletteCount - 1},
};

// Decimal, or hexadecimal after "0x" as X tools print window ids; 1 .. kMaxWindowId.
bool ReadWindowId(const std::string& text, uint32_t* id) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const size_t first = hex ? 2 : 0;
  const unsigned base = hex ? 16 : 10;
  if (text.size() == first || text.size() - first > (hex ? 8u : 10u)) return false;
  uint64_t value = 0;
  for (size_t i = first; i < text.size(); ++i) {
    const char c = text[i];
    unsigned digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<unsigned>(c - '0');
    else if (hex && c >= 'a' && c <= 'f')
      digit = static_cast<unsigned>(c - 'a' + 10);
    else if (hex && c >= 'A' && c <= 'F')
      digit = static_cast<unsigned>(c - 'A' + 10);
    else
      return false;
    value = value * base + digit;
  }
  if (value == 0 || value > kMaxWindowId) return false;
  *id = static_cast<uint32_t>(value);
  return true;
}

// The largest number of generations any catalogue entry offers.
long MostGenerations() {
  long most = 0;
  for (const FractalRecord& entry : FractalCatalogue) most = std::max<long>(most, entry.maxIter);
  return most;
}

const char kWindowIdRange[] = "expected a window id, decimal or 0x hexadecimal, not 0";

}  // namespace

int RunSaver(const Args& args) {
  long numbers[kNumberCount] = {};
  bool given[kNumberCount] = {};
  bool root = false, slideshow = false, windowGiven = false;
  uint32_t windowId = 0, background = 0;

  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == "--root") {
      root = true;
      continue;
    }
    if (a == "--slideshow") {
      slideshow = true;
      continue;
    }
    if (a.empty() || a[0] != '-') return UsageError("unexpected argument '" + a + "'");
    int number = -1;
    for (int n = 0; n < kNumberCount; ++n) {
      if (a == kNumberOptions[n].name) number = n;
    }
    if (number < 0 && a != "--window-id" && a != "--background")
      return UsageError("unknown option '" + a + "' (try 'lumerin saver --help')");
    if (i + 1 >= args.size()) return UsageError(a + " needs a value");
    const std::string& v = args[++i];
    if (a == "--window-id") {
      if (!ReadWindowId(v, &windowId))
        return UsageError("bad --window-id '" + v + "' (" + kWindowIdRange + ")");
      windowGiven = true;
    } else if (a == "--background") {
      if (!ReadColor(v, &background))
        return UsageError("bad --background '" + v + "' (expected RRGGBB)");
    } else {
      const NumberOption& o = kNumberOptions[number];
      const long max = number == kFrom || number == kTo ? MostGenerations() : o.max;
      long value = 0;
      if (!ReadNumber(v, max, &value) || value < o.min)
        return UsageError("bad " + a + " '" + v + "' (expected " + std::to_string(o.min) + " to " +
                          std::to_string(max) + ")");
      numbers[number] = value;
      given[number] = true;
    }
  }

  if (root && windowGiven) return UsageError("--root and --window-id exclude each other");
  if (slideshow && given[kFractal])
    return UsageError("--slideshow and --fractal exclude each other");

  // The first run's settings, then what the options change. Generations are kept as the
  // dialog stores them: from 0, shown as 1.
  SetDefaultSettings();
  if (given[kFractal]) {
    Settings.DefaultMode = 0;
    Settings.NumFractal = static_cast<int32_t>(numbers[kFractal]);
  }
  // The fixed fractal's generations must be its own. The slideshow picks its own
  // generation, so there they only need to be generations some fractal has.
  const bool fixed = Settings.DefaultMode == 0;
  const int32_t last = FractalEntry(Settings.NumFractal).maxIter;
  for (int n : {kFrom, kTo}) {
    if (fixed && given[n] && numbers[n] > last)
      return UsageError("bad " + std::string(kNumberOptions[n].name) + " '" +
                        std::to_string(numbers[n]) + "' (fractal " +
                        std::to_string(Settings.NumFractal) + " has generations 1 to " +
                        std::to_string(last) + ")");
  }
  if (given[kFrom] && given[kTo] && numbers[kFrom] > numbers[kTo])
    return UsageError("--from " + std::to_string(numbers[kFrom]) + " is after --to " +
                      std::to_string(numbers[kTo]));
  if (fixed) {
    Settings.iterFrom = given[kFrom] ? static_cast<int32_t>(numbers[kFrom]) - 1 : 0;
    Settings.iterTo = given[kTo] ? static_cast<int32_t>(numbers[kTo]) - 1 : last - 1;
  }
  if (given[kPause]) Settings.TimeOut = static_cast<int32_t>(numbers[kPause]);
  if (given[kWidth]) Settings.LineWidth = static_cast<int32_t>(numbers[kWidth]);
  if (given[kAngle]) Settings.Angle = static_cast<int32_t>(numbers[kAngle]);
  if (given[kPalette]) {
    Settings.CurPalette = static_cast<int32_t>(numbers[kPalette]);
    ApplyPalette(Settings.CurPalette);
  }
  Settings.Background = background;

  SaverWindowChoice choice = {SaverWindowKind::kOwn, 0};
  if (windowGiven) {
    choice = {SaverWindowKind::kForeign, windowId};
  } else if (root) {
    choice = {SaverWindowKind::kRoot, 0};
    // XScreenSaver names the window it made for its display modes here.
    const char* named = std::getenv("XSCREENSAVER_WINDOW");
    if (named != nullptr && *named != '\0') {
      if (!ReadWindowId(named, &choice.windowId))
        return UsageError(std::string("bad $XSCREENSAVER_WINDOW '") + named + "' (" +
                          kWindowIdRange + ")");
      choice.kind = SaverWindowKind::kForeign;
    }
  }
  return RunSaverX11(choice);
}
