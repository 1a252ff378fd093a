// Starts a program with an exact command line, which wine's own argument quoting would
// not allow, and ends with the program's exit code.
//   launch PATH TAIL    runs the line "PATH"TAIL (the path in quotes, TAIL as given)
//   launch - LINE       runs LINE as it is
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  char line[4096];
  if (std::strcmp(argv[1], "-") == 0) {
    std::snprintf(line, sizeof line, "%s", argv[2]);
  } else {
    std::snprintf(line, sizeof line, "\"%s\"%s", argv[1], argv[2]);
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::printf("start failed: %lu\n", GetLastError());
    return 2;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 2;
  GetExitCodeProcess(process.hProcess, &code);
  return static_cast<int>(code);
}
