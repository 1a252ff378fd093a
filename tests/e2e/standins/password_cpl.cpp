// A stand-in for the system's screen-saver password checker, for the tests. Each call
// of VerifyScreenSavePwd appends a line to calls.log in LUMERIN_STANDIN_DIR and answers
// what the file "answer" there says: "1" accepts, "0" refuses; a second number is a
// time in milliseconds to keep pumping messages first, as a real password prompt would.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

void StandInPath(const char* name, char* path, size_t size) {
  char dir[MAX_PATH] = "";
  GetEnvironmentVariableA("LUMERIN_STANDIN_DIR", dir, sizeof dir);
  std::snprintf(path, size, "%s\\%s", dir, name);
}

}  // namespace

extern "C" BOOL WINAPI VerifyScreenSavePwd(HWND window) {
  char path[MAX_PATH + 32];
  int answer = 1, delay = 0;
  StandInPath("answer", path, sizeof path);
  if (FILE* f = std::fopen(path, "r")) {
    if (std::fscanf(f, "%d %d", &answer, &delay) < 1) answer = 1;
    std::fclose(f);
  }
  StandInPath("calls.log", path, sizeof path);
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "verify %lu window %lu answer %d\n", GetTickCount(),
                 static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)), answer);
    std::fclose(f);
  }
  const DWORD until = GetTickCount() + static_cast<DWORD>(delay);
  while (static_cast<LONG>(until - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  }
  return answer != 0;
}
