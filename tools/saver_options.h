// Reading the display mode's command line as its hosts write it, and the Wayland
// wallpaper's, which takes the same drawing options: XScreenSaver's one-dash
// options beside the tool's two-dash ones, the standard display-mode options, and the
// window that $XSCREENSAVER_WINDOW names. No X call, so that bad input ends the program
// before a display is opened, and so that a fuzzer reaches it. Writes Settings and
// colors; called once, on the main thread, before the mode starts.
#pragma once

#include <string>
#include <vector>

#include "x11/saver_x11.h"
#include "tools/tool.h"

struct SaverCommand {
  bool help = false;  // --help: print the usage and draw nothing
  SaverWindowChoice window = {SaverWindowKind::kOwn, 0};
  // Whether --root, --window or --window-id was given: then the saver draws in X even in
  // a Wayland session.
  bool windowNamed = false;
  std::vector<std::string> outputs;  // the wallpaper's --output names, in order
};

// The saver takes the options of its windows, the wallpaper those of its outputs; both
// take every drawing option.
enum class SaverCommandKind { kSaver, kWallpaper };

// Reads args[1] onwards (args[0] names the command) and, for --root without --window-id,
// `namedWindow`, the text of $XSCREENSAVER_WINDOW (nullptr or empty when unset). Puts the
// first run's settings with the options' changes into Settings. Returns an empty string
// when the command line is accepted, else the one-line reason it is refused.
std::string ReadSaverCommand(const Args& args, const char* namedWindow, SaverCommand* command,
                             SaverCommandKind kind = SaverCommandKind::kSaver);
