// Reading the display mode's command line as its hosts write it, and the Wayland
// wallpaper's, which takes the same drawing options: XScreenSaver's one-dash
// options beside the tool's two-dash ones, the standard display-mode options, and the
// window that $XSCREENSAVER_WINDOW names; and the text of the configuration file, whose
// keys are the same options, read by the same table with the same checks. No X call and
// no file access, so that bad input ends the program before a display is opened, and so
// that a fuzzer reaches it. Writes Settings and colors; called on the main thread.
#pragma once

#include <string>
#include <vector>

#include "tools/tool.h"
#include "x11/saver_x11.h"

struct SaverCommand {
  bool help = false;  // --help: print the usage and draw nothing
  SaverWindowChoice window = {SaverWindowKind::kOwn, 0};
  // Whether --root, --window or --window-id was given: then the saver draws in X even in
  // a Wayland session.
  bool windowNamed = false;
  std::vector<std::string> outputs;  // the wallpaper's --output names, in order
  // Whether the figures stand still while the machine runs on battery: the wallpaper's
  // default, --battery draw turns it off; the saver always draws.
  bool pauseOnBattery = false;
  bool daemonize = false;  // the lock's --daemonize: return once the session is locked
};

// The saver takes the options of its windows, the wallpaper those of its outputs, the
// lock its --daemonize; all take every drawing option.
enum class SaverCommandKind { kSaver, kWallpaper, kLock };

// Reads args[1] onwards (args[0] names the command) and, for --root without --window-id,
// `namedWindow`, the text of $XSCREENSAVER_WINDOW (nullptr or empty when unset). Puts the
// first run's settings with the options' changes into Settings. Returns an empty string
// when the command line is accepted, else the one-line reason it is refused.
std::string ReadSaverCommand(const Args& args, const char* namedWindow, SaverCommand* command,
                             SaverCommandKind kind = SaverCommandKind::kSaver);

// The configuration file as read: every value as the words of the command line that
// means the same ("fractal = 4" is --fractal 4), the file's own values and those of each
// [output NAME] section. Values that only one command takes (battery) are kept for both
// and left out where the other reads them.
struct SaverConfig {
  struct Section {
    std::string output;
    Args words;
  };
  Args words;                     // the file's own values, in the file's order
  std::vector<Section> sections;  // in the file's order; a name may come more than once
};

// Reads the text of a configuration file into `config`: one "key = value" a line, the keys
// the long options without their dashes ("slideshow" alone, as it takes no value), "#"
// to the end of the line a comment, "[output NAME]" the start of a section. Returns an
// empty string when every line is good, else "LINE: what is wrong" for the first bad line
// (counted from 1), and then `config` holds nothing.
std::string ReadSaverConfig(const std::string& text, SaverConfig* config);

// ReadSaverCommand over the file's own values, then the values of its sections for output
// `output` (none when empty), then the command line: a section wins over the file's own
// values, the command line over both. The file's values were checked as it was read, so
// what is refused here is the command line.
std::string ReadSaverCommand(const Args& args, const SaverConfig& config, const std::string& output,
                             const char* namedWindow, SaverCommand* command,
                             SaverCommandKind kind = SaverCommandKind::kSaver);

// What completions and help need to know of an option: its name with two dashes, whether
// a command takes it on its command line, whether the file takes it as a key, and the word
// the usage writes for its value (empty for none).
struct SaverOptionInfo {
  const char* name;
  bool saver, wallpaper, lock, file;
  const char* value;
};
std::vector<SaverOptionInfo> SaverOptionList();
