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
  kBattery,
  kHelp,
  kOutput,
  kDaemonize,
  kIgnored,  // a standard display-mode option that means nothing here
};

enum class Value { kNone, kNumber, kGeneration, kColor, kWindowId, kName, kBatteryRule };

// Which commands take an option on their command line: the windows are the saver's, the
// outputs and the battery rule the wallpaper's, the return once locked the lock's; the
// drawing options are all three's. kFile: a key of the configuration file.
enum Takers : uint8_t {
  kSaverOnly = 1,
  kWallpaperOnly = 2,
  kBoth = 3,
  kFile = 4,
  kLockOnly = 8,
  kDrawing = kBoth | kLockOnly,
};

struct Option {
  const char* name;
  OptionId id;
  Value value;
  const char* meta;  // the usage's word for the value
  long min, max;     // kNumber only
  uint8_t takers;
};

const Option kOptions[] = {
    {"--root", OptionId::kRoot, Value::kNone, "", 0, 0, kSaverOnly},
    {"--window", OptionId::kWindow, Value::kNone, "", 0, 0, kSaverOnly},
    {"--window-id", OptionId::kWindowId, Value::kWindowId, "ID", 0, 0, kSaverOnly},
    {"--output", OptionId::kOutput, Value::kName, "NAME", 0, 0, kWallpaperOnly},
    {"--slideshow", OptionId::kSlideshow, Value::kNone, "", 0, 0, kDrawing | kFile},
    {"--fractal", OptionId::kFractal, Value::kNumber, "N", 0, kFractalCount - 1, kDrawing | kFile},
    {"--from", OptionId::kFrom, Value::kGeneration, "G", 0, 0, kDrawing | kFile},
    {"--to", OptionId::kTo, Value::kGeneration, "G", 0, 0, kDrawing | kFile},
    {"--pause", OptionId::kPause, Value::kNumber, "TENTHS", 0, kTimeOutMaxTenths, kDrawing | kFile},
    {"--width", OptionId::kWidth, Value::kNumber, "PIXELS", kLineWidthMinPixels,
     kLineWidthMaxPixels, kDrawing | kFile},
    {"--angle", OptionId::kAngle, Value::kNumber, "DEGREES", 0, kAngleMaxDegrees, kDrawing | kFile},
    {"--palette", OptionId::kPalette, Value::kNumber, "N", 0, kPaletteCount - 1, kDrawing | kFile},
    {"--background", OptionId::kBackground, Value::kColor, "RRGGBB", 0, 0, kDrawing | kFile},
    {"--battery", OptionId::kBattery, Value::kBatteryRule, "draw|pause", 0, 0,
     kWallpaperOnly | kFile},
    {"--daemonize", OptionId::kDaemonize, Value::kNone, "", 0, 0, kLockOnly},
    {"--help", OptionId::kHelp, Value::kNone, "", 0, 0, kDrawing},
    // The drawing takes the visual and colormap of the window it draws into, and shows
    // no frame rate.
    {"--visual", OptionId::kIgnored, Value::kName, "NAME", 0, 0, kBoth},
    {"--install", OptionId::kIgnored, Value::kNone, "", 0, 0, kBoth},
    {"--mono", OptionId::kIgnored, Value::kNone, "", 0, 0, kBoth},
    {"--fps", OptionId::kIgnored, Value::kNone, "", 0, 0, kBoth},
    {"--no-fps", OptionId::kIgnored, Value::kNone, "", 0, 0, kBoth},
};

uint8_t TakerOf(SaverCommandKind kind) {
  switch (kind) {
    case SaverCommandKind::kWallpaper:
      return kWallpaperOnly;
    case SaverCommandKind::kLock:
      return kLockOnly;
    case SaverCommandKind::kSaver:
      break;
  }
  return kSaverOnly;
}

