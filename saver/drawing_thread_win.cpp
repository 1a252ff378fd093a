#include "saver/drawing_thread_win.h"

#include <optional>

#include "core/float_precision.h"
#include "host/saver_host_win.h"
#include "render/gdi_surface_win.h"
#include "render/monitor_layout.h"
#include "render/palette.h"
#include "render/pens_win.h"
#include "render/turtle.h"
#include "saver/animation.h"
#include "saver/monitors_win.h"
#include "saver/random.h"
#include "saver/saver_window_win.h"
#include "settings/settings.h"

namespace {

// Under Wine, what a second thread draws can stay off the screen until some thread
// enters a message call; a figure that grows should be seen growing. On Windows the
// drawing shows at once and this costs one PeekMessageA now and then.
constexpr DWORD kShowIntervalMs = 50;
// The longest wait for the window's first paint; a window that is never painted (hidden,
// or in a parent that is not shown) is drawn into all the same.
constexpr DWORD kFirstPaintWaitMs = 1000;

// Written by the window's thread only: the thread's handle from its start until it has
// ended, and two events made once and kept for the life of the process.
HANDLE drawingThread = nullptr;
HANDLE stopEvent = nullptr;
HANDLE paintedEvent = nullptr;
// Set by the window's thread when the monitors change; taken by the drawing thread.
HANDLE layoutEvent = nullptr;

uint32_t SystemTicks() { return GetTickCount(); }

// Pushes what this thread has drawn to the screen. The message call can run other
// programs' hooks in this thread, mid-figure too: the figure's arithmetic is set again.
void ShowDrawing() {
  GdiFlush();
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  UseDoublePrecision();
}

// Waits for the window's paint after its start or a change of monitors, so that the
// paint's erase cannot wipe out the beginning of the figures. False when asked to stop.
bool WaitForPaint() {
  if (paintedEvent == nullptr) return true;
  const HANDLE events[2] = {stopEvent, paintedEvent};
  return WaitForMultipleObjects(2, events, FALSE, kFirstPaintWaitMs) != WAIT_OBJECT_0;
}

// Takes a change of monitors that arrived during a drawing.
bool LayoutChanged() {
  return layoutEvent != nullptr && WaitForSingleObject(layoutEvent, 0) == WAIT_OBJECT_0;
}

bool Stopped() { return WaitForSingleObject(stopEvent, 0) != WAIT_TIMEOUT; }

// The pause after a drawing; false when the drawing must stop or the monitors changed.
bool WaitAfterDrawing(uint32_t milliseconds) {
  if (layoutEvent == nullptr) return WaitForSingleObject(stopEvent, milliseconds) == WAIT_TIMEOUT;
  const HANDLE events[2] = {stopEvent, layoutEvent};
  return WaitForMultipleObjects(2, events, FALSE, milliseconds) == WAIT_TIMEOUT;
}

// Fills the client area as the figures' layout has it before any figure is drawn: the
// user's background, but black outside the figure when it is on the primary alone.
void FillLayoutBackground(HDC dc, const RECT& client, const FigureLayout& layout,
                          bool primaryOnly) {
  if (!primaryOnly) {
    FillRect(dc, &client, backgroundBrush);
    return;
  }
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  for (int i = 0; i < layout.count; ++i) {
    const FigureArea& a = layout.areas[i];
    const RECT area = {a.left, a.top, a.left + a.width, a.top + a.height};
    FillRect(dc, &area, backgroundBrush);
  }
}

// Shows a drawing pass as it grows: its first segment at once (how soon a start or a new
// figure is seen), then every kShowIntervalMs. The one figure and the figures of several
// monitors both show their drawing through it.
class GrowingShow {
 public:
  GrowingShow() : lastShown_(GetTickCount() - kShowIntervalMs) {}
  // After each segment, or each round of segments of several figures.
  void AfterSegment() {
    const DWORD now = GetTickCount();
    if (now - lastShown_ < kShowIntervalMs) return;
    ShowDrawing();
    lastShown_ = now;
  }

 private:
  DWORD lastShown_;
};

// The drawing pass's surface, passed through, showing the figure as it grows.
class ShowingSurface : public DrawingSurface {
 public:
  explicit ShowingSurface(DrawingSurface& inner) : inner_(inner) {}
  void Clear() override { inner_.Clear(); }
  void MoveTo(int x, int y) override { inner_.MoveTo(x, y); }
  void SelectPen(int pen) override { inner_.SelectPen(pen); }
  void LineTo(int x, int y) override { inner_.LineTo(x, y); }
  bool Pause(int milliseconds) override {
    show_.AfterSegment();
    return inner_.Pause(milliseconds) && !LayoutChanged();
  }

 private:
  DrawingSurface& inner_;
  GrowingShow show_;
};

class WindowAnimation : public AnimationPlatform {
 public:
  explicit WindowAnimation(HWND window)
      : window_(window), segmentPause_(stopEvent, FindPreciseTimerFunctions()) {}

