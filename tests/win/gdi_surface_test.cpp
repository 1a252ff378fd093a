#include <gtest/gtest.h>

#include <cstring>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "render/gdi_surface_win.h"
#include "render/palette.h"
#include "render/pens_win.h"
#include "settings/settings.h"

namespace {

constexpr COLORREF kBackground = RGB(0, 0, 40);

// A full-size popup like the saver's, drawn on from this thread.
class GdiDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "LumerinGdiSurfaceTest";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "surface", WS_POPUP | WS_VISIBLE, 0,
                              0, 800, 600, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
    Pump();
    brush_ = CreateSolidBrush(kBackground);
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Settings.LineWidth = 1;
    ApplyPalette(0);
    CreatePens();
    RECT client;
    GetClientRect(window_, &client);
    SetDrawingArea(client.right, client.bottom);
    ResetCatalogue();
    Settings.NumFractal = 6;  // Island, generation 0: the stretched square
    std::strcpy(CurrentString, "F+F+F+F");
  }
  void TearDown() override {
    DeletePens();
    if (brush_ != nullptr) DeleteObject(brush_);
    if (stop_ != nullptr) CloseHandle(stop_);
    if (window_ != nullptr) DestroyWindow(window_);
    ResetCurrentString();
  }

  static void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }

  COLORREF Pixel(int x, int y) {
    HDC dc = GetDC(window_);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window_, dc);
    return c;
  }

  HWND window_ = nullptr;
  HBRUSH brush_ = nullptr;
  HANDLE stop_ = nullptr;
};

TEST_F(GdiDrawing, DrawsTheFigureInThePensOfThePalette) {
  ASSERT_EQ(clientWidth, 800);
  ASSERT_TRUE(Render(0, window_, brush_, stop_));
  ASSERT_TRUE(Render(1, window_, brush_, stop_));
  Pump();
  struct Case {
    int x, y;
    COLORREF color;
  };
  const Case cases[] = {
      {400, 552, colors[1]},    // bottom edge, left to right
      {752, 300, colors[2]},    // right edge, upwards
      {400, 48, colors[3]},     // top edge, leftwards (row 48 from x 49 on)
      {48, 300, colors[4]},     // left edge, down to the start
      {400, 300, kBackground},  // inside: cleared
      {10, 10, kBackground},    // the margin: cleared
  };
  for (const Case& c : cases) EXPECT_EQ(Pixel(c.x, c.y), c.color) << c.x << "," << c.y;
  // The surface handed its device context back without a pen of ours in it.
  for (HPEN& pen : pens) {
    EXPECT_TRUE(DeleteObject(pen));
    pen = nullptr;
  }
}

TEST_F(GdiDrawing, ASignalledStopEndsTheDrawingAfterTheCurrentSegment) {
  SetEvent(stop_);
  ASSERT_TRUE(Render(0, window_, brush_, stop_));
  EXPECT_FALSE(Render(1, window_, brush_, stop_));
  Pump();
  EXPECT_EQ(Pixel(400, 552), colors[1]);    // the first segment was drawn
  EXPECT_EQ(Pixel(752, 300), kBackground);  // the second never was
}

TEST(GdiSurfacePause, WaitsUnlessTheStopEventIsSignalled) {
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(stop, nullptr);
  {
    GdiSurface withEvent(nullptr, nullptr, stop);
    EXPECT_TRUE(withEvent.Pause(1));
    SetEvent(stop);
    EXPECT_FALSE(withEvent.Pause(1));
    EXPECT_FALSE(withEvent.Pause(0));
  }
  GdiSurface withoutEvent(nullptr, nullptr, nullptr);
  EXPECT_TRUE(withoutEvent.Pause(1));
  CloseHandle(stop);
}

}  // namespace
