#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "render/gdi_surface_win.h"
#include "render/palette.h"
#include "render/pens_win.h"
#include "settings/settings.h"

namespace {

constexpr COLORREF kBackground = RGB(0, 0, 40);

// A full-size popup like the saver's, with a device context of its own as the saver
// window's class has, drawn on from this thread.
class GdiDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc = {};
    wc.style = CS_OWNDC;
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

  // The drawing pass onto the window as the saver's thread makes it, pausing on stop_.
  bool DrawPass() {
    SegmentPause pause(stop_, PreciseTimerFunctions());
    GdiSurface surface(window_, brush_, &pause);
    return Render(1, &surface);
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
  ASSERT_TRUE(Render(0, nullptr));
  ASSERT_TRUE(DrawPass());
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
  ASSERT_TRUE(Render(0, nullptr));
  EXPECT_FALSE(DrawPass());
  Pump();
  EXPECT_EQ(Pixel(400, 552), colors[1]);    // the first segment was drawn
  EXPECT_EQ(Pixel(752, 300), kBackground);  // the second never was
}

TEST_F(GdiDrawing, SegmentsDrawnWhileTheWindowPaintsStillReachTheScreen) {
  // The window's thread holds a paint of a small corner open: the window's own device
  // context is clipped to that corner until EndPaint.
  RECT corner = {10, 10, 20, 20};
  InvalidateRect(window_, &corner, FALSE);
  PAINTSTRUCT paint;
  ASSERT_NE(BeginPaint(window_, &paint), nullptr);
  std::thread drawing([this] {
    Render(0, nullptr);
    DrawPass();
  });
  drawing.join();
  EndPaint(window_, &paint);
  EXPECT_EQ(Pixel(400, 552), colors[1]);
  EXPECT_EQ(Pixel(752, 300), colors[2]);
  EXPECT_EQ(Pixel(400, 300), kBackground);
}

// Stand-ins for the two timer functions: the "timer" they make is an event of the test's,
// so that the test decides when it fires and sees what the pause waits on.
struct FakeTimer {
  static HANDLE event;
  static DWORD flags;
  static LONGLONG due;
  static HANDLE WINAPI Create(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD createFlags, DWORD) {
    flags = createFlags;
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &copy, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    return copy;
  }
  static HANDLE WINAPI Refuse(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD) { return nullptr; }
  static BOOL WINAPI Set(HANDLE, const LARGE_INTEGER* dueTime, LONG, PTIMERAPCROUTINE, LPVOID,
                         BOOL) {
    due = dueTime->QuadPart;
    return TRUE;
  }
};
// The system's own timer setter, counting its calls.
struct CountingSet {
  static SetWaitableTimerProc real;
  static int calls;
  static BOOL WINAPI Set(HANDLE timer, const LARGE_INTEGER* due, LONG period,
                         PTIMERAPCROUTINE routine, LPVOID argument, BOOL resume) {
    ++calls;
    return real(timer, due, period, routine, argument, resume);
  }
};
SetWaitableTimerProc CountingSet::real = nullptr;
int CountingSet::calls = 0;
HANDLE FakeTimer::event = nullptr;
DWORD FakeTimer::flags = 0;
LONGLONG FakeTimer::due = 0;

class SegmentPauseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    FakeTimer::event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    FakeTimer::flags = 0;
    FakeTimer::due = 0;
  }
  void TearDown() override {
    CloseHandle(stop_);
    CloseHandle(FakeTimer::event);
  }
  // Waits a minute unless something ends the pause; returns how it ended and how soon.
  bool LongWait(SegmentPause& pause, DWORD* elapsedMs) {
    const DWORD start = GetTickCount();
    const bool going = pause.Wait(60000);
    *elapsedMs = GetTickCount() - start;
    return going;
  }
  // Signals the stop event from another thread while this one is in the pause.
  bool StopDuring(SegmentPause& pause, DWORD* elapsedMs) {
    std::thread stopper([this] {
      Sleep(50);
      SetEvent(stop_);
    });
    const bool going = LongWait(pause, elapsedMs);
    stopper.join();
    return going;
  }
  HANDLE stop_ = nullptr;
};

TEST_F(SegmentPauseTest, WaitsOnAHighResolutionTimerAndTheStopEventWhereTheSystemHasThem) {
  PreciseTimerFunctions fakes;
  fakes.create = FakeTimer::Create;
  fakes.set = FakeTimer::Set;
  SegmentPause pause(stop_, fakes);
  ASSERT_EQ(FakeTimer::flags, 2u);  // a high-resolution timer

  SetEvent(FakeTimer::event);  // the timer has fired: the pause is over at once
  DWORD elapsed = 0;
  EXPECT_TRUE(LongWait(pause, &elapsed));
  EXPECT_LT(elapsed, 10000u);
  EXPECT_TRUE(pause.Wait(5));
  EXPECT_EQ(FakeTimer::due, -50000);  // 5 ms from now, in 100 ns units

  ResetEvent(FakeTimer::event);
  EXPECT_FALSE(StopDuring(pause, &elapsed));
  EXPECT_LT(elapsed, 10000u);
}

TEST_F(SegmentPauseTest, AStopWinsOverATimerThatFiredAtTheSameMoment) {
  PreciseTimerFunctions fakes;
  fakes.create = FakeTimer::Create;
  fakes.set = FakeTimer::Set;
  SegmentPause pause(stop_, fakes);
  ASSERT_EQ(FakeTimer::flags, 2u);
  SetEvent(FakeTimer::event);
  SetEvent(stop_);
  EXPECT_FALSE(pause.Wait(5));  // the drawing stops; it does not draw one more segment
}

TEST_F(SegmentPauseTest, WaitsOnTheStopEventAloneWhereTheSystemHasNoSuchTimer) {
  const PreciseTimerFunctions absent;  // what the look-up gives on 95, 98, NT 4 ... 8.1
  PreciseTimerFunctions refused;       // Windows 10 before version 1803 refuses the flag
  refused.create = FakeTimer::Refuse;
  refused.set = FakeTimer::Set;
  for (const PreciseTimerFunctions& functions : {absent, refused}) {
    SegmentPause pause(stop_, functions);
    EXPECT_TRUE(pause.Wait(5));
    DWORD elapsed = 0;
    EXPECT_FALSE(StopDuring(pause, &elapsed));
    EXPECT_LT(elapsed, 10000u);
    EXPECT_FALSE(pause.Wait(0));
    ResetEvent(stop_);
  }
  EXPECT_EQ(FakeTimer::due, 0);  // no timer was ever set
}

TEST_F(SegmentPauseTest, TheSystemsOwnTimerFunctionsArePicked) {
  const PreciseTimerFunctions found = FindPreciseTimerFunctions();
  ASSERT_NE(found.create, nullptr);
  ASSERT_NE(found.set, nullptr);
  // The system's own setter, counted on its way: this system has high-resolution timers,
  // so the pause sets one.
  CountingSet::real = found.set;
  PreciseTimerFunctions counted = found;
  counted.set = CountingSet::Set;
  SegmentPause pause(stop_, counted);
  EXPECT_TRUE(pause.Wait(5));
  EXPECT_EQ(CountingSet::calls, 1);
  SetEvent(stop_);
  EXPECT_FALSE(pause.Wait(5));
}

}  // namespace