  void RebuildPens(int32_t palette) override {
    DeletePens();
    ApplyPalette(palette);
    CreatePens();
  }

  bool Draw() override {
    Render(0, nullptr);
    bool finished;
    {
      GdiSurface surface(window_, backgroundBrush, &segmentPause_);
      ShowingSurface showing(surface);
      finished = Render(1, &showing);
    }
    ShowDrawing();
    return finished;
  }

  bool Wait(uint32_t milliseconds) override { return WaitAfterDrawing(milliseconds); }

  // The drawing area just set is the client area that RunOneFigure read.
  void ClearDrawingArea() override {
    const HDC dc = GetDrawingDC(window_);
    if (dc != nullptr) {
      const RECT area = {0, 0, clientWidth, clientHeight};
      FillLayoutBackground(dc, area, FigureLayout{}, false);
      ReleaseDC(window_, dc);
    }
    ShowDrawing();
  }

 private:
  HWND window_;
  SegmentPause segmentPause_;  // one high-resolution timer for the thread's life
};

// One figure's view of the drawing pass's one device context: its own pens and area.
// The figures take turns on the context, so its current position may be another
// figure's: a line starts from this figure's own last point then (two LineTo calls are
// two separate lines either way, so the pixels are the same).
class FigureSurface : public DrawingSurface {
 public:
  FigureSurface(GdiSurface& gdi, const HPEN* pens, const RECT& area, HBRUSH background,
                const FigureSurface** lastUser)
      : gdi_(gdi), pens_(pens), area_(area), background_(background), lastUser_(lastUser) {}
  void Clear() override { gdi_.FillArea(area_, background_); }
  void MoveTo(int x, int y) override {
    gdi_.MoveTo(x, y);
    Moved(x, y);
  }
  void SelectPen(int pen) override {
    if (pen >= 0 && pen < kPaletteSize) gdi_.SelectPenHandle(pens_[pen]);
  }
  void LineTo(int x, int y) override {
    if (*lastUser_ != this) gdi_.MoveTo(lastX_, lastY_);
    gdi_.LineTo(x, y);
    Moved(x, y);
  }
  bool Pause(int) override { return true; }  // the figures pause together

 private:
  void Moved(int x, int y) {
    lastX_ = x;
    lastY_ = y;
    *lastUser_ = this;
  }
  GdiSurface& gdi_;
  const HPEN* pens_;
  RECT area_;
  HBRUSH background_;
  const FigureSurface** lastUser_;
  int lastX_ = 0, lastY_ = 0;
};

// A figure on each monitor, or on the primary alone, in the one saver window. The pens of
// every figure are this thread's own, made and deleted here.
class WindowFigures : public FiguresPlatform {
 public:
  explicit WindowFigures(HWND window)
      : window_(window), segmentPause_(stopEvent, FindPreciseTimerFunctions()) {}
  ~WindowFigures() override {
    EndDrawing();
    for (auto& set : pens_) DeletePenSet(set);
  }
  WindowFigures(const WindowFigures&) = delete;
  WindowFigures& operator=(const WindowFigures&) = delete;

  FigureLayout StartLayout() override {
    WaitForPaint();  // a stop is seen by the first pause
    const DesktopMonitors desktop = FindMonitors(window_, true);
    const FigureLayout layout = LayOutFigures(Settings.Monitors, desktop.monitors, desktop.count,
                                              desktop.window, desktop.windowDpi);
    for (int i = 0; i < layout.count; ++i) {
      const FigureArea& a = layout.areas[i];
      areas_[i] = {a.left, a.top, a.left + a.width, a.top + a.height};
    }
    count_ = layout.count;
    const HDC dc = GetDrawingDC(window_);
    if (dc != nullptr) {
      RECT client = {0, 0, 0, 0};
      GetClientRect(window_, &client);
      FillLayoutBackground(dc, client, layout, Settings.Monitors == kPrimaryOnly);
      ReleaseDC(window_, dc);
    }
    ShowDrawing();
    return layout;
  }

  void MakePens(int index, int32_t width, int32_t dpi) override {
    if (index < 0 || index >= kMaxMonitors) return;
    DeletePenSet(pens_[index]);
    CreatePenSet(pens_[index], ScaledLineWidth(width, dpi));
  }

  DrawingSurface& Surface(int index) override {
    if (index < 0 || index >= count_ || !surfaces_[index]) return nowhere_;
    return *surfaces_[index];
  }

  void BeginDrawing() override {
    show_.emplace();
    gdi_.emplace(window_, backgroundBrush, &segmentPause_);
    lastUser_ = nullptr;
    for (int i = 0; i < count_; ++i)
      surfaces_[i].emplace(*gdi_, pens_[i], areas_[i], backgroundBrush, &lastUser_);
  }

