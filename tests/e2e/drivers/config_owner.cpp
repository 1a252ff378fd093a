// Starts the saver's configuration mode from windows of its own, as the display control
// panel does, and reports whose the dialog is, one "name=value" line each; then cancels
// the dialog and reports the saver's exit code. Of its two windows, "Front" is the
// foreground window and "Owner" is not.
//   config_owner SAVER_PATH TAIL     runs "SAVER_PATH"TAIL, where TAIL may hold "{hwnd}"
//                                    for the number of the window "Owner"
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Search {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  char name[32] = "";
  GetClassNameA(window, name, sizeof name);
  if (processId == search->processId && std::strcmp(name, "#32770") == 0 &&
      IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

void Pump(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

unsigned long Handle(HWND window) {
  return static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "ConfigOwnerClass";
  RegisterClassA(&windowClass);
  const HWND own =
      CreateWindowExA(0, "ConfigOwnerClass", "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                      100, nullptr, nullptr, windowClass.hInstance, nullptr);
  const HWND front =
      CreateWindowExA(0, "ConfigOwnerClass", "Front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 10,
                      200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
  SetForegroundWindow(front);
  Pump(200);

  std::string tail = argv[2];
  const std::string marker = "{hwnd}";
  const size_t at = tail.find(marker);
  if (at != std::string::npos) tail.replace(at, marker.size(), std::to_string(Handle(own)));
  const std::string line = std::string("\"") + argv[1] + "\"" + tail;
  std::printf("owner_window=%lu\nfront_window=%lu\nforeground=%lu\n", Handle(own), Handle(front),
              Handle(GetForegroundWindow()));

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION saver = {};
  std::string mutableLine = line;
  if (!CreateProcessA(nullptr, &mutableLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &saver)) {
    std::printf("start=failed\n");
    return 1;
  }
  Search search = {saver.dwProcessId, nullptr};
  for (int i = 0; i < 1000 && search.found == nullptr; ++i) {
    if (WaitForSingleObject(saver.hProcess, 0) == WAIT_OBJECT_0) break;
    Pump(10);
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
  }
  if (search.found != nullptr) {
    const HWND owner = GetWindow(search.found, GW_OWNER);
    std::printf("dialog=1\nowner=%lu\n", Handle(owner));
    PostMessageA(search.found, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  } else {
    std::printf("dialog=0\n");
  }
  for (int i = 0; i < 1000 && WaitForSingleObject(saver.hProcess, 0) == WAIT_TIMEOUT; ++i) {
    Pump(10);
  }
  DWORD code = 0;
  GetExitCodeProcess(saver.hProcess, &code);
  std::printf("exit=%ld\n", static_cast<long>(code));
  if (WaitForSingleObject(saver.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(saver.hProcess, 9);
  return 0;
}
