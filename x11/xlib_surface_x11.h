// Drawing with Xlib: the ten pens as graphics contexts and a surface that draws the
// drawing pass into one X window as GDI draws it on Windows. Used by the Linux display
// mode's one thread only.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "render/monitor_layout.h"
#include "render/palette.h"
#include "render/turtle.h"

// The pens of the current colours and line width, and the background's, for one window.
class XlibPens {
 public:
  // `visual`, `colormap` and `depth` are the window's.
  XlibPens(Display* display, Window window, Visual* visual, Colormap colormap, int depth);
  ~XlibPens();
  XlibPens(const XlibPens&) = delete;
  XlibPens& operator=(const XlibPens&) = delete;

  // The DPI the desktop states (kBaseDpi when it states none): the pens made from then on
  // grow with it, as Windows grows them with a monitor's DPI.
  void SetDpi(int32_t dpi) { dpi_ = dpi; }

  // Ten pens of width Settings.LineWidth (at kBaseDpi) in colors, and the
  // Settings.Background brush, in place of the earlier ones. Width 1 draws GDI's thin line, which
  // leaves out its last pixel; wider pens have round ends, which GDI's wide pens have too.
  void Create();
  void Free();

  GC pen(int index) const { return pens_[index]; }
  GC background() const { return background_; }

 private:
  unsigned long PixelOf(uint32_t colorref);

  Display* display_;
  Window window_;
  Visual* visual_;
  Colormap colormap_;
  // The bits of a TrueColor pixel that carry no colour: the alpha of a depth-32 visual,
  // which a compositing host blends with, so every pixel drawn sets them to opaque.
  unsigned long opaqueBits_;
  GC pens_[kPaletteSize] = {};
  GC background_ = nullptr;
  // Colormap cells taken for the pens on a visual without fixed colours, given back by Free.
  unsigned long allocated_[kPaletteSize + 1] = {};
  int allocatedCount_ = 0;
  int32_t dpi_ = kBaseDpi;
};

// The drawing pass's surface on a window of the given size. Pause is left to the caller,
// who knows what to wait on.
class XlibSurface : public DrawingSurface {
 public:
  XlibSurface(Display* display, Window window, const XlibPens& pens, int width, int height)
      : display_(display), window_(window), pens_(pens), width_(width), height_(height) {}

  void Clear() override;
  void MoveTo(int x, int y) override;
  void SelectPen(int pen) override;
  void LineTo(int x, int y) override;

 private:
  Display* display_;
  Window window_;
  const XlibPens& pens_;
  int width_, height_;
  int x_ = 0, y_ = 0, pen_ = 0;
};
