#include "host/startup_win.h"

#include "host/command_line.h"
#include "host/fault_guard_win.h"
#include "host/password_win.h"
#include "host/saver_host_win.h"
#include "ui/configure_win.h"

HINSTANCE moduleInstance = nullptr;
int32_t win9xFamily = 0;

namespace {

constexpr int kConfigureDialogId = 2003;

// The structure size the platform test passes: the plain OSVERSIONINFOA, which every
// version of the system accepts.
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA has the size of the test");

int32_t TestWin9xFamily() {
  OSVERSIONINFOA info;
  ZeroMemory(&info, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return 0;
  return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? 1 : 0;
}

HWND OwnerOrForeground(HWND owner) {
  if (owner == nullptr || !IsWindow(owner)) return GetForegroundWindow();
  return owner;
}

}  // namespace

HWND WindowFromNumber(uint32_t number) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(number));
}

int32_t RunPreviewMode(const char* rest) {
  const HWND parent = WindowFromNumber(ParseHandleNumber(rest));
  if (parent == nullptr || !IsWindow(parent)) return kRefusedExitCode;
  return RunSaverWindow(parent);
}

int32_t RunConfigureMode(HWND owner) {
  if (!RegisterConfigureClasses(moduleInstance)) return 0;
  return static_cast<int32_t>(DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(kConfigureDialogId),
                                              owner, ConfigureDialogProc, 0));
}

int32_t RunChangePasswordMode(const char* rest) {
  const HWND owner = OwnerOrForeground(WindowFromNumber(ParseHandleNumber(rest)));
  ChangeSaverPassword(owner);  // its outcome is the system's business
  return 0;
}

namespace {

// The switch scan and the mode it starts; runs under the fault guard.
int32_t RunMode(const char* arguments) {
  const ModeDecision decision = ScanSwitch(arguments);
  switch (decision.mode) {
    case SaverMode::kConfigure:
      return RunConfigureMode(nullptr);
    case SaverMode::kConfigureOwned:
      return RunConfigureMode(OwnerOrForeground(WindowFromNumber(decision.owner)));
    case SaverMode::kFullScreen:
      return RunSaverWindow(nullptr);
    case SaverMode::kPreview:
      return RunPreviewMode(decision.rest);
    case SaverMode::kChangePassword:
      if (win9xFamily == 0) return kRefusedExitCode;
      return RunChangePasswordMode(decision.rest);
    case SaverMode::kRefused:
      break;
  }
  return kRefusedExitCode;
}

}  // namespace

int32_t DispatchMode(HINSTANCE instance, const char* arguments) {
  moduleInstance = instance;
  win9xFamily = TestWin9xFamily();
  return RunUnderFaultGuard(RunMode, arguments);
}
