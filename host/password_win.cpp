#include "host/password_win.h"


#include "host/startup_win.h"
#include "host/system_path_win.h"

HMODULE passwordLibrary = nullptr;
VerifyScreenSavePwdProc verifierEntry = nullptr;

namespace {

typedef DWORD(WINAPI* PwdChangePasswordProc)(LPCSTR provider, HWND owner, DWORD, LPVOID);

constexpr UINT kSetScreenSaverRunning = 97;  // SPI_SETSCREENSAVERRUNNING

// Whether "ScreenSaveUsePassword" says a password is in use. The value is read into a
// zeroed 4-byte word: fewer bytes count as its low bytes, more bytes fail the read.
bool PasswordInUse(HKEY desktop) {
  unsigned char word[4] = {0, 0, 0, 0};
  DWORD size = sizeof word;
  if (RegQueryValueExA(desktop, "ScreenSaveUsePassword", nullptr, nullptr, word, &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  return (word[0] | word[1] | word[2] | word[3]) != 0;
}

}  // namespace

void LoadPasswordVerifier() {
  if (!win9xFamily) return;
  if (passwordLibrary) UnloadPasswordVerifier();
  HKEY desktop = nullptr;
  if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop) != ERROR_SUCCESS) return;
  if (PasswordInUse(desktop)) {
    passwordLibrary = LoadSystemLibrary("PASSWORD.CPL");
    if (passwordLibrary) {
      verifierEntry = reinterpret_cast<VerifyScreenSavePwdProc>(
          reinterpret_cast<void*>(GetProcAddress(passwordLibrary, "VerifyScreenSavePwd")));
      if (verifierEntry)
        SetSaverRunning(true);
      else
        UnloadPasswordVerifier();
    }
  }
  RegCloseKey(desktop);
}

void UnloadPasswordVerifier() {
  if (!win9xFamily || !passwordLibrary) return;
  FreeLibrary(passwordLibrary);
  passwordLibrary = nullptr;
  if (verifierEntry) {
    verifierEntry = nullptr;
    SetSaverRunning(false);
  }
}

void SetSaverRunning(bool on) {
  if (!win9xFamily) return;
  UINT previous = 0;
  SystemParametersInfoA(kSetScreenSaverRunning, on ? 1 : 0, &previous, 0);
}

void ChangeSaverPassword(HWND owner) {
  HMODULE router = LoadSystemLibrary("MPR.DLL");
  if (!router) return;
  auto change = reinterpret_cast<PwdChangePasswordProc>(
      reinterpret_cast<void*>(GetProcAddress(router, "PwdChangePasswordA")));
  if (change) change("SCRSAVE", owner, 0, nullptr);
  FreeLibrary(router);
}
