// A stand-in for the multiple-provider router's password change, for the tests: each
// call of PwdChangePasswordA appends its four arguments to calls.log in
// LUMERIN_STANDIN_DIR, as do its loading and freeing. Copied under another name it is
// also a library without the password checker's entry.
#include "standin_log.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void* reserved) {
  StandInLogAttach(module, reason, reserved);
  return TRUE;
}

extern "C" DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND owner, DWORD a, LPVOID b) {
  char line[256];
  std::snprintf(line, sizeof line, "change %s owner %lu %lu %lu\n", provider ? provider : "(null)",
                static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(owner)),
                static_cast<unsigned long>(a),
                static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(b)));
  StandInLog(line);
  return 0;
}
