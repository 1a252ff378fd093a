// The ten pens the renderer draws with, one per palette colour. Made by the saver
// window's thread at creation; in the slideshow the drawing thread deletes and remakes
// them between two drawings, and the window's thread deletes them at destruction.
#pragma once

#include <windows.h>

#include "render/palette.h"

extern HPEN pens[kPaletteSize];

// pens[i] = a solid pen of width Settings.LineWidth in colors[i] as they are now.
// Earlier pens are not deleted: call DeletePens first.
void CreatePens();

// Deletes the ten pens and sets their handles to null, so that deleting twice, or
// deleting before any were made, does nothing.
void DeletePens();
