#include "saver/saver_window_win.h"

#include "host/saver_host_win.h"
#include "render/pens_win.h"
#include "saver/drawing_thread_win.h"
#include "saver/monitors_win.h"
#include "settings/settings.h"
#include "settings/settings_win.h"

HBRUSH backgroundBrush = nullptr;

namespace {

void OnCreate(HWND window) {
  LoadSettings();
  // Widths as chosen at 96 DPI; the figures of several monitors make pens of their own.
  penDpi = WindowDpi(window);
  CreatePens();
  backgroundBrush = CreateSolidBrush(Settings.Background);
  StartDrawingThread(window);
}

void OnEraseBackground(HWND window) {
  // The window's own device context (its class keeps one, and every GetDC returns it);
  // the drawing thread draws through cache contexts of its own, never this one.
  const HDC dc = GetDC(window);
  if (dc == nullptr) return;
  PaintWindowBackground(window, dc);
  ReleaseDC(window, dc);
}

// Monitors added, removed or re-arranged: the window covers the new virtual screen, and
// the figures are laid out again, from their start, once the window has been erased.
void OnDisplayChange(HWND window) {
  if (previewMode) return;
  const RECT area = FullScreenArea();
  NoteMonitorsChanged();
  SetWindowPos(window, HWND_TOPMOST, area.left, area.top, area.right - area.left,
               area.bottom - area.top, SWP_NOACTIVATE);
  // A paint must follow even when the size stays: the figures wait for it.
  InvalidateRect(window, nullptr, TRUE);
}

void OnDestroy() {
  // The pens and the brush may be deleted only once the thread can no longer draw with
  // them; a thread that does not end in time keeps them until the process ends.
  if (!StopDrawingThread(kDrawingStopWaitMs)) return;
  DeletePens();
  if (backgroundBrush != nullptr) {
    DeleteObject(backgroundBrush);
    backgroundBrush = nullptr;
  }
}

}  // namespace

LRESULT SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(window);
      return 0;  // creation always goes on, whatever failed
    case WM_ERASEBKGND:
      OnEraseBackground(window);
      break;
    case WM_PAINT: {
      const LRESULT result = HostDefaultProc(window, message, wParam, lParam);
      NoteWindowPainted();
      return result;
    }
    case WM_DISPLAYCHANGE:
      OnDisplayChange(window);
      break;
    case WM_DESTROY:
      OnDestroy();
      break;
    default:
      break;
  }
  return HostDefaultProc(window, message, wParam, lParam);
}
