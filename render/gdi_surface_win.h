// The drawing pass's surface in the saver: GDI on the saver window, used by the drawing
// thread only. It holds a device context of its own from construction to End (or
// destruction), across every pause, and draws with the process-wide pens. The saver
// window's class has a device context of its own that every GetDC returns, on any
// thread; the surface takes a cache context instead, so that a paint in progress on the
// window's thread, which clips that class context to the repainted area, never clips
// the segments drawn meanwhile.
#pragma once

#include <windows.h>

#include "render/segment_pause_win.h"
#include "render/turtle.h"

class GdiSurface : public DrawingSurface {
 public:
  // `background` fills the client area on Clear. Every pause is `pause`'s, which ends the
  // drawing when its stop event is signalled; without one, a plain Sleep.
  GdiSurface(HWND window, HBRUSH background, SegmentPause* pause);
  ~GdiSurface() override;
  GdiSurface(const GdiSurface&) = delete;
  GdiSurface& operator=(const GdiSurface&) = delete;

  void Clear() override;
  void MoveTo(int x, int y) override;
  void SelectPen(int pen) override;
  void LineTo(int x, int y) override;
  bool Pause(int milliseconds) override;

  // Selects `pen` (any pen that outlives the surface, or the one it replaces); null
  // selects nothing.
  void SelectPenHandle(HPEN pen);

  // Fills `area` of the client area with `brush`.
  void FillArea(const RECT& area, HBRUSH brush);

  // Puts back the device context's own pen and releases the context; the surface draws
  // nothing afterwards. Called by the destructor if not before.
  void End();

 private:
  HWND window_;
  HBRUSH background_;
  SegmentPause* pause_;
  HDC dc_;
  HGDIOBJ originalPen_ = nullptr;
};

// A device context for drawing into `window` from any thread, apart from the one its
// class may keep: release it with ReleaseDC. Null without a window (GetDC(NULL) would
// be the whole screen's).
HDC GetDrawingDC(HWND window);
