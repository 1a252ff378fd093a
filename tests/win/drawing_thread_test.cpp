#include <gtest/gtest.h>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "render/monitor_layout.h"
#include "render/palette.h"
#include "render/pens_win.h"
#include "render/turtle.h"
#include "saver/drawing_thread_win.h"
#include "saver/saver_window_win.h"
#include "settings/settings.h"

namespace {

constexpr COLORREF kBackground = RGB(10, 20, 30);

// The drawing thread on a full-size popup of this thread's, with the resources the
// saver window procedure would make, in the state window destruction finds them.
class DrawingThreadStop : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "LumerinDrawingThreadTest";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "drawing", WS_POPUP | WS_VISIBLE, 0,
                              0, 800, 600, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
    ResetSettings();
    ResetCatalogue();
    ResetCurrentString();
    Settings.DefaultMode = 0;
    Settings.LineWidth = 1;
    Settings.Background = kBackground;
    ApplyPalette(0);
    CreatePens();
    backgroundBrush = CreateSolidBrush(kBackground);
  }

  void TearDown() override {
    EXPECT_TRUE(StopDrawingThread(kDrawingStopWaitMs));
    DeletePens();
    DeleteObject(backgroundBrush);
    backgroundBrush = nullptr;
    DestroyWindow(window_);
    ResetSettings();
    ResetCatalogue();
    ResetCurrentString();
    penDpi = kBaseDpi;
  }

  void Fixed(int32_t entry, int32_t generation, int32_t timeOut) {
    Settings.NumFractal = entry;
    Settings.iterFrom = Settings.iterTo = generation;
    Settings.TimeOut = timeOut;
  }

  COLORREF Pixel(int x, int y) {
    HDC dc = GetDC(window_);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window_, dc);
    return c;
  }

  // Lets the thread work until the pixel shows `colour` (at most a few seconds).
  bool WaitForPixel(int x, int y, COLORREF colour) {
    for (int i = 0; i < 300; ++i) {
      if (Pixel(x, y) == colour) return true;
      Sleep(10);
    }
    return false;
  }

  HWND window_ = nullptr;
};

TEST_F(DrawingThreadStop, DuringThePauseAfterADrawing) {
  Fixed(6, 0, 50);  // "Island" generation 0, then a 5-second pause
  ASSERT_TRUE(StartDrawingThread(window_));
  NoteWindowPainted();
  ASSERT_TRUE(WaitForPixel(48, 300, colors[4]));  // the last of the four segments
  Sleep(100);                                     // past its own 5 ms pause
  EXPECT_TRUE(StopDrawingThread(kDrawingStopWaitMs));
  EXPECT_TRUE(StopDrawingThread(kDrawingStopWaitMs));  // nothing left to stop
}

TEST_F(DrawingThreadStop, InTheMiddleOfAFigure) {
  Fixed(4, 15, 50);  // the dragon's 32,768 segments: minutes of drawing
  ASSERT_TRUE(StartDrawingThread(window_));
  NoteWindowPainted();
  Sleep(300);
  EXPECT_TRUE(StopDrawingThread(kDrawingStopWaitMs));
}

TEST_F(DrawingThreadStop, BeforeTheWindowWasEverPainted) {
  Fixed(6, 0, 50);
  ASSERT_TRUE(StartDrawingThread(window_));
  EXPECT_TRUE(StopDrawingThread(kDrawingStopWaitMs));
}

TEST_F(DrawingThreadStop, InTheSlideshowWhileItRemakesThePens) {
  Settings.DefaultMode = 1;
  Settings.TimeOut = 0;
  ASSERT_TRUE(StartDrawingThread(window_));
  NoteWindowPainted();
  Sleep(500);
  EXPECT_TRUE(StopDrawingThread(kDrawingStopWaitMs));
  // The slideshow's own pens are left for window destruction to delete.
  for (HPEN pen : pens) EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
}

TEST_F(DrawingThreadStop, OneThreadPerWindow) {
  Fixed(6, 0, 50);
  ASSERT_TRUE(StartDrawingThread(window_));
  EXPECT_FALSE(StartDrawingThread(window_));
}

TEST_F(DrawingThreadStop, TheFirstDrawingUsesTheWholeClientArea) {
  Fixed(6, 0, 50);
  ASSERT_TRUE(StartDrawingThread(window_));
  NoteWindowPainted();
  ASSERT_TRUE(WaitForPixel(48, 300, colors[4]));
  EXPECT_EQ(clientWidth, 800);
  EXPECT_EQ(clientHeight, 600);
  EXPECT_EQ(margin, 48);
  EXPECT_EQ(Pixel(400, 300), kBackground);  // cleared to the user's background
  EXPECT_EQ(FractalCatalogue[6].startAngle, 0);
}

// Pens made at 192 DPI, as on a monitor at 200 %, while the window is now at 96: after a
// change of monitors the one figure takes the window's DPI again and draws 1-pixel lines.
TEST_F(DrawingThreadStop, AfterAChangeOfMonitorsTheOneFigureReadsTheDpiAgain) {
  Fixed(6, 0, 50);  // "Island" generation 0, then a 5-second pause
  DeletePens();
  penDpi = 2 * kBaseDpi;
  CreatePens();
  // The width of the square's left edge, drawn with pen 4, across the row y = 300.
  const auto edgeWidth = [this] {
    int width = 0;
    for (int x = 40; x < 60; ++x) width += Pixel(x, 300) == colors[4];
    return width;
  };
  ASSERT_TRUE(StartDrawingThread(window_));
  NoteWindowPainted();
  ASSERT_TRUE(WaitForPixel(48, 300, colors[4]));
  EXPECT_EQ(edgeWidth(), 2);

  NoteMonitorsChanged();
  NoteWindowPainted();  // the paint that the window's new size brings
  bool thin = false;
  for (int i = 0; i < 300 && !thin; ++i) {
    thin = edgeWidth() == 1;
    if (!thin) Sleep(10);
  }
  EXPECT_TRUE(thin) << "lines " << edgeWidth() << " pixels wide";
  EXPECT_EQ(penDpi, kBaseDpi);
}

TEST_F(DrawingThreadStop, AnEmptyRangeOfGenerationsStillShowsTheBackground) {
  // No drawing pass ever clears the window: the start's own clear is all there is.
  Fixed(6, 3, 50);
  Settings.iterTo = 1;
  ASSERT_TRUE(StartDrawingThread(window_));
  NoteWindowPainted();
  EXPECT_TRUE(WaitForPixel(400, 300, kBackground));
}

}  // namespace
