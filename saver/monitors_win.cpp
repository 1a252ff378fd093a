#include "saver/monitors_win.h"

#include "host/system_path_win.h"

namespace {

// Not in every header this program is built with.
constexpr int kEffectiveDpi = 0;               // MDT_EFFECTIVE_DPI
constexpr DWORD kPrimaryMonitor = 0x00000001;  // MONITORINFOF_PRIMARY

using GetDpiForWindowProc = UINT(WINAPI*)(HWND);

template <typename Proc>
Proc Find(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Per-monitor DPI (8.1 on). Written by the drawing thread only, the one that lists monitors.
HMODULE shcore = nullptr;

struct Collector {
  const MonitorLookups& lookups;
  DesktopMonitors& desktop;
};

bool HasPrimary(const DesktopMonitors& desktop) {
  for (int i = 0; i < desktop.count; ++i)
    if (desktop.monitors[i].primary) return true;
  return false;
}

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  const Collector& collector = *reinterpret_cast<const Collector*>(data);
  const MonitorLookups& lookups = collector.lookups;
  DesktopMonitors& desktop = collector.desktop;
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (!lookups.getInfo(monitor, &info)) return TRUE;
  const bool primary = (info.dwFlags & kPrimaryMonitor) != 0;
  // The system lists the primary wherever it likes: past the last place, it takes the
  // last place, so that the primary's figure is never lost.
  int index = desktop.count;
  if (index >= kMaxMonitors) {
    if (!primary || HasPrimary(desktop)) return TRUE;
    index = kMaxMonitors - 1;
  } else {
    ++desktop.count;
  }
  int32_t dpi = lookups.fallbackDpi;
  UINT x = 0, y = 0;
  if (lookups.getDpi != nullptr && lookups.getDpi(monitor, kEffectiveDpi, &x, &y) == S_OK && x > 0)
    dpi = static_cast<int32_t>(x);
  desktop.monitors[index] = {
      {info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom},
      primary,
      dpi};
  return TRUE;
}

}  // namespace

int32_t WindowDpi(HWND window) {
  const auto forWindow =
      Find<GetDpiForWindowProc>(GetModuleHandleA("user32.dll"), "GetDpiForWindow");
  if (forWindow != nullptr && window != nullptr) {
    const UINT dpi = forWindow(window);
    if (dpi > 0) return static_cast<int32_t>(dpi);
  }
  const HDC screen = GetDC(nullptr);
  if (screen == nullptr) return kBaseDpi;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kBaseDpi;
}

DesktopMonitors FindMonitors(HWND window, bool withDpi) {
  DesktopMonitors desktop = {};
  RECT client = {0, 0, 0, 0};
  GetClientRect(window, &client);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  desktop.window = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
  desktop.windowDpi = WindowDpi(window);

  const HMODULE user = GetModuleHandleA("user32.dll");
  const auto enumerate = Find<EnumDisplayMonitorsProc>(user, "EnumDisplayMonitors");
  const auto getInfo = Find<GetMonitorInfoProc>(user, "GetMonitorInfoA");
  if (enumerate == nullptr || getInfo == nullptr) return desktop;
  // Loaded once and kept for the life of the process: the saver asks again after every
  // change of monitors. Only from the system directory: before 8.1 there is no such
  // library, and a file of that name elsewhere on the search path would run in the saver.
  if (withDpi && shcore == nullptr) shcore = LoadSystemLibrary("shcore.dll");
  CollectMonitors({enumerate, getInfo,
                   withDpi ? Find<GetDpiForMonitorProc>(shcore, "GetDpiForMonitor") : nullptr,
                   desktop.windowDpi},
                  desktop);
  return desktop;
}

void CollectMonitors(const MonitorLookups& lookups, DesktopMonitors& desktop) {
  desktop.count = 0;
  Collector collector = {lookups, desktop};
  lookups.enumerate(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&collector));
}
