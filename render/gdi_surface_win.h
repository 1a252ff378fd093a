// The drawing pass's surface in the saver: GDI on the saver window, used by the drawing
// thread only. It holds the window's device context from construction to End (or
// destruction), across every pause, and draws with the process-wide pens.
#pragma once

#include <windows.h>

#include "render/turtle.h"

class GdiSurface : public DrawingSurface {
 public:
  // `background` fills the client area on Clear. `stopEvent`, when not null, cuts every
  // pause short once it is signalled and makes the drawing stop.
  GdiSurface(HWND window, HBRUSH background, HANDLE stopEvent);
  ~GdiSurface() override;
  GdiSurface(const GdiSurface&) = delete;
  GdiSurface& operator=(const GdiSurface&) = delete;

  void Clear() override;
  void MoveTo(int x, int y) override;
  void SelectPen(int pen) override;
  void LineTo(int x, int y) override;
  bool Pause(int milliseconds) override;

  // Puts back the device context's own pen and releases the context; the surface draws
  // nothing afterwards. Called by the destructor if not before.
  void End();

 private:
  HWND window_;
  HBRUSH background_;
  HANDLE stopEvent_;
  HDC dc_;
  HGDIOBJ originalPen_ = nullptr;
};

// One pass of the renderer onto the saver window: pass 0 measures (nothing of the window
// is used), any other pass draws. Returns false when stopEvent stopped the drawing.
bool Render(int pass, HWND window, HBRUSH background, HANDLE stopEvent);
