#include "ui/about_win.h"

#include <shellapi.h>

#include "host/system_path_win.h"
#include "res/resource.h"

namespace {

// The shell is loaded at the first click on the address, not with the program: every
// start of the saver would load it for nothing.
void OpenWebSite() {
  typedef HINSTANCE(WINAPI * ShellExecuteProc)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
  static ShellExecuteProc open = nullptr;  // the dialog's thread only
  if (open == nullptr) {
    const HMODULE shell = LoadSystemLibrary("SHELL32.DLL");
    if (shell == nullptr) return;
    open = reinterpret_cast<ShellExecuteProc>(
        reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteA")));
    if (open == nullptr) return;
  }
  open(nullptr, "open", LUMERIN_WEB_ADDRESS, "", "c:\\", SW_SHOWNORMAL);
}

// The web-site button alone shows a hand over it. Answering the dialog's WM_SETCURSOR
// for that one control leaves the button class, which every button of the process
// shares, with its own cursor.
bool SetLinkCursor(HWND dialog, HWND control, WORD hitTest) {
  if (hitTest != HTCLIENT || control != GetDlgItem(dialog, IDC_WEBSITE)) return false;
  // 95 and NT 4 have no hand cursor: the arrow, rather than no pointer at all.
  HCURSOR hand = LoadCursor(nullptr, IDC_HAND);
  SetCursor(hand != nullptr ? hand : LoadCursor(nullptr, IDC_ARROW));
  SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
  return true;
}

}  // namespace

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      UpdateWindow(GetDlgItem(dialog, IDC_WEBSITE));
      return TRUE;
    case WM_SETCURSOR:
      return SetLinkCursor(dialog, reinterpret_cast<HWND>(wParam), LOWORD(lParam)) ? TRUE : FALSE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
        case IDC_WEBSITE:
          OpenWebSite();
          return FALSE;
      }
      return FALSE;
  }
  return FALSE;
}
