#include "tools/saver_options.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "core/catalogue.h"
#include "render/palette.h"
#include "settings/settings.h"

namespace {

constexpr uint32_t kMaxWindowId = 0xFFFFFFFF;  // X resource ids are 32-bit values
// Larger than every entry's count of generations: a longer number means the same.
constexpr long kPastEveryGeneration = 1000000;

enum class OptionId {
  kRoot,
  kWindow,
  kWindowId,
  kSlideshow,
  kFractal,
  kFrom,
  kTo,
  kPause,
  kWidth,
  kAngle,
  kPalette,
  kBackground,
  kHelp,
  kOutput,
  kIgnored,  // a standard display-mode option that means nothing here
};

enum class Value { kNone, kNumber, kGeneration, kColor, kWindowId, kName };

// Which commands take an option: the windows are the saver's, the outputs the wallpaper's.
enum Takers : uint8_t { kSaverOnly = 1, kWallpaperOnly = 2, kBoth = 3 };

struct Option {
  const char* name;
  OptionId id;
  Value value;
  long min, max;  // kNumber only
  uint8_t takers = kBoth;
};

const Option kOptions[] = {
    {"--root", OptionId::kRoot, Value::kNone, 0, 0, kSaverOnly},
    {"--window", OptionId::kWindow, Value::kNone, 0, 0, kSaverOnly},
    {"--window-id", OptionId::kWindowId, Value::kWindowId, 0, 0, kSaverOnly},
    {"--output", OptionId::kOutput, Value::kName, 0, 0, kWallpaperOnly},
    {"--slideshow", OptionId::kSlideshow, Value::kNone, 0, 0},
    {"--fractal", OptionId::kFractal, Value::kNumber, 0, kFractalCount - 1},
    {"--from", OptionId::kFrom, Value::kGeneration, 0, 0},
    {"--to", OptionId::kTo, Value::kGeneration, 0, 0},
    {"--pause", OptionId::kPause, Value::kNumber, 0, kTimeOutMaxTenths},
    {"--width", OptionId::kWidth, Value::kNumber, kLineWidthMinPixels, kLineWidthMaxPixels},
    {"--angle", OptionId::kAngle, Value::kNumber, 0, kAngleMaxDegrees},
    {"--palette", OptionId::kPalette, Value::kNumber, 0, kPaletteCount - 1},
    {"--background", OptionId::kBackground, Value::kColor, 0, 0},
    {"--help", OptionId::kHelp, Value::kNone, 0, 0},
    // The drawing takes the visual and colormap of the window it draws into, and shows
    // no frame rate.
    {"--visual", OptionId::kIgnored, Value::kName, 0, 0},
    {"--install", OptionId::kIgnored, Value::kNone, 0, 0},
    {"--mono", OptionId::kIgnored, Value::kNone, 0, 0},
    {"--fps", OptionId::kIgnored, Value::kNone, 0, 0},
    {"--no-fps", OptionId::kIgnored, Value::kNone, 0, 0},
};

const char kWindowIdRange[] = "expected a window id, decimal or 0x hexadecimal, not 0";

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

// A generation as the settings dialog numbers them, from 1, written with any number of
// digits: one past the fractal's last generation means the last, however long it is.
bool ReadGeneration(const std::string& text, long* value) {
  if (text.empty()) return false;
  long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = std::min(v * 10 + (c - '0'), kPastEveryGeneration);
  }
  if (v < 1) return false;
  *value = v;
  return true;
}

// The option of command `kind` that `word` spells, with one dash or two; nullptr for none.
const Option* FindOption(const std::string& word, SaverCommandKind kind) {
  if (word.size() < 2 || word[0] != '-') return nullptr;
  const std::string name = word[1] == '-' ? word : "-" + word;
  const uint8_t taker = kind == SaverCommandKind::kWallpaper ? kWallpaperOnly : kSaverOnly;
  for (const Option& option : kOptions) {
    if (name == option.name && (option.takers & taker) != 0) return &option;
  }
  return nullptr;
}

}  // namespace

