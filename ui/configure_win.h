// The configuration dialog (dialog resource 2003). Runs on the one thread of the
// configuration mode; edits the process-wide settings record in place.
#pragma once

#include <windows.h>

// The colour chooser's sixteen custom colours, shared by every swatch's chooser for the
// life of the process and never saved; black at start.
extern COLORREF customColours[16];

// Makes sure the common-control classes the dialog uses exist; returns TRUE to go on.
BOOL RegisterConfigureClasses(HINSTANCE instance);

INT_PTR CALLBACK ConfigureDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
