// A stand-in for the system's screen-saver password checker, for the tests. Each call
// of VerifyScreenSavePwd appends a line to calls.log in LUMERIN_STANDIN_DIR and answers
// what the file "answer" there says: "1" accepts, "0" refuses. Optional further numbers:
//   a time in milliseconds to keep handling messages first, as a real password prompt
//   would (every message but WM_CLOSE, so that a close posted meanwhile stays visible);
//   1 to post the saver window a key press just before answering;
//   1 to show the arrow cursor while checking, as a password box does.
// Its loading and freeing are logged too (see standin_log.h).
// When the check ends it logs "end <tick> inputs <n> pending_close <0|1>": the input
// messages it handed to the saver window, and whether a WM_CLOSE waits in its queue.
#include <cstdio>

#include "standin_log.h"

namespace {

bool IsInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

// Everything but WM_CLOSE, in two ranges.
bool NextMessage(MSG* message) {
  return PeekMessageA(message, nullptr, 0, WM_CLOSE - 1, PM_REMOVE) ||
         PeekMessageA(message, nullptr, WM_CLOSE + 1, 0xFFFFFFFF, PM_REMOVE);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void* reserved) {
  StandInLogAttach(module, reason, reserved);
  return TRUE;
}

extern "C" BOOL WINAPI VerifyScreenSavePwd(HWND window) {
  char path[MAX_PATH + 32], line[256];
  int answer = 1, delay = 0, keyAfter = 0, arrow = 0;
  StandInPath("answer", path, sizeof path);
  if (FILE* f = std::fopen(path, "r")) {
    if (std::fscanf(f, "%d %d %d %d", &answer, &delay, &keyAfter, &arrow) < 1) answer = 1;
    std::fclose(f);
  }
  std::snprintf(line, sizeof line, "verify %lu window %lu answer %d\n", GetTickCount(),
                static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)), answer);
  StandInLog(line);
  if (arrow) SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // IDC_ARROW

  int inputs = 0;
  const DWORD until = GetTickCount() + static_cast<DWORD>(delay);
  while (static_cast<LONG>(until - GetTickCount()) > 0) {
    MSG msg;
    while (NextMessage(&msg)) {
      if (msg.hwnd == window && IsInput(msg.message)) ++inputs;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  }
  MSG pending;
  const bool closePending = PeekMessageA(&pending, window, WM_CLOSE, WM_CLOSE, PM_NOREMOVE) != 0;
  if (keyAfter) PostMessageA(window, WM_KEYDOWN, 'A', 1);
  std::snprintf(line, sizeof line, "end %lu inputs %d pending_close %d key_after %d\n",
                GetTickCount(), inputs, closePending ? 1 : 0, keyAfter);
  StandInLog(line);
  return answer != 0;
}
