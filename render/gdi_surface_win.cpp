#include "render/gdi_surface_win.h"

#include "render/pens_win.h"

HDC GetDrawingDC(HWND window) {
  return window != nullptr ? GetDCEx(window, nullptr, DCX_CACHE) : nullptr;
}

GdiSurface::GdiSurface(HWND window, HBRUSH background, SegmentPause* pause)
    : window_(window), background_(background), pause_(pause), dc_(GetDrawingDC(window)) {}

GdiSurface::~GdiSurface() { End(); }

void GdiSurface::End() {
  if (dc_ == nullptr) return;
  // A pen still selected into a device context cannot be deleted: hand the context back
  // with its own pen, so that DeletePens always succeeds afterwards.
  if (originalPen_ != nullptr) SelectObject(dc_, originalPen_);
  ReleaseDC(window_, dc_);
  dc_ = nullptr;
  originalPen_ = nullptr;
}

void GdiSurface::Clear() {
  if (dc_ == nullptr) return;
  RECT client;
  if (GetClientRect(window_, &client)) FillRect(dc_, &client, background_);
}

void GdiSurface::MoveTo(int x, int y) {
  if (dc_ != nullptr) MoveToEx(dc_, x, y, nullptr);
}

void GdiSurface::SelectPen(int pen) {
  if (pen >= 0 && pen < kPaletteSize) SelectPenHandle(pens[pen]);
}

void GdiSurface::SelectPenHandle(HPEN pen) {
  if (dc_ == nullptr || pen == nullptr) return;
  HGDIOBJ previous = SelectObject(dc_, pen);
  if (originalPen_ == nullptr) originalPen_ = previous;
}

void GdiSurface::FillArea(const RECT& area, HBRUSH brush) {
  if (dc_ != nullptr) FillRect(dc_, &area, brush);
}

void GdiSurface::LineTo(int x, int y) {
  if (dc_ != nullptr) ::LineTo(dc_, x, y);
}

bool GdiSurface::Pause(int milliseconds) {
  const DWORD wait = milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0;
  if (pause_ == nullptr) {
    Sleep(wait);
    return true;
  }
  return pause_->Wait(wait);
}
