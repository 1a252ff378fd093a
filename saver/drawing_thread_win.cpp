#include "saver/drawing_thread_win.h"

#include "core/float_precision.h"
#include "render/gdi_surface_win.h"
#include "render/palette.h"
#include "render/pens_win.h"
#include "render/turtle.h"
#include "saver/animation.h"
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

uint32_t SystemTicks() { return GetTickCount(); }

// Pushes what this thread has drawn to the screen. The message call can run other
// programs' hooks in this thread, mid-figure too: the figure's arithmetic is set again.
void ShowDrawing() {
  GdiFlush();
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  UseDoublePrecision();
}

// The drawing pass's surface, passed through, showing the figure as it grows: its first
// segment at once (how soon a start or a new figure is seen), then every interval.
class ShowingSurface : public DrawingSurface {
 public:
  explicit ShowingSurface(DrawingSurface& inner)
      : inner_(inner), lastShown_(GetTickCount() - kShowIntervalMs) {}
  void Clear() override { inner_.Clear(); }
  void MoveTo(int x, int y) override { inner_.MoveTo(x, y); }
  void SelectPen(int pen) override { inner_.SelectPen(pen); }
  void LineTo(int x, int y) override { inner_.LineTo(x, y); }
  bool Pause(int milliseconds) override {
    const DWORD now = GetTickCount();
    if (now - lastShown_ >= kShowIntervalMs) {
      ShowDrawing();
      lastShown_ = now;
    }
    return inner_.Pause(milliseconds);
  }

 private:
  DrawingSurface& inner_;
  DWORD lastShown_;
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

  bool Wait(uint32_t milliseconds) override {
    return WaitForSingleObject(stopEvent, milliseconds) == WAIT_TIMEOUT;
  }

 private:
  HWND window_;
  SegmentPause segmentPause_;  // one high-resolution timer for the thread's life
};

}  // namespace

DWORD WINAPI DrawingThread(LPVOID parameter) {
  const HWND window = static_cast<HWND>(parameter);
  randomTickSource = SystemTicks;

  if (paintedEvent != nullptr) {
    const HANDLE events[2] = {stopEvent, paintedEvent};
    if (WaitForMultipleObjects(2, events, FALSE, kFirstPaintWaitMs) == WAIT_OBJECT_0) return 0;
  }

  RECT client = {0, 0, 0, 0};
  GetClientRect(window, &client);
  SetDrawingArea(client.right, client.bottom);

  const HDC dc = GetDrawingDC(window);
  if (dc != nullptr) {
    FillRect(dc, &client, backgroundBrush);
    ReleaseDC(window, dc);
  }
  ShowDrawing();

  WindowAnimation animation(window);
  if (Settings.DefaultMode != 0) {
    RunSlideshow(animation);
  } else {
    RunFixedFractal(animation);
  }
  return 0;
}

bool StartDrawingThread(HWND window) {
  if (drawingThread != nullptr) return false;
  if (stopEvent == nullptr) stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // Without a stop event the thread could never be stopped before the pens go.
  if (stopEvent == nullptr) return false;
  ResetEvent(stopEvent);
  if (paintedEvent == nullptr) paintedEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (paintedEvent != nullptr) ResetEvent(paintedEvent);
  drawingThread = CreateThread(nullptr, 0, DrawingThread, window, 0, nullptr);
  return drawingThread != nullptr;
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
