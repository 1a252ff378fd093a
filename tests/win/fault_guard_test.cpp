// The fault guard, in child processes that run a mode which faults: the system's
// screen-saver-running state (kept by the system beyond the child's life) shows whether
// the guard switched it off before the child ended. A process may keep its own copy of
// the state once it has read or set it, so the state is always read by a new child; and
// since every child runs the test again up to its own statement, the state is also set
// only by children.
#include <gtest/gtest.h>
#include <windows.h>

#include "host/fault_guard_win.h"
#include "host/password_win.h"
#include "host/startup_win.h"

namespace {

constexpr UINT kGetScreenSaverRunning = 114;  // SPI_GETSCREENSAVERRUNNING
constexpr DWORD kAccessViolation = 0xC0000005;
constexpr DWORD kOwnException = 0xE0ABC001;
constexpr int32_t kModeResult = 7;

[[noreturn]] void ExitWithRunningState() {
  BOOL running = FALSE;
  SystemParametersInfoA(kGetScreenSaverRunning, 0, &running, 0);
  ExitProcess(running ? 1 : 0);
}

// The screen-saver-running state as a new process sees it.
void ExpectRunningState(bool on) {
  EXPECT_EXIT(ExitWithRunningState(), ::testing::ExitedWithCode(on ? 1 : 0), "")
      << "expected the state " << (on ? "on" : "off");
}

[[noreturn]] void SetRunningStateAndExit(bool on) {
  UINT previous = 0;
  SystemParametersInfoA(97, on ? 1 : 0, &previous, 0);
  ExitProcess(0);
}

void SetRunningState(bool on) {
  EXPECT_EXIT(SetRunningStateAndExit(on), ::testing::ExitedWithCode(0), "");
}

// Null, but the compiler cannot know it: the write must really fault.
int* volatile nowhere = nullptr;

int32_t WriteThroughNull(const char*) {
  SetSaverRunning(true);
  *nowhere = 1;
  return kModeResult;
}

int32_t RaiseOwnException(const char*) {
  SetSaverRunning(true);
  RaiseException(kOwnException, 0, 0, nullptr);
  return kModeResult;
}

DWORD WINAPI FaultingThread(LPVOID) {
  *nowhere = 1;
  return 0;
}

// The mode waits while another thread of the process faults, as the drawing thread could.
int32_t FaultOnAnotherThread(const char*) {
  SetSaverRunning(true);
  const HANDLE thread = CreateThread(nullptr, 0, FaultingThread, nullptr, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  return kModeResult;
}

int32_t ReturnArgumentLength(const char* arguments) {
  return static_cast<int32_t>(lstrlenA(arguments));
}

LONG WINAPI HandleIt(EXCEPTION_POINTERS*) { return EXCEPTION_EXECUTE_HANDLER; }
LONG WINAPI ContinueIt(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_EXECUTION; }

enum class Verdict { kSystemDefault, kHandle, kContinue };

// What the program's entry does with the guard, in a death-test child: the mode's result
// becomes the exit code at once. The system's verdict on an unhandled fault is set through
// the last-chance filter that UnhandledExceptionFilter consults; no fault box is shown.
[[noreturn]] void RunAsProgram(GuardedMode mode, int32_t family, Verdict verdict) {
  SetErrorMode(SEM_NOGPFAULTERRORBOX);
  if (verdict == Verdict::kHandle) SetUnhandledExceptionFilter(HandleIt);
  if (verdict == Verdict::kContinue) SetUnhandledExceptionFilter(ContinueIt);
  win9xFamily = family;
  ExitProcess(static_cast<UINT>(RunUnderFaultGuard(mode, "")));
}

[[noreturn]] void LeaveStateOnAndExit() {
  win9xFamily = 1;
  SetSaverRunning(true);
  ExitProcess(kModeResult);
}

class FaultGuard : public ::testing::Test {
 protected:
  void TearDown() override { SetRunningState(false); }
};

TEST_F(FaultGuard, TheRunningStateOutlivesAProcessThatLeftItOn) {
  // What makes the other tests meaningful: only the program can switch it off.
  SetRunningState(false);
  EXPECT_EXIT(LeaveStateOnAndExit(), ::testing::ExitedWithCode(kModeResult), "");
  ExpectRunningState(true);
}

TEST_F(FaultGuard, AModeWithoutAFaultReturnsItsOwnResult) {
  SetRunningState(true);
  win9xFamily = 1;
  EXPECT_EQ(RunUnderFaultGuard(ReturnArgumentLength, "abc"), 3);
  EXPECT_EQ(RunUnderFaultGuard(ReturnArgumentLength, ""), 0);
  win9xFamily = 0;
  ExpectRunningState(true);  // untouched
}

TEST_F(FaultGuard, AFaultThatTheSystemHandlesSwitchesTheStateOffBeforeTheProcessEnds) {
  struct Case {
    const char* name;
    GuardedMode mode;
    Verdict verdict;
    DWORD exitCode;
  };
  const Case cases[] = {
      {"access violation, the system's own verdict", WriteThroughNull, Verdict::kSystemDefault,
       kAccessViolation},
      {"access violation, handled", WriteThroughNull, Verdict::kHandle, kAccessViolation},
      {"raised exception, handled", RaiseOwnException, Verdict::kHandle, kOwnException},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetRunningState(false);
    EXPECT_EXIT(RunAsProgram(c.mode, 1, c.verdict),
                ::testing::ExitedWithCode(static_cast<int>(c.exitCode)), "");
    ExpectRunningState(false);
  }
}

TEST_F(FaultGuard, AFaultOnAnotherThreadSwitchesTheStateOffBeforeTheProcessEnds) {
  SetRunningState(false);
  EXPECT_EXIT(RunAsProgram(FaultOnAnotherThread, 1, Verdict::kSystemDefault),
              ::testing::ExitedWithCode(static_cast<int>(kAccessViolation)), "");
  ExpectRunningState(false);
}

TEST_F(FaultGuard, AFaultTheSystemContinuesFromLetsTheModeGoOn) {
  // The raised exception can be continued: the mode returns its own result and the
  // state stays as the mode left it.
  SetRunningState(false);
  EXPECT_EXIT(RunAsProgram(RaiseOwnException, 1, Verdict::kContinue),
              ::testing::ExitedWithCode(kModeResult), "");
  ExpectRunningState(true);
}

TEST_F(FaultGuard, OutsideThe95And98FamilyTheStateIsNeverTouched) {
  SetRunningState(true);
  EXPECT_EXIT(RunAsProgram(WriteThroughNull, 0, Verdict::kHandle),
              ::testing::ExitedWithCode(static_cast<int>(kAccessViolation)), "");
  ExpectRunningState(true);
}

}  // namespace
