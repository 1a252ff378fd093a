// The system's screen-saver password services of the 95/98 family: the checker that a
// full-screen run asks before it closes, the screen-saver-running state while such a
// run lasts, and the password change. Everything here runs on the main thread and
// does nothing outside the 95/98 family.
#pragma once

#include <windows.h>

typedef BOOL(WINAPI* VerifyScreenSavePwdProc)(HWND window);

extern HMODULE passwordLibrary;                // "PASSWORD.CPL", or none
extern VerifyScreenSavePwdProc verifierEntry;  // its "VerifyScreenSavePwd", or none

// Looks the checker up when the user's desktop settings say a password is in use.
void LoadPasswordVerifier();

// Frees the checker and switches the screen-saver-running state off if it was on.
void UnloadPasswordVerifier();

void SetSaverRunning(bool on);

// Lets the system change the screen-saver password, owned by `owner`.
void ChangeSaverPassword(HWND owner);
