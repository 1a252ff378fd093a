// The pause after every drawn segment, cut short at once by a stop event. A timed wait on
// the NT family ends on the system's timer tick, 15.6 ms by default, and since Windows 10
// version 2004 a process that does not raise the timer resolution itself never gets a
// finer one: 5 ms would last three times as long. Where the system has high-resolution
// waitable timers (Windows 10 version 1803 on) the pause waits on one of them together
// with the stop event; elsewhere it is a timed wait on the stop event. The system-wide
// timer resolution is never changed. One SegmentPause belongs to one thread.
#pragma once

#include <windows.h>

using CreateWaitableTimerExWProc = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);
using SetWaitableTimerProc = BOOL(WINAPI*)(HANDLE, const LARGE_INTEGER*, LONG, PTIMERAPCROUTINE,
                                           LPVOID, BOOL);

// The two timer functions, looked up at run time: 95 has neither, NT 4 and 98 lack the
// first, so importing them would keep the program from loading there.
struct PreciseTimerFunctions {
  CreateWaitableTimerExWProc create = nullptr;
  SetWaitableTimerProc set = nullptr;
};

// Both functions from kernel32, or nulls where the system lacks either.
PreciseTimerFunctions FindPreciseTimerFunctions();

class SegmentPause {
 public:
  // `stopEvent` may be null (then the pause cannot be cut short). Without both timer
  // functions, or when the system refuses a high-resolution timer, the plain wait is used.
  SegmentPause(HANDLE stopEvent, const PreciseTimerFunctions& functions);
  ~SegmentPause();
  SegmentPause(const SegmentPause&) = delete;
  SegmentPause& operator=(const SegmentPause&) = delete;

  // Waits `milliseconds`. False when the stop event is signalled (or cannot be waited on).
  bool Wait(DWORD milliseconds);

 private:
  HANDLE stopEvent_;
  SetWaitableTimerProc set_ = nullptr;
  HANDLE timer_ = nullptr;
};
