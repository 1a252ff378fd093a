// A stand-in help viewer library for the tests: it exports an HtmlHelpA-shaped entry
// under ordinal 14 only (no name), and records how it was called.
#include <windows.h>

extern "C" {

LONG fakeViewerCalls = 0;
HWND fakeViewerWindow = nullptr;
char fakeViewerFile[MAX_PATH] = {};
UINT fakeViewerCommand = 0;
DWORD_PTR fakeViewerData = 0;

HWND WINAPI FakeHtmlHelp(HWND window, LPCSTR file, UINT command, DWORD_PTR data) {
  ++fakeViewerCalls;
  fakeViewerWindow = window;
  lstrcpynA(fakeViewerFile, file ? file : "", MAX_PATH);
  fakeViewerCommand = command;
  fakeViewerData = data;
  return reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1234));
}

}  // extern "C"
