// Loading a built-in palette from the configuration dialog: the colours change as in
// ApplyPalette(index), then the dialog's ten colour buttons are repainted at once.
// Runs on the dialog's thread (or the drawing thread, without a dialog).
#pragma once

#include <windows.h>

#include <cstdint>

#include "render/palette.h"

// The dialog's colour buttons: button kFirstColorButtonId + i shows colors[i].
constexpr int kFirstColorButtonId = 103;

// Replaces colors by built-in palette `index` (any index outside 0..4 keeps them) and,
// when `dialog` is not null, sends it one WM_DRAWITEM per colour button whose hDC is a
// device context of that button and whose rcItem is its client rectangle; no other
// member of the DRAWITEMSTRUCT is filled in. A missing button is skipped.
void ApplyPalette(int32_t index, HWND dialog);
