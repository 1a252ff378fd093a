// Reading the command line: skipping the program path, finding the mode switch and
// reading window handle numbers. Pure text steps, no state; any thread may call them.
// The program's entry uses them on the main thread before any mode runs.
#pragma once

#include <cstdint>

// One character forward in the system's code page (CharNextA on Windows). At the
// terminating zero it must return its argument.
using NextCharFunction = const char* (*)(const char* text);

// The argument text behind the program path: the path (quoted, or up to the first byte
// of 32 or below) and the blanks and control bytes after it are skipped. A line that
// starts with a byte of 32 or below has no path.
const char* FindArgumentText(const char* commandLine, NextCharFunction next);

// Decimal digits up to the first other byte, modulo 2^32; 0 when there are none.
uint32_t ParseHandleNumber(const char* text);

enum class SaverMode {
  kConfigure,       // no switch: the configuration dialog without an owner
  kConfigureOwned,  // "C": the dialog owned by `owner`, or the foreground window when 0
  kFullScreen,      // the full-screen saver
  kPreview,         // preview; `rest` holds the parent's number
  kChangePassword,  // password change; `rest` holds the owner's number
  kRefused,         // not a switch this program knows: exit code -1
};

struct ModeDecision {
  SaverMode mode;
  const char* rest;  // the text behind the switch (kPreview, kChangePassword)
  uint32_t owner;    // kConfigure: the number after "C:", else 0
};

// Looks at the first switch letter after any blanks, dashes and slashes. Only the first
// switch counts.
ModeDecision ScanSwitch(const char* arguments);