  void EndDrawing() override {
    for (auto& surface : surfaces_) surface.reset();
    if (!gdi_) return;
    gdi_.reset();
    ShowDrawing();
  }

  bool Pause(int milliseconds) override {
    if (show_) show_->AfterSegment();
    return segmentPause_.Wait(static_cast<DWORD>(milliseconds)) && !LayoutChanged();
  }

  bool Wait(uint32_t milliseconds) override { return WaitAfterDrawing(milliseconds); }

  bool Stopped() override { return ::Stopped(); }

 private:
  // Where a figure index outside the layout draws: nowhere.
  class Nowhere : public DrawingSurface {
   public:
    void Clear() override {}
    void MoveTo(int, int) override {}
    void SelectPen(int) override {}
    void LineTo(int, int) override {}
    bool Pause(int) override { return true; }
  };

  HWND window_;
  SegmentPause segmentPause_;        // one high-resolution timer for all figures
  std::optional<GrowingShow> show_;  // made afresh for each drawing pass
  int count_ = 0;
  RECT areas_[kMaxMonitors] = {};
  HPEN pens_[kMaxMonitors][kPaletteSize] = {};
  std::optional<GdiSurface> gdi_;
  std::optional<FigureSurface> surfaces_[kMaxMonitors];
  const FigureSurface* lastUser_ = nullptr;
  Nowhere nowhere_;
};

// The pens follow the window's DPI, read again when the one figure starts afresh after a
// change of monitors: the window may now lie on monitors of another scale (a laptop at 96
// DPI docked to a monitor at 192, where a figure on each monitor draws 2-pixel lines).
void TakeWindowDpi(HWND window) {
  const int32_t dpi = WindowDpi(window);
  if (dpi == penDpi) return;
  penDpi = dpi;
  DeletePens();
  CreatePens();
}

// One figure across the whole window until a stop or a change of monitors; after one
// (`monitorsChanged`), at the window's DPI as it is then.
void RunOneFigure(HWND window, bool monitorsChanged) {
  if (!WaitForPaint()) return;
  if (monitorsChanged) TakeWindowDpi(window);
  RECT client = {0, 0, 0, 0};
  GetClientRect(window, &client);
  WindowAnimation animation(window);
  RunAnimation(animation, client.right, client.bottom);
}

}  // namespace

DWORD WINAPI DrawingThread(LPVOID parameter) {
  const HWND window = static_cast<HWND>(parameter);
  randomTickSource = SystemTicks;

  // The preview is one small window: one figure, whatever the monitors. The one figure
  // across all monitors is fitted again, from its start, after a change of monitors.
  if (previewMode || Settings.Monitors == kOneFigureAcross) {
    for (bool again = false; !Stopped(); again = true) RunOneFigure(window, again);
  } else {
    WindowFigures figures(window);
    RunAnimation(figures);
  }
  return 0;
}

void PaintWindowBackground(HWND window, HDC dc) {
  RECT client = {0, 0, 0, 0};
  if (!GetClientRect(window, &client)) return;
  const bool primaryOnly = !previewMode && Settings.Monitors == kPrimaryOnly;
  FigureLayout layout = {};
  if (primaryOnly) {
    const DesktopMonitors desktop = FindMonitors(window, false);
    layout = LayOutFigures(Settings.Monitors, desktop.monitors, desktop.count, desktop.window,
                           desktop.windowDpi);
  }
  FillLayoutBackground(dc, client, layout, primaryOnly);
}

bool StartDrawingThread(HWND window) {
  if (drawingThread != nullptr) return false;
  if (stopEvent == nullptr) stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // Without a stop event the thread could never be stopped before the pens go.
  if (stopEvent == nullptr) return false;
  ResetEvent(stopEvent);
  if (paintedEvent == nullptr) paintedEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (paintedEvent != nullptr) ResetEvent(paintedEvent);
  if (layoutEvent == nullptr) layoutEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (layoutEvent != nullptr) ResetEvent(layoutEvent);
  drawingThread = CreateThread(nullptr, 0, DrawingThread, window, 0, nullptr);
  return drawingThread != nullptr;
}

void NoteMonitorsChanged() {
  // The new figures wait for the paint that the window's new size brings.
  if (paintedEvent != nullptr) ResetEvent(paintedEvent);
  if (layoutEvent != nullptr) SetEvent(layoutEvent);
}

void NoteWindowPainted() {
  if (paintedEvent != nullptr) SetEvent(paintedEvent);
}

bool StopDrawingThread(DWORD timeoutMs) {
  if (drawingThread == nullptr) return true;
  SetEvent(stopEvent);
  if (WaitForSingleObject(drawingThread, timeoutMs) != WAIT_OBJECT_0) return false;
  CloseHandle(drawingThread);
  drawingThread = nullptr;
  return true;
}
