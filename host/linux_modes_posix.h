// What the Linux editions (X11 and Wayland) share: their exit statuses and the pipes through
// which signals (SIGTERM and SIGINT, SIGHUP) reach their event loops.
#pragma once

// Exit codes of the Linux display modes.
constexpr int kModeEnded = 0;         // stopped by a signal, input, the window manager, or
                                      // the window's (or the display server's) disappearance
constexpr int kModeFailed = 1;        // no display, or a fault of the display connection
constexpr int kModeNoSuchTarget = 2;  // a window id or an output name that names nothing

// Makes `signal` write a byte into a pipe of its own, and returns the pipe's reading end
// (non-blocking) for an event loop to poll; -1 when that cannot be set up. `restart`: the
// calls the signal interrupts start again. A second call for the same signal returns the
// same pipe. The pipe lasts as long as the process.
int PipeSignal(int signal, bool restart);

// Makes SIGTERM and SIGINT write a byte into a pipe, and returns the pipe's reading end for
// an event loop to poll (-1 when that cannot be set up); SIGPIPE is ignored. The pipe lasts
// as long as the process.
int InstallStopSignals();

// Takes the process's private file mappings that hold nothing of their own (code and
// read-only data of the program and its libraries, as on disk) out of its resident set:
// the pages that start-up or a drawing touched stay in the page cache, shared, and come
// back on the next use. For a mode that runs for days, whose resident set then shows what
// it really uses. Only for a single-threaded process.
void TrimFileMappings();
