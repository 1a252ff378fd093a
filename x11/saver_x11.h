// The Linux display mode: the saver's two loops drawn with Xlib into one window, on one
// thread. Every pause waits on the X connection and on a signal pipe, so that exposure,
// resizing, the window's destruction and SIGTERM or SIGINT are handled within one pause.
// Reads Settings as the caller left them (and, like the Windows drawing thread, lets the
// slideshow change them); owns the X connection for the length of the call.
#pragma once

#include <cstdint>

enum class SaverWindowKind {
  kOwn,      // a top-level window of its own, 800 x 600, titled "Lumerin"
  kRoot,     // the virtual root a window manager made (__SWM_VROOT), else the root window
  kForeign,  // a window made by another program (a host's, or one named by id)
};

struct SaverWindowChoice {
  SaverWindowKind kind;
  uint32_t windowId;  // kForeign only
};

// Exit codes of the display mode.
constexpr int kSaverEnded = 0;      // stopped by a signal, a key, the window manager or the
                                    // window's (or the X server's) disappearance
constexpr int kSaverFailed = 1;     // no X display, or an X error other than a lost window
constexpr int kSaverNotWindow = 2;  // the foreign window id names no window

// Makes SIGTERM and SIGINT write a byte into a pipe, and returns the pipe's reading end for
// an event loop to poll (-1 when that cannot be set up); SIGPIPE is ignored. Shared by the
// X11 and Wayland layers; the pipe lasts as long as the process.
int InstallStopSignals();

// Runs until the mode ends; returns one of the exit codes above. Prints one line on
// stderr for every code but kSaverEnded.
int RunSaverX11(const SaverWindowChoice& choice);
