// Start-up: the values every later piece reads (the program's module instance and
// whether the system is of the 95/98 family) and the choice of the one mode a process
// runs. Everything here runs on the main thread; DispatchMode writes the two values once.
#pragma once

#include <windows.h>

#include <cstdint>

extern HINSTANCE moduleInstance;
extern int32_t win9xFamily;  // 1 on the 95/98 family, else 0

// The exit code of a command line that is refused.
constexpr int32_t kRefusedExitCode = -1;

// Stores the instance, tests the platform family and runs the mode the argument text
// asks for under the fault guard. Returns the mode's exit code.
int32_t DispatchMode(HINSTANCE instance, const char* arguments);

// The preview inside the window whose number starts `rest`; -1 when that is no window.
int32_t RunPreviewMode(const char* rest);

// The configuration dialog, owned by `owner` (may be null).
int32_t RunConfigureMode(HWND owner);

// The password change of the 95/98 family, owned by the window whose number starts
// `rest` or else by the foreground window.
int32_t RunChangePasswordMode(const char* rest);

// A handle number read from the command line as a window handle.
HWND WindowFromNumber(uint32_t number);
