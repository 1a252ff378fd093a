// The saver window's host: the window class, the full-screen or preview window, the
// message loop and the rules that close the saver (input, activation loss, power
// events, the AutoPlay query, the password check of the 95/98 family).
// All of it runs on the main thread; the drawing thread never touches the host's state.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr char kSaverClassName[] = "WindowsScreenSaverClass";
constexpr char kFullScreenTitle[] = "Screen Saver";
constexpr char kPreviewTitle[] = "Preview";

// The saver window; set by the main thread as soon as the window receives its creation
// message, before the program's creation handling runs.
extern HWND saverWindow;
// 1 when the saver window is a preview child of another window; set before creation.
extern int32_t previewMode;

// The verification request of the 95/98 family, sent to the saver window itself.
constexpr UINT kVerifyPasswordMessage = WM_APP;

// The area the full-screen window covers: the whole virtual screen, every monitor.
RECT FullScreenArea();

// Runs the saver in `parent` (preview) or full screen (null) until its window is
// destroyed. Returns the exit code: 0 after a close, also when a full-screen saver is
// already running; -1 when the window cannot be made.
int32_t RunSaverWindow(HWND parent);

// The class's window procedure: receives every message of the saver window.
LRESULT CALLBACK HostClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The host's default handling, which the program's window procedure passes every
// message on to: the closing rules, then DefWindowProcA.
LRESULT HostDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Nonzero when a close request may proceed (95/98 family, full screen only).
BOOL ConfirmClose(HWND window);
