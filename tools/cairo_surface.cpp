#include "tools/cairo_surface.h"

#include "render/palette.h"
#include "settings/settings.h"

CairoSurface::CairoSurface(cairo_surface_t* target, int width, int height, int lineWidth,
                           uint32_t background)
    : cr_(cairo_create(target)),
      width_(width),
      height_(height),
      lineWidth_(lineWidth),
      background_(background) {
  cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
  cairo_set_line_width(cr_, lineWidth_);
  cairo_set_line_cap(cr_, lineWidth_ > 1 ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
}

CairoSurface::~CairoSurface() { cairo_destroy(cr_); }

void CairoSurface::Clear() {
  SetColor(background_);
  cairo_rectangle(cr_, 0, 0, width_, height_);
  cairo_fill(cr_);
}

void CairoSurface::MoveTo(int x, int y) {
  x_ = x;
  y_ = y;
}

void CairoSurface::SelectPen(int pen) { pen_ = pen; }

void CairoSurface::LineTo(int x, int y) {
  const double offset = lineWidth_ % 2 == 1 ? 0.5 : 0.0;
  SetColor(colors[pen_ % kPaletteSize]);
  cairo_move_to(cr_, x_ + offset, y_ + offset);
  cairo_line_to(cr_, x + offset, y + offset);
  cairo_stroke(cr_);
  x_ = x;
  y_ = y;
}

void CairoSurface::SetColor(uint32_t colorref) {
  cairo_set_source_rgb(cr_, (colorref & 0xFF) / 255.0, (colorref >> 8 & 0xFF) / 255.0,
                       (colorref >> 16 & 0xFF) / 255.0);
}
