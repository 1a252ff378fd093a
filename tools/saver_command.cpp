// lumerin saver: the display mode for XScreenSaver and the other hosts that run its
// display modes, or a window of its own, or in a Wayland session the figures over every
// output; lumerin wallpaper: the figures on the outputs' background; lumerin lock: the
// figures on a locked Wayland session; lumerin power: the battery as the wallpaper sees it. The
// configuration file and the options are read first (saver_setup.cpp), with no X or Wayland call,
// so that bad input ends the program before any window is touched; the drawing itself is
// x11/saver_x11.cpp's and wayland/saver_wayland.cpp's.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/linux_modes_posix.h"
#include "tools/saver_options.h"
#include "tools/saver_setup.h"
#include "tools/tool.h"
#include "wayland/battery_wayland.h"
#include "wayland/saver_wayland.h"
#include "x11/saver_x11.h"

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
    "The configuration file $XDG_CONFIG_HOME/lumerin/config (~/.config/lumerin/config)\n"
    "holds the same drawing options, one 'key = value' a line ('fractal = 4', 'slideshow');\n"
    "the command line wins over it. Changed while the saver runs (or on SIGHUP), it is\n"
    "read again and the figure starts afresh; a bad file then changes nothing.\n"
    "A first argument that is an option also runs the saver: 'lumerin -root' is\n"
    "'lumerin saver -root', which is how the hosts start it.\n"
    "Exit status: 0 when stopped (a signal, a key, its window or display gone), 1 for no X\n"
    "display, an X error or a Wayland compositor without the layer shell, 2 for a refused\n"
    "command line or configuration file or a window id that names no window.\n";

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
    "  --battery draw|pause while UPower says the machine runs on battery, draw on, or\n"
    "                       show each figure still, whole, and take no CPU (default pause)\n"
    "  --help               this text\n"
    "The configuration file $XDG_CONFIG_HOME/lumerin/config (~/.config/lumerin/config)\n"
    "holds the same options but --output, one 'key = value' a line ('fractal = 4',\n"
    "'battery = draw', 'slideshow'), and sections '[output NAME]' whose values hold for that\n"
    "output alone; the command line wins over both. Changed while it runs (or on SIGHUP),\n"
    "it is read again; a bad file then changes nothing.\n"
    "Exit status: 0 when stopped (a signal, the compositor gone), 1 for no Wayland display\n"
    "or a compositor without the layer shell, 2 for a refused command line or configuration\n"
    "file or an --output that names no output.\n";

const char kLockUsage[] =
    "usage: lumerin lock [OPTION]... [--daemonize]\n"
    "Locks the Wayland session (ext-session-lock-v1: sway 1.8 and later, Hyprland, niri,\n"
    "river, labwc, Wayfire) and grows the figures on every output until the user's\n"
    "password, typed there and checked through PAM (/etc/pam.d/lumerin), unlocks it.\n"
    "Return checks what was typed, Backspace takes a character back, Escape and Ctrl+U\n"
    "clear it. A signal or a crash leaves the session locked.\n"
    "  --daemonize          return once the compositor has locked the session (for\n"
    "                       'swayidle -w before-sleep'), the lock going on in the background\n"
    "What it draws: the options of 'lumerin saver --help' (--slideshow, --fractal, --from,\n"
    "--to, --pause, --width, --angle, --palette, --background) and the configuration file\n"
    "with its output sections, as 'lumerin wallpaper --help' tells.\n"
    "  --help               this text\n"
    "Exit status: 0 once unlocked by the user's password (with --daemonize: once locked),\n"
    "1 for no Wayland display, a compositor without the session lock or one that refuses\n"
    "it or does not lock within 5 seconds, or an end by a signal (the session stays\n"
    "locked), 2 for a refused command line or configuration file.\n";

// The Wayland edition's settings from `setup`: each output's, and the file read again.
WaylandSettings WaylandSettingsFrom(SaverSetup& setup, bool followBattery) {
  WaylandSettings settings;
  settings.forOutput = [&setup](const std::string& output) {
    const OutputSettings chosen = setup.For(output);
    return WaylandOutputSettings{chosen.settings, chosen.pauseOnBattery};
  };
  settings.path = setup.path();
  settings.reload = [&setup] {
    const std::string bad = setup.Reload();
    if (bad.empty()) return true;
    std::fprintf(stderr, "lumerin: %s; drawing on as before\n", bad.c_str());
    return false;
  };
  settings.followBattery = followBattery;
  return settings;
}

