// The Wayland edition: the figures on layer-shell surfaces, one on each output, each
// grown at the saver's pace (saver/paced_drawing.h) with the pixel surface straight into
// the compositor's shared-memory buffers: one, and a second while a figure grows. One
// thread runs one event loop: the compositor's events, its frame callbacks, the ends of
// the pauses and SIGTERM or SIGINT, which every wait watches. Reads Settings as the
// caller left them (the slideshow changes them, as on every edition) and owns the
// connection for the length of the call.
#pragma once

#include <string>
#include <vector>

enum class WaylandMode {
  kWallpaper,  // the background layer, no keyboard, no seat
  kSaver,      // the overlay layer, every key; input ends it
};

// Whether the environment names a Wayland display ($WAYLAND_DISPLAY or $WAYLAND_SOCKET).
bool WaylandSessionNamed();

// Runs until SIGTERM or SIGINT, the saver's closing input or the loss of its last output,
// or the compositor's end, and returns the Linux modes' exit codes
// (host/linux_modes_posix.h): 0 then, 1 with no display or no layer shell, a protocol
// error or no memory for the buffers, 2 when `outputs` (empty: every output) names an
// output there is not.
// Prints one line on stderr for every code but 0.
int RunWayland(WaylandMode mode, const std::vector<std::string>& outputs);
