#include "x11/xlib_surface_x11.h"

#include "settings/settings.h"

namespace {

// The protocol carries coordinates as 16-bit numbers: keep every one inside them.
constexpr int kMinCoordinate = -32768;
constexpr int kMaxCoordinate = 32767;

int ToCoordinate(int value) {
  return value < kMinCoordinate ? kMinCoordinate : value > kMaxCoordinate ? kMaxCoordinate : value;
}

// An 8-bit channel spread over the bits of a TrueColor visual's mask, rounded.
unsigned long Channel(unsigned value, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while ((mask >> shift & 1) == 0) ++shift;
  const unsigned long top = mask >> shift;
  return (value * top + 127) / 255 << shift;
}

}  // namespace

XlibPens::XlibPens(Display* display, Window window, Visual* visual, Colormap colormap, int depth)
    : display_(display), window_(window), visual_(visual), colormap_(colormap) {
  const unsigned long all = depth >= 32 ? 0xFFFFFFFFul : (1ul << depth) - 1;
  opaqueBits_ = all & ~(visual->red_mask | visual->green_mask | visual->blue_mask);
}

XlibPens::~XlibPens() { Free(); }

unsigned long XlibPens::PixelOf(uint32_t colorref) {
  const unsigned red = colorref & 0xFF, green = colorref >> 8 & 0xFF, blue = colorref >> 16 & 0xFF;
  if (visual_->c_class == TrueColor) {
    return Channel(red, visual_->red_mask) | Channel(green, visual_->green_mask) |
           Channel(blue, visual_->blue_mask) | opaqueBits_;
  }
  XColor color = {};
  color.red = static_cast<unsigned short>(red * 257);
  color.green = static_cast<unsigned short>(green * 257);
  color.blue = static_cast<unsigned short>(blue * 257);
  color.flags = DoRed | DoGreen | DoBlue;
  if (allocatedCount_ < kPaletteSize + 1 && XAllocColor(display_, colormap_, &color)) {
    allocated_[allocatedCount_++] = color.pixel;
    return color.pixel;
  }
  // A full colormap: the nearer of black and white is better than no line at all.
  const int screen = DefaultScreen(display_);
  return red + green + blue >= 3 * 128 ? WhitePixel(display_, screen)
                                       : BlackPixel(display_, screen);
}

void XlibPens::Create() {
  Free();
  XGCValues values = {};
  values.graphics_exposures = False;
  values.foreground = PixelOf(Settings.Background);
  background_ = XCreateGC(display_, window_, GCForeground | GCGraphicsExposures, &values);

  const int32_t width = ScaledLineWidth(Settings.LineWidth, dpi_);
  const bool thin = width <= 1;
  values.line_width = thin ? 0 : width;
  values.cap_style = thin ? CapNotLast : CapRound;
  values.join_style = JoinRound;
  values.line_style = LineSolid;
  for (int i = 0; i < kPaletteSize; ++i) {
    values.foreground = PixelOf(colors[i]);
    pens_[i] = XCreateGC(
        display_, window_,
        GCForeground | GCLineWidth | GCCapStyle | GCJoinStyle | GCLineStyle | GCGraphicsExposures,
        &values);
  }
}

void XlibPens::Free() {
  for (GC& pen : pens_) {
    if (pen != nullptr) XFreeGC(display_, pen);
    pen = nullptr;
  }
  if (background_ != nullptr) XFreeGC(display_, background_);
  background_ = nullptr;
  if (allocatedCount_ > 0) XFreeColors(display_, colormap_, allocated_, allocatedCount_, 0);
  allocatedCount_ = 0;
}

void XlibSurface::Clear() {
  if (pens_.background() == nullptr) return;
  XFillRectangle(display_, window_, pens_.background(), 0, 0, static_cast<unsigned>(width_),
                 static_cast<unsigned>(height_));
}

void XlibSurface::MoveTo(int x, int y) {
  x_ = ToCoordinate(x);
  y_ = ToCoordinate(y);
}

void XlibSurface::SelectPen(int pen) {
  if (pen >= 0 && pen < kPaletteSize) pen_ = pen;
}

void XlibSurface::LineTo(int x, int y) {
  x = ToCoordinate(x);
  y = ToCoordinate(y);
  if (pens_.pen(pen_) != nullptr) XDrawLine(display_, window_, pens_.pen(pen_), x_, y_, x, y);
  x_ = x;
  y_ = y;
}
