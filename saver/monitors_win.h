// The monitors the saver window covers, and their DPI, found at run time: 95 and NT 4
// have no monitor functions and Windows before 8.1 no per-monitor DPI, so nothing of it is
// imported. Used by the drawing thread (and by the window's thread for the window's own
// DPI); no process-wide state.
#pragma once

#include <windows.h>

#include "render/monitor_layout.h"

// What the system says about the desktop around `window`: its client area in virtual-
// screen pixels, the DPI to draw one figure across it at, and up to kMaxMonitors monitors
// (none where the system cannot list them).
struct DesktopMonitors {
  ScreenRect window;
  int32_t windowDpi;
  int count;
  MonitorInfo monitors[kMaxMonitors];
};

// Each monitor's DPI only `withDpi`, and then on the drawing thread only (it loads the
// system's DPI library once); without, on any thread, every monitor has the window's DPI.
DesktopMonitors FindMonitors(HWND window, bool withDpi);

using EnumDisplayMonitorsProc = BOOL(WINAPI*)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);
using GetMonitorInfoProc = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);
using GetDpiForMonitorProc = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

// The system's look-ups that listing the monitors needs, found at run time; `getDpi` may
// be null, and every monitor then has `fallbackDpi`.
struct MonitorLookups {
  EnumDisplayMonitorsProc enumerate;
  GetMonitorInfoProc getInfo;
  GetDpiForMonitorProc getDpi;
  int32_t fallbackDpi;
};

// Lists the monitors into `desktop` (its count and monitors) in the system's order. Of
// more than kMaxMonitors, the first ones are kept, and the primary always: it takes the
// last place when it comes later.
void CollectMonitors(const MonitorLookups& lookups, DesktopMonitors& desktop);

// The DPI of `window`'s lines: the window's own where the system tells it, else that of
// the screen's device context.
int32_t WindowDpi(HWND window);
