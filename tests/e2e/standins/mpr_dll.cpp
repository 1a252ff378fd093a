// A stand-in for the multiple-provider router's password change, for the tests: each
// call of PwdChangePasswordA appends its four arguments to calls.log in
// LUMERIN_STANDIN_DIR.
#include <windows.h>

#include <cstdio>

extern "C" DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND owner, DWORD a, LPVOID b) {
  char dir[MAX_PATH] = "", path[MAX_PATH + 32];
  GetEnvironmentVariableA("LUMERIN_STANDIN_DIR", dir, sizeof dir);
  std::snprintf(path, sizeof path, "%s\\calls.log", dir);
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "change %s owner %lu %lu %lu\n", provider ? provider : "(null)",
                 static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(owner)),
                 static_cast<unsigned long>(a),
                 static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(b)));
    std::fclose(f);
  }
  return 0;
}
