// Plays the display control panel for the preview: owns a window, starts the saver
// with "/p <that window>" and reports, one "name=value" line each, what the preview
// child looks like, whether input closes it, what reaches the parent for WM_HELP and
// WM_CONTEXTMENU, and the saver's exit code once the parent window is destroyed.
//   preview_host SAVER_PATH [CLIENT_WIDTH CLIENT_HEIGHT]
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "patience.h"

namespace {

struct Received {
  int count;
  WPARAM wParam;
  LPARAM lParam;
};
Received help = {0, 0, 0};
Received contextMenu = {0, 0, 0};

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_HELP) {
    help = {help.count + 1, wParam, lParam};
    return 1;
  }
  if (message == WM_CONTEXTMENU) {
    contextMenu = {contextMenu.count + 1, wParam, lParam};
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Handles our own window's messages for a while.
void Pump(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

unsigned long Handle(HWND window) {
  return static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window));
}

bool Alive(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const int width = argc >= 4 ? std::atoi(argv[2]) : 152;
  const int height = argc >= 4 ? std::atoi(argv[3]) : 112;

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = ParentProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = "PreviewHostClass";
  RegisterClassA(&windowClass);
  RECT frame = {0, 0, width, height};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  const HWND parent =
      CreateWindowExA(0, "PreviewHostClass", "Preview host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                      10, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                      windowClass.hInstance, nullptr);
  RECT parentClient;
  GetClientRect(parent, &parentClient);
  std::printf("parent=%lu\nparent_client=%ldx%ld\n", Handle(parent), parentClient.right,
              parentClient.bottom);

  char commandLine[MAX_PATH * 2];
  std::snprintf(commandLine, sizeof commandLine, "\"%s\" /p %lu", argv[1], Handle(parent));
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION saver = {};
  if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &saver)) {
    std::printf("start=failed\n");
    return 1;
  }

  HWND child = nullptr;
  const DWORD started = GetTickCount();
  while (child == nullptr && Alive(saver.hProcess) && GetTickCount() - started < Patience(15000)) {
    Pump(10);
    child = FindWindowExA(parent, nullptr, "WindowsScreenSaverClass", nullptr);
  }
  if (child == nullptr) {
    DWORD code = 0;
    GetExitCodeProcess(saver.hProcess, &code);
    std::printf("child=none\nexit=%ld\n", static_cast<long>(code));
    return 1;
  }
  // Found as soon as it exists; it is shown only when its creation is complete.
  const DWORD found = GetTickCount();
  while (!IsWindowVisible(child) && Alive(saver.hProcess) &&
         GetTickCount() - found < Patience(5000)) {
    Pump(10);
  }
  char title[64] = "";
  GetWindowTextA(child, title, sizeof title);
  RECT client, rect;
  GetClientRect(child, &client);
  GetWindowRect(child, &rect);
  POINT origin = {0, 0};
  ClientToScreen(parent, &origin);
  std::printf("child_title=%s\nchild_parent_is_host=%d\nis_child=%d\n", title,
              GetParent(child) == parent ? 1 : 0, IsChild(parent, child) ? 1 : 0);
  std::printf("child_client=%ldx%ld\nchild_offset=%ld,%ld\n", client.right, client.bottom,
              rect.left - origin.x, rect.top - origin.y);
  std::printf("child_style=0x%08lx\nchild_exstyle=0x%08lx\n",
              static_cast<unsigned long>(GetWindowLongA(child, GWL_STYLE)),
              static_cast<unsigned long>(GetWindowLongA(child, GWL_EXSTYLE)));

  // Input, activation loss and power events: none of them closes a preview.
  const UINT inputs[][2] = {{WM_KEYDOWN, 'A'},
                            {WM_SYSKEYDOWN, VK_MENU},
                            {WM_LBUTTONDOWN, MK_LBUTTON},
                            {WM_RBUTTONDOWN, MK_RBUTTON},
                            {WM_MBUTTONDOWN, MK_MBUTTON},
                            {WM_MOUSEMOVE, 0},
                            {WM_ACTIVATEAPP, 0},
                            {WM_POWERBROADCAST, 4},
                            {WM_POWER, 3}};
  SetCursorPos(700, 500);  // far from wherever the cursor was when the preview started
  for (const auto& input : inputs) PostMessageA(child, input[0], input[1], 0);
  Pump(Patience(1000));
  std::printf("alive_after_input=%d\n", Alive(saver.hProcess) ? 1 : 0);

  const LRESULT contextResult = SendMessageA(child, WM_CONTEXTMENU, 0, MAKELPARAM(50, 60));
  HELPINFO info = {};
  info.cbSize = sizeof info;
  info.iContextType = HELPINFO_WINDOW;
  info.hItemHandle = child;
  info.MousePos = {60, 70};
  const LRESULT helpResult = SendMessageA(child, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
  Pump(Patience(1000));
  std::printf("contextmenu_result=%ld\nhelp_result=%ld\n", static_cast<long>(contextResult),
              static_cast<long>(helpResult));
  std::printf("contextmenu_count=%d\ncontextmenu_wparam=%lu\ncontextmenu_lparam=0x%08lx\n",
              contextMenu.count, static_cast<unsigned long>(contextMenu.wParam),
              static_cast<unsigned long>(contextMenu.lParam));
  std::printf("help_count=%d\nhelp_wparam=%lu\n", help.count,
              static_cast<unsigned long>(help.wParam));
  std::printf("alive_after_help=%d\n", Alive(saver.hProcess) ? 1 : 0);

  DestroyWindow(parent);
  const DWORD destroyed = GetTickCount();
  while (Alive(saver.hProcess) && GetTickCount() - destroyed < Patience(20000)) Pump(20);
  DWORD code = 0;
  GetExitCodeProcess(saver.hProcess, &code);
  std::printf("alive_after_destroy=%d\nexit=%ld\n", Alive(saver.hProcess) ? 1 : 0,
              static_cast<long>(code));
  std::fflush(stdout);
  if (Alive(saver.hProcess)) TerminateProcess(saver.hProcess, 9);
  return 0;
}
