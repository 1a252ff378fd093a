// The Wayland edition: the figures on layer-shell surfaces, one on each output, each
// grown at the saver's pace (saver/paced_drawing.h) with the pixel surface straight into
// the compositor's shared-memory buffers: one, and a second while a figure grows. One
// thread runs one event loop: the compositor's events, its frame callbacks, the ends of
// the pauses and SIGTERM or SIGINT, which every wait watches. Reads Settings as the
// caller left them (the slideshow changes them, as on every edition) and owns the
// connection for the length of the call.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "settings/settings.h"

enum class WaylandMode {
  kWallpaper,  // the background layer, no keyboard, no seat
  kSaver,      // the overlay layer, every key; input ends it
  kLock,       // the session locked (ext-session-lock-v1): only the user's password ends it
};

// What the figures of one output are drawn with.
struct WaylandOutputSettings {
  SettingsRecord settings;
  bool stillOnBattery = false;  // its figure stands still, whole, while on battery power
};

// Where the outputs' settings come from: `forOutput` gives those of an output by its name
// (the empty name: what holds for every output). `path` (empty for none) is watched, and
// on a change (or SIGHUP) `reload` reads it again and returns true, or keeps what was
// read, says why on stderr and returns false. `followBattery` starts the watch on UPower.
struct WaylandSettings {
  std::function<WaylandOutputSettings(const std::string& output)> forOutput;
  std::string path;
  std::function<bool()> reload;
  bool followBattery = false;
  int lockedFd = -1;  // the lock writes one byte here once the compositor says it is locked
};

// Whether the environment names a Wayland display ($WAYLAND_DISPLAY or $WAYLAND_SOCKET).
bool WaylandSessionNamed();

// Runs until SIGTERM or SIGINT, the saver's closing input or the loss of its last output,
// or the compositor's end, and returns the Linux modes' exit codes
// (host/linux_modes_posix.h): 0 then, 1 with no display or no layer shell, a protocol
// error or no memory for the buffers, 2 when `outputs` (empty: every output) names an
// output there is not.
// Prints one line on stderr for every code but 0.
// The lock returns 0 only after the compositor has unlocked the session for the user's
// password (checked through PAM's service "lumerin"); 1 when the compositor has no session
// lock, refuses it (another locker holds it) or does not lock within kLockWaitMs. A signal
// ends it with the session left locked, which the compositor keeps so.
// New settings start each output's figure afresh with its own. While the machine runs on
// battery, the outputs whose settings ask for it show their figure whole and still, and
// ask for no frame.
constexpr double kLockWaitMs = 5000;

int RunWayland(WaylandMode mode, const std::vector<std::string>& outputs,
               const WaylandSettings& settings);
