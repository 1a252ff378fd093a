// The one drawing thread of the saver window: it clears the window, then runs the
// slideshow or the fixed fractal until window destruction asks it to stop.
// Start and stop are called on the window's thread; the thread itself writes the
// drawing area, the random state, CurrentString and, in the slideshow, the pens.
#pragma once

#include <windows.h>

// Starts the thread for `window`, handed over as the thread's start argument (the host
// may not have stored the handle yet). False when it could not be started.
bool StartDrawingThread(HWND window);

// Asks the thread to stop and waits for it at most `timeoutMs`. True when no drawing
// thread is left running.
bool StopDrawingThread(DWORD timeoutMs);

// Tells the thread that the window has been painted (and so erased) for the first time:
// it starts drawing only then, so that this first erase cannot wipe out the beginning
// of the first figure. Called by the window's thread after each WM_PAINT.
void NoteWindowPainted();

// Tells the thread that monitors were added, removed or re-arranged: it lays the figures
// out again and starts them afresh once the window has been painted again (the caller
// makes sure that a paint follows). Called by the window's thread.
void NoteMonitorsChanged();

// Paints the window's client area as the drawing thread paints it before the figures:
// the user's background, and black outside the figure on the primary alone. Called by
// the window's thread to erase the window, with the device context `dc`.
void PaintWindowBackground(HWND window, HDC dc);

// The thread's entry; `window` is the saver window.
DWORD WINAPI DrawingThread(LPVOID window);
