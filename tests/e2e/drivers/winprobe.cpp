// A small probe of what Wine reports to a program: used by the test harness's own tests.
#include <windows.h>

#include <cstdio>
#include <cstring>

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
  return 2;
}
