// What the stand-in libraries share: the folder named by LUMERIN_STANDIN_DIR, the log
// calls.log in it, and a log line for each load and free of the library, so that the
// tests see whether and when the program loaded it. Kernel calls only: the lines are
// also written from DllMain.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstring>

inline void StandInPath(const char* name, char* path, size_t size) {
  char dir[MAX_PATH] = "";
  GetEnvironmentVariableA("LUMERIN_STANDIN_DIR", dir, sizeof dir);
  std::snprintf(path, size, "%s\\%s", dir, name);
}

inline void StandInLog(const char* line) {
  char path[MAX_PATH + 32];
  StandInPath("calls.log", path, sizeof path);
  const HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
  CloseHandle(file);
}

// "attach <path>" when loaded; "detach free" when freed, "detach exit" when the process
// ends with the library still loaded.
inline void StandInLogAttach(HINSTANCE module, DWORD reason, void* reserved) {
  char line[MAX_PATH + 32];
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(module, path, sizeof path);
    std::snprintf(line, sizeof line, "attach %s\n", path);
    StandInLog(line);
  } else if (reason == DLL_PROCESS_DETACH) {
    StandInLog(reserved == nullptr ? "detach free\n" : "detach exit\n");
  }
}
