// Talks to a running full-screen saver from another process: reports its window and
// sends or posts it single messages, printing what comes back.
//   poke info | count | settext TEXT | autoplay | send MSG WPARAM LPARAM
//   poke post MSG WPARAM LPARAM
//   poke redraw [LEFT TOP RIGHT BOTTOM]   invalidates and erases the client area, or a part
//   poke move LEFT TOP WIDTH HEIGHT       moves the window, in screen coordinates
// Numbers may be decimal or 0x-hexadecimal. Exit code 0 when the window was found.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kClass[] = "WindowsScreenSaverClass";
const char kTitle[] = "Screen Saver";

UINT_PTR Number(const char* text) { return static_cast<UINT_PTR>(std::strtoul(text, nullptr, 0)); }

BOOL CALLBACK CountSavers(HWND window, LPARAM count) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  if (std::strcmp(name, kClass) == 0) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  // Rectangles in physical pixels, as the saver has them: a caller unaware of DPI gets them
  // scaled wherever DPI is virtualized (Windows from 8.1 on, Wine from 10 on).
  SetProcessDPIAware();
  const char* command = argv[1];
  if (std::strcmp(command, "count") == 0) {
    int count = 0;
    EnumWindows(CountSavers, reinterpret_cast<LPARAM>(&count));
    std::printf("count %d\n", count);
    return 0;
  }
  const HWND window = FindWindowA(kClass, kTitle);
  if (window == nullptr) {
    std::printf("no window\n");
    return 1;
  }
  if (std::strcmp(command, "info") == 0) {
    RECT r;
    GetWindowRect(window, &r);
    char name[64] = "", title[64] = "";
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, title, sizeof title);
    std::printf("class=%s\ntitle=%s\nrect=%ld,%ld,%ld,%ld\nstyle=0x%08lx\nexstyle=0x%08lx\n", name,
                title, r.left, r.top, r.right, r.bottom,
                static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)));
    const DWORD classStyle = GetClassLongA(window, GCL_STYLE);
    std::printf("classstyle=%lu\nparent=%lu\n", static_cast<unsigned long>(classStyle),
                static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(GetParent(window))));
    return 0;
  }
  if (std::strcmp(command, "settext") == 0 && argc >= 3) {
    const LRESULT result = SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[2]));
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    std::printf("result=%ld\ntitle=%s\n", static_cast<long>(result), title);
    return 0;
  }
  if (std::strcmp(command, "redraw") == 0) {
    RECT part = {0, 0, 0, 0};
    if (argc >= 6)
      part = {static_cast<LONG>(std::strtol(argv[2], nullptr, 0)),
              static_cast<LONG>(std::strtol(argv[3], nullptr, 0)),
              static_cast<LONG>(std::strtol(argv[4], nullptr, 0)),
              static_cast<LONG>(std::strtol(argv[5], nullptr, 0))};
    const BOOL redrawn =
        RedrawWindow(window, argc >= 6 ? &part : nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
    std::printf("redrawn=%d\n", redrawn ? 1 : 0);
    return 0;
  }
  if (std::strcmp(command, "move") == 0 && argc >= 6) {
    const BOOL moved = SetWindowPos(
        window, nullptr, static_cast<int>(std::strtol(argv[2], nullptr, 0)),
        static_cast<int>(std::strtol(argv[3], nullptr, 0)),
        static_cast<int>(std::strtol(argv[4], nullptr, 0)),
        static_cast<int>(std::strtol(argv[5], nullptr, 0)), SWP_NOZORDER | SWP_NOACTIVATE);
    std::printf("moved=%d\n", moved ? 1 : 0);
    return 0;
  }
  if (std::strcmp(command, "autoplay") == 0) {
    const UINT message = RegisterWindowMessageA("QueryCancelAutoPlay");
    std::printf("result=%ld\n", static_cast<long>(SendMessageA(window, message, 0, 0)));
    return 0;
  }
  if (argc >= 5 && (std::strcmp(command, "send") == 0 || std::strcmp(command, "post") == 0)) {
    const UINT message = static_cast<UINT>(Number(argv[2]));
    const WPARAM wParam = Number(argv[3]);
    const LPARAM lParam = static_cast<LPARAM>(Number(argv[4]));
    if (command[0] == 's') {
      std::printf("result=%ld\n", static_cast<long>(SendMessageA(window, message, wParam, lParam)));
    } else {
      std::printf("posted=%d\n", PostMessageA(window, message, wParam, lParam) ? 1 : 0);
    }
    return 0;
  }
  return 2;
}
