// A small probe of what Wine reports to a program, and the trivial programs that the
// saver's figures are measured against.
//   winprobe version         the platform and version GetVersionExA reports
//   winprobe exit N          ends at once with exit code N
//   winprobe window SECONDS  a full-screen window titled "Probe" that waits for messages
//                            and ends with 0 on a key or after SECONDS
//   winprobe lines SECONDS   the same window, drawing a line and sleeping 5 ms in a loop
//   winprobe paint SECONDS   the same window, painted all kPaintColour (0x6400C8 as a
//                            COLORREF) on its first WM_PAINT: the start-up baseline
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kTitle[] = "Probe";
constexpr DWORD kLinePauseMs = 5;
constexpr COLORREF kPaintColour = RGB(200, 0, 100);
HBRUSH paintBrush = nullptr;  // the paint mode's, else none; main thread only

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      if (paintBrush != nullptr) {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(window, &paint);
        FillRect(dc, &paint.rcPaint, paintBrush);
        EndPaint(window, &paint);
        return 0;
      }
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_KEYDOWN:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND OpenWindow() {
  WNDCLASSA type = {};
  type.lpfnWndProc = ProbeProc;
  type.hInstance = GetModuleHandleA(nullptr);
  // The paint mode's window draws nothing before its first WM_PAINT.
  type.hbrBackground =
      paintBrush != nullptr ? nullptr : static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  type.lpszClassName = "ProbeWindow";
  RegisterClassA(&type);
  const HWND window =
      CreateWindowExA(WS_EX_TOPMOST, type.lpszClassName, kTitle, WS_POPUP | WS_VISIBLE, 0, 0,
                      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                      nullptr, type.hInstance, nullptr);
  if (window != nullptr) SetForegroundWindow(window);
  return window;
}

// Handles what has come in; false once the window is gone.
bool Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) return false;
    DispatchMessageA(&message);
  }
  return true;
}

int RunWindow(DWORD seconds, bool drawing) {
  const HWND window = OpenWindow();
  if (window == nullptr) return 2;
  const HDC dc = drawing ? GetDC(window) : nullptr;
  const HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 200, 100));
  if (dc != nullptr) SelectObject(dc, pen);
  const DWORD start = GetTickCount();
  bool open = true;
  for (int step = 0; open && GetTickCount() - start < seconds * 1000; ++step) {
    if (dc != nullptr) {
      MoveToEx(dc, 100 + step % 400, 100, nullptr);
      LineTo(dc, 100 + step % 400, 400);
      Sleep(kLinePauseMs);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    open = Pump();
  }
  if (dc != nullptr) ReleaseDC(window, dc);
  DeleteObject(pen);
  if (open) DestroyWindow(window);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "version") == 0) {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return 1;
    std::printf("platform %lu version %lu.%lu\n", info.dwPlatformId, info.dwMajorVersion,
                info.dwMinorVersion);
    return 0;
  }
  if (argc >= 3 && std::strcmp(argv[1], "exit") == 0) return std::atoi(argv[2]);
  if (argc >= 3 && std::strcmp(argv[1], "window") == 0)
    return RunWindow(std::strtoul(argv[2], nullptr, 10), false);
  if (argc >= 3 && std::strcmp(argv[1], "lines") == 0)
    return RunWindow(std::strtoul(argv[2], nullptr, 10), true);
  if (argc >= 3 && std::strcmp(argv[1], "paint") == 0) {
    paintBrush = CreateSolidBrush(kPaintColour);
    const int status = RunWindow(std::strtoul(argv[2], nullptr, 10), false);
    DeleteObject(paintBrush);
    return status;
  }
  return 2;
}
