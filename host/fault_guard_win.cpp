#include "host/fault_guard_win.h"

#include <windows.h>

#include "host/password_win.h"

namespace {

LONG WINAPI LastChanceFilter(EXCEPTION_POINTERS*) {
  // Left on, the system would believe a saver still runs and keep its keys disabled.
  SetSaverRunning(false);
  return EXCEPTION_EXECUTE_HANDLER;  // the process ends with the fault's code
}

}  // namespace

void InstallFaultGuard() { SetUnhandledExceptionFilter(LastChanceFilter); }
