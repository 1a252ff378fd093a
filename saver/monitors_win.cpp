#include "saver/monitors_win.h"

#include "host/system_path_win.h"

namespace {

// Not in every header this program is built with.
constexpr int kEffectiveDpi = 0;               // MDT_EFFECTIVE_DPI
constexpr DWORD kPrimaryMonitor = 0x00000001;  // MONITORINFOF_PRIMARY

using EnumDisplayMonitorsProc = BOOL(WINAPI*)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);
using GetMonitorInfoProc = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);
using GetDpiForWindowProc = UINT(WINAPI*)(HWND);
using GetDpiForMonitorProc = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

template <typename Proc>
Proc Find(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Per-monitor DPI (8.1 on). Written by the drawing thread only, the one that lists monitors.
HMODULE shcore = nullptr;

struct Collector {
  GetMonitorInfoProc getInfo;
  GetDpiForMonitorProc getDpi;
  int32_t fallbackDpi;
  DesktopMonitors* desktop;
};

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  Collector& collector = *reinterpret_cast<Collector*>(data);
  DesktopMonitors& desktop = *collector.desktop;
  if (desktop.count >= kMaxMonitors) return FALSE;
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (!collector.getInfo(monitor, &info)) return TRUE;
  int32_t dpi = collector.fallbackDpi;
  UINT x = 0, y = 0;
  if (collector.getDpi != nullptr && collector.getDpi(monitor, kEffectiveDpi, &x, &y) == S_OK &&
      x > 0)
    dpi = static_cast<int32_t>(x);
  desktop.monitors[desktop.count++] = {
      {info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom},
      (info.dwFlags & kPrimaryMonitor) != 0,
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

DesktopMonitors FindMonitors(HWND window) {
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
  if (shcore == nullptr) shcore = LoadSystemLibrary("shcore.dll");
  Collector collector = {getInfo, Find<GetDpiForMonitorProc>(shcore, "GetDpiForMonitor"),
                         desktop.windowDpi, &desktop};
  enumerate(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&collector));
  return desktop;
}
