// Reading arbitrary command lines: the argument text behind the program path, in a
// single-byte and in a double-byte code page, the mode switch and the handle numbers.
// Nothing may be read past the terminating zero, every result must point into the line,
// and each step must agree with a plain reading of the rules.
// The same bytes, split at blanks into words, are the Linux display mode's options (a
// first word XSCREENSAVER_WINDOW=TEXT is that variable): an accepted line must leave
// settings the rest of the program can use as they are, a refused one must say why in
// one line, and one dash must read as two.
// The same bytes are also the text of a configuration file: a good file must give every
// output the settings the rest of the program can use, with the command line over it; a
// bad one must name a line it has, in one line.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/command_line.h"
#include "settings/settings.h"
#include "tools/saver_options.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

unsigned char Byte(const char* p) { return static_cast<unsigned char>(*p); }

// One byte per character. Stepping from the terminator stays on it, as CharNextA does.
const char* ByteStep(const char* p) { return *p != '\0' ? p + 1 : p; }

// A double-byte code page: bytes 0x81 .. 0xFE start a character of two bytes, unless
// the text ends after the first one.
const char* DoubleByteStep(const char* p) {
  if (*p == '\0') return p;
  if (Byte(p) >= 0x81 && Byte(p) <= 0xFE && p[1] != '\0') return p + 2;
  return p + 1;
}

// The argument text as the rules say, for one byte per character.
const char* ExpectedArguments(const char* line) {
  const char* p = line;
  if (*p == '"') {
    const char* quote = std::strchr(p + 1, '"');
    p = quote != nullptr ? quote + 1 : p + std::strlen(p);
  } else if (Byte(p) > 32) {
    while (Byte(p) > 32) ++p;
  }
  while (Byte(p) >= 1 && Byte(p) <= 32) ++p;
  return p;
}

// The value of the leading digits modulo 2^32, by the C library for up to 19 digits.
uint32_t ExpectedHandle(const char* text) {
  size_t digits = 0;
  while (text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == 0) return 0;
  if (digits <= 19) {
    char copy[20];
    std::memcpy(copy, text, digits);
    copy[digits] = '\0';
    return static_cast<uint32_t>(std::strtoull(copy, nullptr, 10));
  }
  uint64_t value = 0;
  for (size_t i = 0; i < digits; ++i) value = (value * 10 + (text[i] - '0')) % (1ull << 32);
  return static_cast<uint32_t>(value);
}

bool Inside(const char* p, const char* text, size_t length) {
  return p >= text && p <= text + length;
}

void CheckSwitch(const char* arguments) {
  const size_t length = std::strlen(arguments);
  const ModeDecision decision = ScanSwitch(arguments);
  Require(Inside(decision.rest, arguments, length));

  const char* letter = arguments + std::strspn(arguments, " -/");
  switch (*letter) {
    case '\0':
      Require(decision.mode == SaverMode::kConfigure && decision.owner == 0);
      break;
    case 'S':
    case 's':
      Require(decision.mode == SaverMode::kFullScreen && decision.owner == 0);
      break;
    case 'P':
    case 'p':
    case 'L':
    case 'l':
      Require(decision.mode == SaverMode::kPreview && decision.owner == 0);
      Require(decision.rest == letter + 1 + std::strspn(letter + 1, " "));
      break;
    case 'A':
    case 'a':
      Require(decision.mode == SaverMode::kChangePassword && decision.owner == 0);
      Require(decision.rest == letter + 1 + std::strspn(letter + 1, " "));
      break;
    case 'C':
    case 'c':
      Require(decision.mode == SaverMode::kConfigureOwned);
      // A number counts only right behind a colon.
      Require(decision.owner == (letter[1] == ':' ? ExpectedHandle(letter + 2) : 0));
      break;
    default:
      Require(decision.mode == SaverMode::kRefused);
      break;
  }
}

struct SaverReading {
  bool accepted;
  SaverCommand command;
  SettingsRecord settings;
};

SaverReading ReadSaver(const Args& args, const char* namedWindow,
                       SaverCommandKind kind = SaverCommandKind::kSaver) {
  SaverReading reading = {};
  const std::string refused = ReadSaverCommand(args, namedWindow, &reading.command, kind);
  reading.accepted = refused.empty();
  reading.settings = Settings;
  if (!reading.accepted) Require(refused.find('\n') == std::string::npos);
  return reading;
}

// "-x" for "--x" and back; other words as they are.
std::string OtherSpelling(const std::string& word) {
  if (word.size() > 2 && word[0] == '-' && word[1] == '-' && word[2] != '-') return word.substr(1);
  if (word.size() > 1 && word[0] == '-' && word[1] != '-') return "-" + word;
  return word;
}

