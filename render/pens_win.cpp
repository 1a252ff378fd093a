#include "render/pens_win.h"

#include "render/monitor_layout.h"
#include "settings/settings.h"

HPEN pens[kPaletteSize];
int32_t penDpi = kBaseDpi;

void CreatePenSet(HPEN (&set)[kPaletteSize], int32_t width) {
  for (int i = 0; i < kPaletteSize; ++i)
    set[i] = CreatePen(PS_SOLID, width, static_cast<COLORREF>(colors[i]));
}

void DeletePenSet(HPEN (&set)[kPaletteSize]) {
  for (HPEN& pen : set) {
    if (pen != nullptr) DeleteObject(pen);
    pen = nullptr;
  }
}

void CreatePens() { CreatePenSet(pens, ScaledLineWidth(Settings.LineWidth, penDpi)); }

void DeletePens() { DeletePenSet(pens); }