// The configuration file where the environment puts it.
std::string ConfigPath() {
  return SaverConfigPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

}  // namespace

int RunSaver(const Args& args) {
  SaverSetup setup(args, SaverCommandKind::kSaver, ConfigPath());
  const std::string refused = setup.Load(std::getenv("XSCREENSAVER_WINDOW"));
  if (!refused.empty()) return UsageError(refused);
  const SaverCommand& command = setup.command();
  if (command.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  // In a Wayland session without a window named, the figures go over every output.
  if (!command.windowNamed && WaylandSessionNamed())
    return RunWayland(WaylandMode::kSaver, {}, WaylandSettingsFrom(setup, false));
  // X11 has no outputs: the file's own values hold, and its sections are not read.
  const SettingsReload reload = {setup.path(), [&setup] {
                                   const std::string bad = setup.Reload();
                                   if (!bad.empty()) {
                                     std::fprintf(stderr, "lumerin: %s; drawing on as before\n",
                                                  bad.c_str());
                                     return false;
                                   }
                                   Settings = setup.For("").settings;
                                   return true;
                                 }};
  return RunSaverX11(command.window, reload);
}

int RunWallpaper(const Args& args) {
  SaverSetup setup(args, SaverCommandKind::kWallpaper, ConfigPath());
  const std::string refused = setup.Load();
  if (!refused.empty()) return UsageError(refused);
  if (setup.command().help) {
    std::fputs(kWallpaperUsage, stdout);
    return 0;
  }
  return RunWayland(WaylandMode::kWallpaper, setup.command().outputs,
                    WaylandSettingsFrom(setup, true));
}

int RunPower(const Args& args) {
  const bool follow = args.size() == 2 && args[1] == "--follow";
  if (args.size() > 1 && !follow) return UsageError("power takes only --follow");
  const int stop = InstallStopSignals();
  BatteryWatch battery;
  battery.Start();
  // The first answer (or none, within the bus's own wait for a call), then every change.
  const char* shown = nullptr;
  for (;;) {
    const char* now = battery.onBattery() ? "battery" : "mains";
    if (battery.answered() && now != shown) {
      std::printf("%s\n", now);
      std::fflush(stdout);
      shown = now;
      if (!follow) return 0;
    }
    pollfd fds[2] = {{battery.fd(), battery.events(), 0}, {stop, POLLIN, 0}};
    const int ready = poll(fds, 2, battery.answered() ? -1 : battery.timeoutMs());
    if ((ready > 0 && fds[1].revents != 0) || (ready < 0 && errno != EINTR)) return 0;
    battery.Dispatch();
  }
}

int RunLock(const Args& args) {
  SaverSetup setup(args, SaverCommandKind::kLock, ConfigPath());
  const std::string refused = setup.Load();
  if (!refused.empty()) return UsageError(refused);
  if (setup.command().help) {
    std::fputs(kLockUsage, stdout);
    return 0;
  }
  WaylandSettings settings = WaylandSettingsFrom(setup, false);
  if (!setup.command().daemonize) return RunWayland(WaylandMode::kLock, {}, settings);
  // The lock goes on in a child of its own session; this process returns 0 only when the
  // child says the compositor has locked, else the child's status.
  int locked[2];
  if (pipe2(locked, O_CLOEXEC) != 0) {
    std::perror("lumerin: cannot set up the lock's pipe");
    return kModeFailed;
  }
  const pid_t child = fork();
  if (child < 0) {
    std::perror("lumerin: cannot start the lock");
    return kModeFailed;
  }
  if (child == 0) {
    close(locked[0]);
    setsid();
    const int none = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (none >= 0) {
      dup2(none, STDIN_FILENO);
      dup2(none, STDOUT_FILENO);
      close(none);
    }
    settings.lockedFd = locked[1];
    return RunWayland(WaylandMode::kLock, {}, settings);
  }
  close(locked[1]);
  char byte = 0;
  ssize_t got;
  do {
    got = read(locked[0], &byte, 1);
  } while (got < 0 && errno == EINTR);
  close(locked[0]);
  if (got == 1) return 0;
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) != 0 ? WEXITSTATUS(status) : kModeFailed;
}
