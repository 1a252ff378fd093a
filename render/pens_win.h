// The ten pens the renderer draws with, one per palette colour. Made by the saver
// window's thread at creation; the drawing thread deletes and remakes them between two
// drawings of the slideshow and when the DPI changed, and the window's thread deletes
// them at destruction.
#pragma once

#include <windows.h>

#include "render/palette.h"

extern HPEN pens[kPaletteSize];

// The DPI the widths of the ten pens are scaled to (ScaledLineWidth): 96 until the
// window's thread sets the saver window's before it makes the first pens and starts the
// drawing thread; from then on the drawing thread reads it again, and remakes the pens,
// each time the one figure starts afresh after a change of monitors.
extern int32_t penDpi;

// pens[i] = a solid pen of width Settings.LineWidth (at penDpi) in colors[i] as they are
// now. Earlier pens are not deleted: call DeletePens first.
void CreatePens();

// The same for a set of pens of its own: ten solid pens `width` pixels wide in the ten
// colors. Its earlier pens are not deleted.
void CreatePenSet(HPEN (&set)[kPaletteSize], int32_t width);
void DeletePenSet(HPEN (&set)[kPaletteSize]);

// Deletes the ten pens and sets their handles to null, so that deleting twice, or
// deleting before any were made, does nothing.
void DeletePens();
