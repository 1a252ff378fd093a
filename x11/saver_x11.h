// The Linux display mode: the saver's two loops drawn with Xlib into one window, on one
// thread. Every pause waits on the X connection, on a signal pipe and on the watch of the
// configuration file, so that exposure, resizing, the window's destruction, SIGTERM or
// SIGINT and a changed file are handled within one pause.
// Reads Settings as the caller left them (and, like the Windows drawing thread, lets the
// slideshow change them); owns the X connection for the length of the call.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

enum class SaverWindowKind {
  kOwn,      // a top-level window of its own, 800 x 600, titled "Lumerin"
  kRoot,     // the virtual root a window manager made (__SWM_VROOT), else the root window
  kForeign,  // a window made by another program (a host's, or one named by id)
};

struct SaverWindowChoice {
  SaverWindowKind kind;
  uint32_t windowId;  // kForeign only
};

// The configuration file the saver follows while it runs: `path` (empty for none) is
// watched, and on a change (or SIGHUP) `read` puts the new settings into Settings and
// returns true, or leaves Settings as they were, says why on stderr and returns false.
struct SettingsReload {
  std::string path;
  std::function<bool()> read;
};

// Runs until the mode ends; returns one of the exit codes of host/linux_modes_posix.h.
// Prints one line on stderr for every code but kModeEnded. New settings from `reload`
// start the figure afresh.
int RunSaverX11(const SaverWindowChoice& choice, const SettingsReload& reload = {});
