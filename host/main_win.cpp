// The program's entry. It reads the command line itself, runs one mode and ends the
// process with the mode's exit code at once: the runtime's exit processing is skipped,
// and a drawing thread still running ends with the process.
#include <windows.h>

#include "host/command_line.h"
#include "host/startup_win.h"

namespace {

const char* NextChar(const char* text) { return CharNextA(text); }

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const char* arguments = FindArgumentText(GetCommandLineA(), NextChar);
  ExitProcess(static_cast<UINT>(DispatchMode(GetModuleHandleA(nullptr), arguments)));
}