const char* CommandName(SaverCommandKind kind) {
  switch (kind) {
    case SaverCommandKind::kWallpaper:
      return "wallpaper";
    case SaverCommandKind::kLock:
      return "lock";
    case SaverCommandKind::kSaver:
      break;
  }
  return "saver";
}

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
  for (const Option& option : kOptions) {
    if (name == option.name && (option.takers & TakerOf(kind)) != 0) return &option;
  }
  return nullptr;
}

// The option a key of the configuration file names, whichever command takes it; nullptr
// when no option has that name, `*known` set when one has but the file does not take it.
const Option* FindKey(const std::string& key, bool* known) {
  *known = false;
  for (const Option& option : kOptions) {
    if (key == option.name + 2) {
      if ((option.takers & kFile) != 0) return &option;
      *known = true;
    }
  }
  return nullptr;
}

// What a value read for an option means.
struct OptionValue {
  long number = 0;
  uint32_t color = 0;
  uint32_t windowId = 0;
  bool drawOnBattery = false;
};

// Checks `value` of `option`, which `spelled` names as the user wrote it (a word of the
// command line, or a key of the file). Returns an empty string when it is good, else the
// reason it is refused.
std::string CheckValue(const Option& option, const std::string& spelled, const std::string& value,
                       OptionValue* read) {
  switch (option.value) {
    case Value::kNumber:
      if (!ReadNumber(value, option.max, &read->number) || read->number < option.min)
        return "bad " + spelled + " '" + value + "' (expected " + std::to_string(option.min) +
               " to " + std::to_string(option.max) + ")";
      break;
    case Value::kGeneration:
      if (!ReadGeneration(value, &read->number))
        return "bad " + spelled + " '" + value + "' (expected a generation from 1)";
      break;
    case Value::kColor:
      if (!ReadColor(value, &read->color))
        return "bad " + spelled + " '" + value + "' (expected RRGGBB)";
      break;
    case Value::kWindowId:
      if (!ReadWindowId(value, &read->windowId))
        return "bad " + spelled + " '" + value + "' (" + kWindowIdRange + ")";
      break;
    case Value::kName:
      if (option.id == OptionId::kOutput && value.empty())
        return "bad " + spelled + " '' (expected an output's name)";
      break;
    case Value::kBatteryRule:
      if (value != "draw" && value != "pause")
        return "bad " + spelled + " '" + value + "' (expected draw or pause)";
      read->drawOnBattery = value == "draw";
      break;
    case Value::kNone:
      break;
  }
  return "";
}

// The words of the file's values that command `kind` takes: the file's own, then those
// of its sections for `output`.
Args ConfigWords(const SaverConfig& config, const std::string& output, SaverCommandKind kind) {
  Args words;
  auto take = [&](const Args& from) {
    // The words are pairs of an option and its value, or an option alone, as the file's
    // reading wrote them.
    for (size_t i = 0; i < from.size(); ++i) {
      bool known = false;
      const Option* option = FindKey(from[i].substr(2), &known);
      const bool valued = option != nullptr && option->value != Value::kNone && i + 1 < from.size();
      if (FindOption(from[i], kind) != nullptr) {
        words.push_back(from[i]);
        if (valued) words.push_back(from[i + 1]);
      }
      if (valued) ++i;
    }
  };
  take(config.words);
  if (!output.empty()) {
    for (const SaverConfig::Section& section : config.sections) {
      if (section.output == output) take(section.words);
    }
  }
  return words;
}