std::string ReadSaverCommand(const Args& args, const char* namedWindow, SaverCommand* command,
                             SaverCommandKind kind) {
  SetDefaultSettings();
  bool root = false, windowGiven = false, backgroundGiven = false;
  bool fromGiven = false, toGiven = false;
  long from = 1, to = 1, palette = -1;
  uint32_t windowId = 0, background = 0;
  *command = SaverCommand();

  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& word = args[i];
    const Option* option = FindOption(word, kind);
    if (option == nullptr) {
      if (word.empty() || word[0] != '-') return "unexpected argument '" + word + "'";
      return "unknown option '" + word + "' (try 'lumerin " +
             (kind == SaverCommandKind::kWallpaper ? "wallpaper" : "saver") + " --help')";
    }
    std::string value;
    if (option->value != Value::kNone) {
      if (i + 1 >= args.size()) return word + " needs a value";
      value = args[++i];
    }
    long number = 0;
    switch (option->value) {
      case Value::kNumber:
        if (!ReadNumber(value, option->max, &number) || number < option->min)
          return "bad " + word + " '" + value + "' (expected " + std::to_string(option->min) +
                 " to " + std::to_string(option->max) + ")";
        break;
      case Value::kGeneration:
        if (!ReadGeneration(value, &number))
          return "bad " + word + " '" + value + "' (expected a generation from 1)";
        break;
      case Value::kColor:
        if (!ReadColor(value, &background))
          return "bad " + word + " '" + value + "' (expected RRGGBB)";
        break;
      case Value::kWindowId:
        if (!ReadWindowId(value, &windowId))
          return "bad " + word + " '" + value + "' (" + kWindowIdRange + ")";
        break;
      case Value::kName:
        if (option->id == OptionId::kOutput && value.empty())
          return "bad " + word + " '' (expected an output's name)";
        break;
      case Value::kNone:
        break;
    }

    // A later option of a pair that exclude each other wins, as X resources do.
    switch (option->id) {
      case OptionId::kHelp:
        command->help = true;
        return "";
      case OptionId::kRoot:
        root = true;
        command->windowNamed = true;
        break;
      case OptionId::kWindow:
        root = false;
        command->windowNamed = true;
        break;
      case OptionId::kWindowId:
        windowGiven = true;
        command->windowNamed = true;
        break;
      case OptionId::kOutput:
        command->outputs.push_back(value);
        break;
      case OptionId::kSlideshow:
        Settings.DefaultMode = 1;
        break;
      case OptionId::kFractal:
        Settings.DefaultMode = 0;
        Settings.NumFractal = static_cast<int32_t>(number);
        break;
      case OptionId::kFrom:
        from = number;
        fromGiven = true;
        break;
      case OptionId::kTo:
        to = number;
        toGiven = true;
        break;
      case OptionId::kPause:
        Settings.TimeOut = static_cast<int32_t>(number);
        break;
      case OptionId::kWidth:
        Settings.LineWidth = static_cast<int32_t>(number);
        break;
      case OptionId::kAngle:
        Settings.Angle = static_cast<int32_t>(number);
        break;
      case OptionId::kPalette:
        palette = number;
        break;
      case OptionId::kBackground:
        backgroundGiven = true;
        break;
      case OptionId::kIgnored:
        break;
    }
  }

  // The generations of the fixed fractal, as the settings dialog keeps them (from 0, shown
  // as 1). The option file's spin buttons offer up to the most any entry has, for every
  // entry, so a number past this one's last means its last; a From after To lifts To to
  // it, as the dialog's From list does. The slideshow picks its own generation and never
  // reads these.
  const long last = FractalEntry(Settings.NumFractal).maxIter;
  const long first = std::min(fromGiven ? from : 1, last);
  const long upTo = std::max(first, std::min(toGiven ? to : last, last));
  Settings.iterFrom = static_cast<int32_t>(first - 1);
  Settings.iterTo = static_cast<int32_t>(upTo - 1);
  if (palette >= 0) {
    Settings.CurPalette = static_cast<int32_t>(palette);
    ApplyPalette(Settings.CurPalette);
  }
  if (backgroundGiven) Settings.Background = background;

  if (windowGiven) {
    // The settings program's preview appends the window to a command that holds --root.
    command->window = {SaverWindowKind::kForeign, windowId};
  } else if (root) {
    command->window = {SaverWindowKind::kRoot, 0};
    // The window the host made for its display modes: XScreenSaver and MATE write it in
    // hexadecimal, xsecurelock in decimal.
    if (namedWindow != nullptr && *namedWindow != '\0') {
      if (!ReadWindowId(namedWindow, &command->window.windowId))
        return std::string("bad $XSCREENSAVER_WINDOW '") + namedWindow + "' (" + kWindowIdRange +
               ")";
      command->window.kind = SaverWindowKind::kForeign;
    }
  }
  return "";
}
