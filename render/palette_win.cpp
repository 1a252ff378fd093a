#include "render/palette_win.h"

void ApplyPalette(int32_t index, HWND dialog) {
  ApplyPalette(index);
  if (dialog == nullptr) return;
  for (int i = 0; i < kPaletteSize; ++i) {
    const int id = kFirstColorButtonId + i;
    HWND button = GetDlgItem(dialog, id);
    // GetDC(NULL) would hand out the screen's device context: never paint on that.
    if (button == nullptr) continue;
    DRAWITEMSTRUCT item = {};
    GetClientRect(button, &item.rcItem);
    item.hDC = GetDC(button);
    SendMessageA(dialog, WM_DRAWITEM, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&item));
    if (item.hDC != nullptr) ReleaseDC(button, item.hDC);
  }
}