void CheckSaverOptions(const uint8_t* data, size_t size) {
  Args args = {"saver"};
  std::string word;
  for (size_t i = 0; i <= size; ++i) {
    const char c = i < size ? static_cast<char>(data[i]) : ' ';
    if (c == ' ' || c == '\t' || c == '\n' || c == '\0') {
      if (!word.empty()) args.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  std::string named;
  const char* namedWindow = nullptr;
  const std::string variable = "XSCREENSAVER_WINDOW=";
  if (args.size() > 1 && args[1].compare(0, variable.size(), variable) == 0) {
    named = args[1].substr(variable.size());
    namedWindow = named.c_str();
    args.erase(args.begin() + 1);
  }

  const SaverReading reading = ReadSaver(args, namedWindow);
  if (reading.accepted && !reading.command.help) {
    // Every value already in its range, the generations inside the fractal's.
    SanitizeSettings();
    Require(std::memcmp(&reading.settings, &Settings, sizeof Settings) == 0);
    const SaverWindowChoice& window = reading.command.window;
    Require(window.kind != SaverWindowKind::kForeign || window.windowId != 0);
    Require(window.kind != SaverWindowKind::kRoot || named.empty());
  }

  Args respelt = args;
  for (size_t i = 1; i < respelt.size(); ++i) respelt[i] = OtherSpelling(respelt[i]);
  const SaverReading other = ReadSaver(respelt, namedWindow);
  Require(other.accepted == reading.accepted);
  if (reading.accepted) {
    Require(other.command.help == reading.command.help);
    Require(other.command.window.kind == reading.command.window.kind);
    Require(other.command.window.windowId == reading.command.window.windowId);
    Require(std::memcmp(&other.settings, &reading.settings, sizeof Settings) == 0);
  }

  // The same words as the wallpaper's: the drawing options read alike, the windows are
  // refused and every output named is a name.
  Args wallpaper = args;
  wallpaper[0] = "wallpaper";
  const SaverReading paper = ReadSaver(wallpaper, nullptr, SaverCommandKind::kWallpaper);
  if (paper.accepted) {
    if (!paper.command.help) {
      SanitizeSettings();
      Require(std::memcmp(&paper.settings, &Settings, sizeof Settings) == 0);
    }
    Require(!paper.command.windowNamed && paper.command.window.kind == SaverWindowKind::kOwn);
    for (const std::string& output : paper.command.outputs) Require(!output.empty());
  }
  // A line without windows or outputs means the same settings to both commands.
  if (paper.accepted && reading.accepted && !reading.command.help && !paper.command.help &&
      !reading.command.windowNamed && paper.command.outputs.empty())
    Require(std::memcmp(&paper.settings, &reading.settings, sizeof Settings) == 0);
  Args paperRespelt = respelt;
  paperRespelt[0] = "wallpaper";
  Require(ReadSaver(paperRespelt, nullptr, SaverCommandKind::kWallpaper).accepted ==
          paper.accepted);
}

void CheckConfigText(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  SaverConfig config;
  const std::string refused = ReadSaverConfig(text, &config);
  if (!refused.empty()) {
    Require(refused.find('\n') == std::string::npos);
    // "LINE: reason", LINE a line of the text.
    const size_t colon = refused.find(": ");
    Require(colon != std::string::npos && colon > 0 && colon <= 9);
    long line = 0;
    for (size_t i = 0; i < colon; ++i) {
      Require(refused[i] >= '0' && refused[i] <= '9');
      line = line * 10 + (refused[i] - '0');
    }
    const long lines = 1 + static_cast<long>(std::count(text.begin(), text.end(), '\n'));
    Require(line >= 1 && line <= lines);
    Require(config.words.empty() && config.sections.empty());
    return;
  }
  // Every section's output, and none, reads well under both commands, with or without a
  // command line over it, and the command line's values win.
  std::vector<std::string> outputs = {""};
  for (const SaverConfig::Section& section : config.sections) {
    Require(!section.output.empty());
    outputs.push_back(section.output);
  }
  for (const std::string& output : outputs) {
    for (SaverCommandKind kind : {SaverCommandKind::kSaver, SaverCommandKind::kWallpaper}) {
      SaverCommand command;
      Require(ReadSaverCommand({"x"}, config, output, nullptr, &command, kind).empty());
      const SettingsRecord read = Settings;
      SanitizeSettings();
      Require(std::memcmp(&read, &Settings, sizeof Settings) == 0);
      Require(ReadSaverCommand({"x", "--pause", "7", "--background", "010203"}, config, output,
                               nullptr, &command, kind)
                  .empty());
      Require(Settings.TimeOut == 7 && Settings.Background == 0x030201);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A buffer of exactly the line and its terminator: a read past it is a fault.
  std::unique_ptr<char[]> line(new char[size + 1]);
  if (size) std::memcpy(line.get(), data, size);
  line[size] = '\0';
  const size_t length = std::strlen(line.get());

  const char* arguments = FindArgumentText(line.get(), ByteStep);
  Require(arguments == ExpectedArguments(line.get()));

  const char* wide = FindArgumentText(line.get(), DoubleByteStep);
  Require(Inside(wide, line.get(), length));
  Require(*wide == '\0' || Byte(wide) > 32);
  // A double-byte character can only hide a path's end, never make one.
  Require(wide >= arguments);

  CheckSwitch(arguments);
  CheckSwitch(wide);
  CheckSwitch(line.get());
  for (const char* p = line.get(); *p != '\0'; ++p)
    Require(ParseHandleNumber(p) == ExpectedHandle(p));

  CheckSaverOptions(data, size);
  CheckConfigText(data, size);
  return 0;
}
