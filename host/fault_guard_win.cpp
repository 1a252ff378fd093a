#include "host/fault_guard_win.h"

#include <windows.h>

#include "host/password_win.h"

#if defined(__i386__)

namespace {

// A frame in the thread's chain of exception handlers, the 32-bit x86 kind: the system's
// record first, then where to resume once the system has decided to end the program.
struct GuardFrame {
  EXCEPTION_REGISTRATION_RECORD record;
  void* resume[5];  // __builtin_setjmp's buffer
};

// The guarded thread, and the last-chance filter that was in place before ours.
DWORD guardedThread = 0;
LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;

// Faults on other threads (the drawing thread) have no guard frame of their own: the
// system's last-chance handling ends the program, so the state goes off first. The
// guarded thread's faults reach here too, through its guard asking for the verdict; its
// guard switches the state off itself, once the verdict is to end the program.
LONG WINAPI OtherThreadFilter(EXCEPTION_POINTERS* pointers) {
  if (GetCurrentThreadId() != guardedThread) SetSaverRunning(false);
  return previousFilter ? previousFilter(pointers) : EXCEPTION_CONTINUE_SEARCH;
}

// Written by the handler just before it unwinds; read once the guard resumes.
GuardFrame* unwindingGuard = nullptr;
DWORD faultCode = 0;

// The head of the thread's handler chain is the first word of the thread's block, at fs:0.
EXCEPTION_REGISTRATION_RECORD* ExceptionList() {
  EXCEPTION_REGISTRATION_RECORD* head;
  __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
  return head;
}

void SetExceptionList(EXCEPTION_REGISTRATION_RECORD* head) {
  __asm__ __volatile__("movl %0, %%fs:0" : : "r"(head) : "memory");
}

// Continues in RunUnderFaultGuard with the guard's frame taken off the chain. Kept out of
// the handler: RtlUnwind of the 32-bit system need not keep the caller's ebx, esi and
// edi, so after it the handler must not rely on anything held in registers.
[[noreturn]] __attribute__((noinline)) void ResumeGuard() {
  SetExceptionList(unwindingGuard->record.Next);
  __builtin_longjmp(unwindingGuard->resume, 1);
}

EXCEPTION_DISPOSITION NTAPI GuardHandler(EXCEPTION_RECORD* record, void* establisherFrame,
                                         CONTEXT* context, void*) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) {
    return ExceptionContinueSearch;  // an unwind passing through: nothing to clean up
  }
  // The system's own verdict: report the fault, start a debugger, or end the program.
  EXCEPTION_POINTERS pointers = {record, context};
  const LONG verdict = UnhandledExceptionFilter(&pointers);
  if (verdict == EXCEPTION_CONTINUE_EXECUTION) return ExceptionContinueExecution;
  if (verdict != EXCEPTION_EXECUTE_HANDLER) return ExceptionContinueSearch;

  unwindingGuard = static_cast<GuardFrame*>(establisherFrame);
  faultCode = record->ExceptionCode;
  // The frames between the fault and the guard get their unwind calls (the system's
  // own clean-up) before the guard's function continues.
  RtlUnwind(&unwindingGuard->record, nullptr, record, nullptr);
  ResumeGuard();
}

}  // namespace

int32_t RunUnderFaultGuard(GuardedMode mode, const char* arguments) {
  guardedThread = GetCurrentThreadId();
  previousFilter = SetUnhandledExceptionFilter(OtherThreadFilter);
  GuardFrame frame;
  frame.record.Next = ExceptionList();
  frame.record.Handler = GuardHandler;
  if (__builtin_setjmp(frame.resume) != 0) {
    // The system decided to end the program after a fault in the mode.
    SetSaverRunning(false);
    return static_cast<int32_t>(faultCode);
  }
  SetExceptionList(&frame.record);
  const int32_t result = mode(arguments);
  SetExceptionList(frame.record.Next);
  return result;
}

#else

// The 64-bit build, made only to test the rest of the program under a 64-bit Wine: its
// handlers are found through unwind tables, not a chain of frames a function can push, so
// the guard is the last-chance filter alone, for every thread.
namespace {

LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;

LONG WINAPI GuardFilter(EXCEPTION_POINTERS* pointers) {
  const LONG verdict = previousFilter ? previousFilter(pointers) : EXCEPTION_EXECUTE_HANDLER;
  if (verdict == EXCEPTION_CONTINUE_EXECUTION) return verdict;
  SetSaverRunning(false);
  if (verdict == EXCEPTION_EXECUTE_HANDLER) ExitProcess(pointers->ExceptionRecord->ExceptionCode);
  return verdict;
}

}  // namespace

int32_t RunUnderFaultGuard(GuardedMode mode, const char* arguments) {
  previousFilter = SetUnhandledExceptionFilter(GuardFilter);
  return mode(arguments);
}

#endif