// Spaces and tabs off both ends.
std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// One line of the file, without its comment, into `words` (or a new section). Returns the
// reason it is refused, or an empty string.
std::string ReadConfigLine(const std::string& line, SaverConfig* config, Args** words) {
  const std::string text = Trimmed(line.substr(0, line.find('#')));
  if (text.empty()) return "";
  if (text[0] == '[') {
    const std::string inside = text.back() == ']' ? Trimmed(text.substr(1, text.size() - 2)) : "";
    const std::string kind = inside.substr(0, inside.find_first_of(" \t"));
    const std::string name = Trimmed(inside.substr(kind.size()));
    if (text.back() != ']' || Trimmed(kind) != "output" || name.empty())
      return "bad section '" + text + "' (expected [output NAME])";
    config->sections.push_back({name, {}});
    *words = &config->sections.back().words;
    return "";
  }
  const size_t equals = text.find('=');
  const std::string key = Trimmed(text.substr(0, equals));
  bool known = false;
  const Option* option = FindKey(key, &known);
  if (option == nullptr) {
    if (known && key == "output") return "'output' is no key: a section [output NAME] is";
    if (known) return "'" + key + "' is no key of the file: it goes on the command line";
    return "unknown key '" + key + "'";
  }
  if (option->value == Value::kNone) {
    if (equals != std::string::npos) return key + " takes no value: write it alone";
    (*words)->push_back(option->name);
    return "";
  }
  const std::string value = equals == std::string::npos ? "" : Trimmed(text.substr(equals + 1));
  if (value.empty()) return key + " needs a value: " + key + " = " + option->meta;
  OptionValue read;
  const std::string refused = CheckValue(*option, key, value, &read);
  if (!refused.empty()) return refused;
  (*words)->push_back(option->name);
  (*words)->push_back(value);
  return "";
}

}  // namespace

std::string ReadSaverCommand(const Args& args, const char* namedWindow, SaverCommand* command,
                             SaverCommandKind kind) {
  SetDefaultSettings();
  bool root = false, windowGiven = false, backgroundGiven = false;
  bool fromGiven = false, toGiven = false, drawOnBattery = false;
  long from = 1, to = 1, palette = -1;
  uint32_t windowId = 0, background = 0;
  *command = SaverCommand();

  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& word = args[i];
    const Option* option = FindOption(word, kind);
    if (option == nullptr) {
      if (word.empty() || word[0] != '-') return "unexpected argument '" + word + "'";
      return "unknown option '" + word + "' (try 'lumerin " + CommandName(kind) + " --help')";
    }
    std::string value;
    if (option->value != Value::kNone) {
      if (i + 1 >= args.size()) return word + " needs a value";
      value = args[++i];
    }
    OptionValue read;
    const std::string refused = CheckValue(*option, word, value, &read);
    if (!refused.empty()) return refused;
    const long number = read.number;

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
        windowId = read.windowId;
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
        background = read.color;
        break;
      case OptionId::kBattery:
        drawOnBattery = read.drawOnBattery;
        break;
      case OptionId::kDaemonize:
        command->daemonize = true;
        break;
      case OptionId::kIgnored:
        break;
    }
  }
  command->pauseOnBattery = kind == SaverCommandKind::kWallpaper && !drawOnBattery;

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

std::string ReadSaverConfig(const std::string& text, SaverConfig* config) {
  *config = SaverConfig();
  Args* words = &config->words;
  size_t number = 0;
  // A byte order mark, which some editors write first, is no part of the first key.
  const std::string mark = "\xef\xbb\xbf";
  for (size_t start = text.compare(0, mark.size(), mark) == 0 ? mark.size() : 0;
       start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    ++number;
    const std::string refused = ReadConfigLine(line, config, &words);
    if (!refused.empty()) {
      *config = SaverConfig();
      return std::to_string(number) + ": " + refused;
    }
  }
  return "";
}

std::string ReadSaverCommand(const Args& args, const SaverConfig& config, const std::string& output,
                             const char* namedWindow, SaverCommand* command,
                             SaverCommandKind kind) {
  Args words = ConfigWords(config, output, kind);
  words.insert(words.begin(), args.empty() ? std::string() : args[0]);
  if (args.size() > 1) words.insert(words.end(), args.begin() + 1, args.end());
  return ReadSaverCommand(words, namedWindow, command, kind);
}

std::vector<SaverOptionInfo> SaverOptionList() {
  std::vector<SaverOptionInfo> list;
  for (const Option& option : kOptions) {
    list.push_back({option.name, (option.takers & kSaverOnly) != 0,
                    (option.takers & kWallpaperOnly) != 0, (option.takers & kLockOnly) != 0,
                    (option.takers & kFile) != 0, option.meta});
  }
  return list;
}
