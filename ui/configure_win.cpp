// TEMPORARY stand-in so that the program links until the configuration dialog lands.
#include "ui/configure_win.h"

BOOL RegisterConfigureClasses(HINSTANCE) { return TRUE; }

INT_PTR CALLBACK ConfigureDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) EndDialog(dialog, 0);
  return FALSE;
}
