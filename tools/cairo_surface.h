// The tool's drawing surface for images: the drawing pass drawn with cairo as GDI draws it
// on the saver window. Used by lumerin render, lumerin gallery and the growth animation.
#pragma once

#include <cairo.h>

#include <cstdint>

#include "render/turtle.h"

// Draws each segment in the colour of its pen (from colors), round caps for wide pens, odd
// widths on pixel centres so that straight lines stay crisp, and no antialiasing: like GDI,
// every pixel is either the background or one of the ten pen colours.
class CairoSurface : public DrawingSurface {
 public:
  CairoSurface(cairo_surface_t* target, int width, int height, int lineWidth, uint32_t background);
  ~CairoSurface() override;
  CairoSurface(const CairoSurface&) = delete;
  CairoSurface& operator=(const CairoSurface&) = delete;

  void Clear() override;
  void MoveTo(int x, int y) override;
  void SelectPen(int pen) override;
  void LineTo(int x, int y) override;
  bool Pause(int) override { return true; }

 private:
  void SetColor(uint32_t colorref);

  cairo_t* cr_;
  int width_, height_, lineWidth_;
  uint32_t background_;
  int x_ = 0, y_ = 0, pen_ = 0;
};
