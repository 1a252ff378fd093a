// Looks at and pokes what the password tests need from outside the saver:
//   password_probe running          prints "running N", the screen-saver-running state
//   password_probe setrunning N     sets that state (1 or 0)
//   password_probe sysdir           prints the system directory
//   password_probe loadbare NAME    loads NAME by bare name, prints "loaded 1 PATH" or "loaded 0"
//   password_probe owner SECONDS    shows a window of its own, made foreground, prints
//                                   "owner HWND" and keeps it for SECONDS
//   password_probe cursor           prints "cursor visible N" as the system reports it
//   password_probe fault            makes the full-screen saver's main thread jump to
//                                   address 0, a fault from outside the program
//   password_probe kill             ends the full-screen saver without its knowledge
// Exit code 0 on success, 1 when the saver's window or a call is missing.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const UINT kGetScreenSaverRunning = 114;  // SPI_GETSCREENSAVERRUNNING
const UINT kSetScreenSaverRunning = 97;   // SPI_SETSCREENSAVERRUNNING

HWND Saver() { return FindWindowA("WindowsScreenSaverClass", "Screen Saver"); }

int Fault() {
  const HWND window = Saver();
  if (window == nullptr) {
    std::printf("no window\n");
    return 1;
  }
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  const HANDLE handle = OpenThread(THREAD_ALL_ACCESS, FALSE, thread);
  if (handle == nullptr || SuspendThread(handle) == static_cast<DWORD>(-1)) {
    std::printf("cannot suspend\n");
    return 1;
  }
  // The thread stops asynchronously: its context reads as zeros until it has.
#if defined(_WIN64)
#define STACK_POINTER Rsp
#define INSTRUCTION_POINTER Rip
#else
#define STACK_POINTER Esp
#define INSTRUCTION_POINTER Eip
#endif
  CONTEXT context;
  for (int attempt = 0; attempt < 100; ++attempt) {
    ZeroMemory(&context, sizeof context);
    context.ContextFlags = CONTEXT_FULL;
    if (GetThreadContext(handle, &context) && context.STACK_POINTER != 0) break;
    Sleep(10);
  }
  if (context.STACK_POINTER == 0) {
    std::printf("no context\n");
    return 1;
  }
  // Only the instruction pointer changes: the stack and its chain of exception
  // handlers stay as they are, so the fault meets the handlers the program set up.
  context.ContextFlags = CONTEXT_CONTROL;
  context.INSTRUCTION_POINTER = 0;
  const BOOL set = SetThreadContext(handle, &context);
  ResumeThread(handle);
  // A thread waiting for messages takes its new context when the wait ends.
  PostMessageA(window, WM_NULL, 0, 0);
  std::printf("fault %d\n", set ? 1 : 0);
  return set ? 0 : 1;
}

int Kill() {
  const HWND window = Saver();
  DWORD process = 0;
  if (window == nullptr || GetWindowThreadProcessId(window, &process) == 0) return 1;
  const HANDLE handle = OpenProcess(PROCESS_TERMINATE, FALSE, process);
  if (handle == nullptr || !TerminateProcess(handle, 9)) return 1;
  std::printf("killed\n");
  return 0;
}

int Owner(int seconds) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "PasswordProbeOwner";
  RegisterClassA(&windowClass);
  const HWND window =
      CreateWindowExA(0, windowClass.lpszClassName, "Password probe owner", WS_OVERLAPPEDWINDOW, 10,
                      10, 200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  std::printf("owner %lu\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
  std::fflush(stdout);
  const DWORD until = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
  while (static_cast<LONG>(until - GetTickCount()) > 0) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(20);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const char* command = argv[1];
  if (std::strcmp(command, "running") == 0) {
    BOOL running = 2;
    if (!SystemParametersInfoA(kGetScreenSaverRunning, 0, &running, 0)) return 1;
    std::printf("running %d\n", running);
    return 0;
  }
  if (std::strcmp(command, "setrunning") == 0 && argc >= 3) {
    UINT previous = 0;
    return SystemParametersInfoA(kSetScreenSaverRunning, std::atoi(argv[2]), &previous, 0) ? 0 : 1;
  }
  if (std::strcmp(command, "sysdir") == 0) {
    char directory[MAX_PATH] = "";
    GetSystemDirectoryA(directory, sizeof directory);
    std::printf("%s\n", directory);
    return 0;
  }
  if (std::strcmp(command, "loadbare") == 0 && argc >= 3) {
    const HMODULE library = LoadLibraryA(argv[2]);
    char path[MAX_PATH] = "";
    if (library != nullptr) GetModuleFileNameA(library, path, sizeof path);
    std::printf("loaded %d %s\n", library != nullptr ? 1 : 0, path);
    return 0;
  }
  if (std::strcmp(command, "owner") == 0 && argc >= 3) return Owner(std::atoi(argv[2]));
  if (std::strcmp(command, "cursor") == 0) {
    CURSORINFO info = {};
    info.cbSize = sizeof info;
    if (!GetCursorInfo(&info)) return 1;
    std::printf("cursor visible %d handle %lu\n", (info.flags & CURSOR_SHOWING) ? 1 : 0,
                static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(info.hCursor)));
    return 0;
  }
  if (std::strcmp(command, "fault") == 0) return Fault();
  if (std::strcmp(command, "kill") == 0) return Kill();
  return 2;
}
