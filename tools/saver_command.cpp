// lumerin saver: the display mode for XScreenSaver and the other hosts that run its
// display modes, or a window of its own, or in a Wayland session the figures over every
// output; lumerin wallpaper: the figures on the outputs' background. The options are read
// first (saver_options.cpp), with no X or Wayland call, so that bad input ends the program
// before any window is touched; the drawing itself is x11/saver_x11.cpp's and
// wayland/saver_wayland.cpp's.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "wayland/saver_wayland.h"
#include "x11/saver_x11.h"
#include "tools/saver_options.h"
#include "tools/tool.h"

namespace {

const char kUsage[] =
    "usage: lumerin saver [OPTION]...\n"
    "Every option may be written with one dash or with two: -root is --root.\n"
    "Where it draws:\n"
    "  --root               into $XSCREENSAVER_WINDOW (decimal, or hexadecimal with 0x);\n"
    "                       without it, into the virtual root a window manager made, or\n"
    "                       else into the root window\n"
    "  --window-id ID       into window ID (decimal, or hexadecimal with 0x); wins over\n"
    "                       --root, as the settings program's preview needs\n"
    "  --window             into a window of its own, 800 x 600 (Q or Escape closes it);\n"
    "                       the default outside a Wayland session, and the end of an\n"
    "                       earlier --root\n"
    "  In a Wayland session ($WAYLAND_DISPLAY or $WAYLAND_SOCKET set) and without any of\n"
    "  these three: over every output, on the layer shell's overlay layer, until a key,\n"
    "  a button or moving the pointer ends it.\n"
    "What it draws:\n"
    "  --slideshow          a random fractal, palette and width per drawing (default)\n"
    "  --fractal N          catalogue entry N (0-15, see 'lumerin list') again and again\n"
    "  --from G, --to G     its generations G, counted from 1 as the settings dialog\n"
    "                       shows them (default: 1 to the fractal's last). A G past the\n"
    "                       fractal's last generation means the last; a --from after\n"
    "                       --to moves --to up to it; the slideshow ignores both\n"
    "  --pause TENTHS       tenths of a second after each drawing, 0-50 (default 20)\n"
    "  --width PIXELS       line width of the fixed fractal, 1-5 (default 2)\n"
    "  --angle DEGREES      start heading of the fixed fractal, 0-360 (default 0)\n"
    "  --palette N          colours of the fixed fractal: 0 Blue, 1 Autumn (default),\n"
    "                       2 Raspberry, 3 White gradient, 4 New Year\n"
    "  --background RRGGBB  background colour (default 000000)\n"
    "Taken, as every display mode takes them, and ignored: the drawing uses the visual and\n"
    "colours of its window and shows no frame rate:\n"
    "  --visual NAME, --install, --mono, --fps, --no-fps\n"
    "  --help               this text\n"
    "A first argument that is an option also runs the saver: 'lumerin -root' is\n"
    "'lumerin saver -root', which is how the hosts start it.\n"
    "Exit status: 0 when stopped (a signal, a key, its window or display gone), 1 for no X\n"
    "display, an X error or a Wayland compositor without the layer shell, 2 for a refused\n"
    "command line or a window id that names no window.\n";

const char kWallpaperUsage[] =
    "usage: lumerin wallpaper [OPTION]... [--output NAME]...\n"
    "A live wallpaper for Wayland compositors with the layer shell (sway, Hyprland, river,\n"
    "Wayfire, labwc, niri, COSMIC, KDE Plasma): a figure of its own on the background of\n"
    "each output, drawn at the output's scale, until SIGTERM or SIGINT.\n"
    "  --output NAME        only on output NAME (as 'swaymsg -t get_outputs' names them);\n"
    "                       again for more outputs. Default: every output, and every one\n"
    "                       that is added while it runs\n"
    "What it draws: the options of 'lumerin saver --help' (--slideshow, --fractal, --from,\n"
    "--to, --pause, --width, --angle, --palette, --background), by the same names and with\n"
    "the same defaults; --visual, --install, --mono, --fps and --no-fps are ignored.\n"
    "  --help               this text\n"
    "Exit status: 0 when stopped (a signal, the compositor gone), 1 for no Wayland display\n"
    "or a compositor without the layer shell, 2 for a refused command line or an --output\n"
    "that names no output.\n";

}  // namespace

int RunSaver(const Args& args) {
  SaverCommand command;
  const std::string refused = ReadSaverCommand(args, std::getenv("XSCREENSAVER_WINDOW"), &command);
  if (!refused.empty()) return UsageError(refused);
  if (command.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  // In a Wayland session without a window named, the figures go over every output.
  if (!command.windowNamed && WaylandSessionNamed()) return RunWayland(WaylandMode::kSaver, {});
  return RunSaverX11(command.window);
}

int RunWallpaper(const Args& args) {
  SaverCommand command;
  const std::string refused =
      ReadSaverCommand(args, nullptr, &command, SaverCommandKind::kWallpaper);
  if (!refused.empty()) return UsageError(refused);
  if (command.help) {
    std::fputs(kWallpaperUsage, stdout);
    return 0;
  }
  return RunWayland(WaylandMode::kWallpaper, command.outputs);
}
