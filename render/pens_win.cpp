#include "render/pens_win.h"

#include "settings/settings.h"

HPEN pens[kPaletteSize];

void CreatePens() {
  for (int i = 0; i < kPaletteSize; ++i) {
    pens[i] = CreatePen(PS_SOLID, Settings.LineWidth, static_cast<COLORREF>(colors[i]));
  }
}

void DeletePens() {
  for (HPEN& pen : pens) {
    if (pen != nullptr) DeleteObject(pen);
    pen = nullptr;
  }
}
