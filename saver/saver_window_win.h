// The program's own procedure for the saver window, full screen and preview alike. It
// owns the drawing resources for the window's lifetime: the settings are loaded, the
// pens, the background brush and the drawing thread made at creation, and all of it
// ended at destruction. Runs on the window's (main) thread only.
#pragma once

#include <windows.h>

// The solid brush of the Background colour; made at window creation, deleted at
// destruction once the drawing thread has ended. The drawing thread reads it.
extern HBRUSH backgroundBrush;

// How long window destruction waits for the drawing thread to end. The thread reacts
// within one segment's pause, so this bound is reached only if it hangs somewhere.
constexpr DWORD kDrawingStopWaitMs = 2000;

LRESULT SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
