// The About box (dialog resource 1021): product lines, notices and a button that opens
// the maker's web site. No state of its own; runs on the configuration dialog's thread.
#pragma once

#include <windows.h>

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
