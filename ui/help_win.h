// The entry to the system's HTML Help viewer: the viewer library is found and loaded on
// the first request and kept for the life of the process. Owns the viewer state below;
// only the configuration dialog's thread may call in.
#pragma once

#include <windows.h>

// The viewer's HtmlHelpA entry.
typedef HWND(WINAPI* HtmlHelpEntry)(HWND window, LPCSTR file, UINT command, DWORD_PTR data);

constexpr UINT kHelpDisplayTopic = 0;  // HH_DISPLAY_TOPIC
constexpr DWORD kHelpViewerPathSize = 260;

extern HMODULE helpViewerModule;       // the loaded viewer; never freed
extern HtmlHelpEntry helpViewerEntry;  // its HtmlHelpA, found by export ordinal
extern bool helpViewerFailed;          // loading failed once: no further attempts

// Opens the viewer on `file`; returns what the viewer returns (its window), or NULL
// when there is no viewer.
HWND CallHtmlHelp(HWND window, LPCSTR file, UINT command, DWORD_PTR data);

// Fills `path` with the viewer library's registered location, its environment strings
// expanded when it is stored as REG_EXPAND_SZ. False when it is not registered, does not
// fit, or is not a full path (a drive's root or a network share): a relative name would
// be looked for in the program's folder and the current directory, where any file of
// that name would run. The buffer then holds an empty text.
bool FindHelpViewerPath(char (&path)[kHelpViewerPathSize]);

// Where the help file "Lumerin.chm" is for the program file of `module` (NULL: the
// running program): beside it, where the installer and the zip put it for either
// edition, when it is there; else in the system directory. False when neither path fits
// (the buffer then holds an empty text).
bool HelpFilePath(HMODULE module, char (&path)[MAX_PATH]);

// Opens the help file (HelpFilePath of the running program) over `owner`. Does nothing
// when no path fits.
void ShowHelpFile(HWND owner);

// Forgets the viewer so that the next call looks for it again (tests only).
void ResetHelpViewer();
