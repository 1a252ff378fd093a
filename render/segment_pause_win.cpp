#include "render/segment_pause_win.h"

namespace {

// Not in every header this program is built with.
constexpr DWORD kHighResolutionTimer = 0x00000002;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
constexpr DWORD kTimerModifyState = 0x0002;         // TIMER_MODIFY_STATE
constexpr LONGLONG kTicksPerMs = 10000;             // due times count 100 ns

// A timer that was set always fires; this bound only keeps a pause from hanging if a
// system ever failed to signal one.
constexpr DWORD kTimerSafetyMs = 1000;

}  // namespace

PreciseTimerFunctions FindPreciseTimerFunctions() {
  PreciseTimerFunctions functions;
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return functions;
  functions.create = reinterpret_cast<CreateWaitableTimerExWProc>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "CreateWaitableTimerExW")));
  functions.set = reinterpret_cast<SetWaitableTimerProc>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetWaitableTimer")));
  return functions;
}

SegmentPause::SegmentPause(HANDLE stopEvent, const PreciseTimerFunctions& functions)
    : stopEvent_(stopEvent) {
  if (stopEvent == nullptr || functions.create == nullptr || functions.set == nullptr) return;
  // Windows 10 before version 1803 refuses the flag: then the plain wait it is.
  timer_ =
      functions.create(nullptr, nullptr, kHighResolutionTimer, SYNCHRONIZE | kTimerModifyState);
  set_ = functions.set;
}

SegmentPause::~SegmentPause() {
  if (timer_ != nullptr) CloseHandle(timer_);
}

bool SegmentPause::Wait(DWORD milliseconds) {
  if (stopEvent_ == nullptr) {
    Sleep(milliseconds);
    return true;
  }
  if (timer_ != nullptr) {
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(milliseconds) * kTicksPerMs;  // relative to now
    if (set_(timer_, &due, 0, nullptr, nullptr, FALSE)) {
      const HANDLE handles[2] = {stopEvent_, timer_};
      const DWORD woken = WaitForMultipleObjects(2, handles, FALSE, milliseconds + kTimerSafetyMs);
      return woken == WAIT_OBJECT_0 + 1 || woken == WAIT_TIMEOUT;
    }
  }
  // Signalled, or a handle that can no longer be waited on: either way, stop.
  return WaitForSingleObject(stopEvent_, milliseconds) == WAIT_TIMEOUT;
}
