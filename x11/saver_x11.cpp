#include "x11/saver_x11.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/config_watch_posix.h"
#include "host/linux_modes_posix.h"
#include "render/palette.h"
#include "render/turtle.h"
#include "saver/animation.h"
#include "saver/random.h"
#include "settings/settings.h"
#include "x11/xlib_surface_x11.h"

namespace {

constexpr unsigned kOwnWidth = 800;
constexpr unsigned kOwnHeight = 600;
// The longest wait for a window to be shown before the first drawing; one that is never
// shown is drawn into all the same.
constexpr uint32_t kFirstShowWaitMs = 1000;

// The reading end of the stop-signal pipe, which every pause polls.
int stopSignals = -1;

// What the X error handler saw. Xlib calls the handler on this thread, from within the
// call that read the error, and the handler may not call Xlib itself.
bool windowLost = false;
int otherXError = 0;

int OnXError(Display*, XErrorEvent* error) {
  // The daemon destroys the window while drawing may still be on its way to it.
  if (error->error_code == BadWindow || error->error_code == BadDrawable) {
    windowLost = true;
  } else if (otherXError == 0) {
    otherXError = error->error_code;
  }
  return 0;
}

// A lost connection leaves nothing to draw on, as a destroyed window does. Xlib ends the
// process if this returns, so it ends it itself, quietly.
int OnXIOError(Display*) { _exit(kModeEnded); }

// The scale the desktop states in its Xft.dpi resource, which X11 desktops set for a
// screen of many pixels per inch; kBaseDpi when it states none or nonsense.
int32_t DesktopDpi(Display* display) {
  const char* resources = XResourceManagerString(display);
  if (resources == nullptr) return kBaseDpi;
  XrmInitialize();
  XrmDatabase database = XrmGetStringDatabase(resources);
  if (database == nullptr) return kBaseDpi;
  int32_t dpi = kBaseDpi;
  char* type = nullptr;
  XrmValue value = {};
  if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
    char* end = nullptr;
    const double stated = std::strtod(value.addr, &end);
    if (end != value.addr && stated > 0 && stated <= kBaseDpi * 64)
      dpi = static_cast<int32_t>(std::lround(stated));
  }
  XrmDestroyDatabase(database);
  return dpi;
}

uint64_t NowMs() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

// The random source's tick: a millisecond count that wraps, as the system's tick count does.
uint32_t MonotonicTicks() { return static_cast<uint32_t>(NowMs()); }

class X11Saver : public AnimationPlatform {
 public:
  enum class Outcome { kTimeUp, kStop, kResized, kNewSettings };

  X11Saver(Display* display, Window window, bool own, const XWindowAttributes& attributes,
           const SettingsReload& reload)
      : reload_(reload),
        display_(display),
        window_(window),
        own_(own),
        width_(attributes.width),
        height_(attributes.height),
        shown_(attributes.map_state == IsViewable),
        pens_(display, window, attributes.visual, attributes.colormap, attributes.depth) {
    deleteAtom_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    pens_.SetDpi(DesktopDpi(display));
    if (!reload_.path.empty()) watch_.Start(reload_.path);
  }

  // Waits to be shown, clears the window and runs the loop the settings ask for, until
  // something ends it; new settings start it afresh.
  void Run() {
    const uint64_t showDeadline = NowMs() + kFirstShowWaitMs;
    while (!shown_) {
      const Outcome outcome = WaitUntil(showDeadline);
      if (outcome == Outcome::kStop) return;
      if (outcome == Outcome::kTimeUp) break;
      // The size is taken once the window shows, the settings as they are then.
      resized_ = newSettings_ = false;
    }
    resized_ = false;
    for (;;) {
      pens_.Create();
      RunAnimation(*this, width_, height_);
      if (stop_ || !newSettings_) return;
      newSettings_ = false;
      pens_.Free();
    }
  }

  void RebuildPens(int32_t palette) override {
    pens_.Free();
    ApplyPalette(palette);
    pens_.Create();
  }

  // Both passes; a resize during the drawing pass starts them again at the new size.
  bool Draw() override {
    for (;;) {
      Render(0, nullptr);
      PausingSurface surface(*this);
      if (Render(1, &surface)) {
        XFlush(display_);
        return true;
      }
      if (stop_ || !resized_) return false;
      TakeNewSize();
    }
  }

  // A resize during the pause draws the figure again at the new size; the pause goes on.
  bool Wait(uint32_t milliseconds) override {
    const uint64_t deadline = NowMs() + milliseconds;
    for (;;) {
      switch (WaitUntil(deadline)) {
        case Outcome::kTimeUp:
          return true;
        case Outcome::kStop:
        case Outcome::kNewSettings:
          return false;
        case Outcome::kResized:
          TakeNewSize();
          if (!Draw()) return false;
          break;
      }
    }
  }

  void ClearDrawingArea() override {
    PausingSurface(*this).Clear();
    XFlush(display_);
  }

  bool failed() const { return otherXError != 0; }

 private:
  // The drawing pass's surface, whose pause after each segment is a wait on events.
  class PausingSurface : public XlibSurface {
   public:
    explicit PausingSurface(X11Saver& saver)
        : XlibSurface(saver.display_, saver.window_, saver.pens_, saver.width_, saver.height_),
          saver_(saver) {}
    // What the server reported exposed before this clear reaches it is painted by the
    // clear: painting it again when the report is read would wipe what was drawn since.
    void Clear() override {
      saver_.clearSerial_ = NextRequest(saver_.display_);
      XlibSurface::Clear();
    }
    bool Pause(int milliseconds) override {
      return saver_.WaitUntil(NowMs() + static_cast<uint64_t>(milliseconds)) == Outcome::kTimeUp;
    }

   private:
    X11Saver& saver_;
  };

  void TakeNewSize() {
    resized_ = false;
    SetDrawingArea(width_, height_);
  }

  // Handles what has arrived and waits for more until the deadline. Stops as soon as a
  // stop is asked for or the window goes, on a resize and on new settings.
  Outcome WaitUntil(uint64_t deadline) {
    for (;;) {
      HandleEvents();
      if (windowLost || otherXError != 0) stop_ = true;
      if (stop_) return Outcome::kStop;
      if (resized_) return Outcome::kResized;
      if (newSettings_) return Outcome::kNewSettings;
      const uint64_t now = NowMs();
      if (now >= deadline) return Outcome::kTimeUp;
      pollfd fds[3] = {{ConnectionNumber(display_), POLLIN, 0},
                       {stopSignals, POLLIN, 0},
                       {watch_.fd(), POLLIN, 0}};
      const int ready = poll(fds, 3, static_cast<int>(deadline - now));
      if (ready > 0 && fds[1].revents != 0) stop_ = true;
      if (ready > 0 && fds[2].revents != 0 && watch_.TakeChange() && reload_.read())
        newSettings_ = true;
    }
  }

  // Every queued event; XPending also sends what is buffered, so the figure shows as it
  // grows, and reads what the server sent.
  void HandleEvents() {
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      if (event.xany.window != window_) continue;
      switch (event.type) {
        case Expose: {
          // Nothing keeps the figure off screen: what was hidden comes back as background,
          // as the Windows saver's does, and the figure goes on growing.
          shown_ = true;
          const XExposeEvent& e = event.xexpose;
          if (e.serial >= clearSerial_ && pens_.background() != nullptr)
            XFillRectangle(display_, window_, pens_.background(), e.x, e.y,
                           static_cast<unsigned>(e.width), static_cast<unsigned>(e.height));
          break;
        }
        case MapNotify:
          shown_ = true;
          break;
        case ConfigureNotify:
          if (event.xconfigure.width != width_ || event.xconfigure.height != height_) {
            width_ = event.xconfigure.width;
            height_ = event.xconfigure.height;
            resized_ = true;
          }
          break;
        case DestroyNotify:
          windowLost = true;
          break;
        case KeyPress:
          if (own_) {
            const KeySym key = XLookupKeysym(&event.xkey, 0);
            if (key == XK_q || key == XK_Q || key == XK_Escape) stop_ = true;
          }
          break;
        case ClientMessage:
          if (own_ && event.xclient.format == 32 &&
              static_cast<Atom>(event.xclient.data.l[0]) == deleteAtom_)
            stop_ = true;
          break;
        default:
          break;
      }
    }
  }

  const SettingsReload& reload_;
  ConfigWatch watch_;
  bool newSettings_ = false;  // the file gave new settings: the figure starts afresh
  Display* display_;
  Window window_;
  bool own_;
  int width_, height_;
  bool shown_;
  bool resized_ = false;
  bool stop_ = false;
  unsigned long clearSerial_ = 0;  // the request number of the latest clear of the window
  Atom deleteAtom_;
  XlibPens pens_;
};

Window MakeOwnWindow(Display* display) {
  const int screen = DefaultScreen(display);
  const Window window =
      XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, kOwnWidth, kOwnHeight, 0,
                          BlackPixel(display, screen), BlackPixel(display, screen));
  XStoreName(display, window, "Lumerin");
  char name[] = "lumerin", className[] = "Lumerin";
  XClassHint hint = {name, className};
  XSetClassHint(display, window, &hint);
  Atom deleteAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &deleteAtom, 1);
  XSelectInput(display, window, ExposureMask | StructureNotifyMask | KeyPressMask);
  XMapWindow(display, window);
  return window;
}

// The window that stands for the root: a window manager that draws the desktop in a
// window of its own names that window in the __SWM_VROOT property of a child of the root.
Window VirtualRoot(Display* display) {
  const Window root = DefaultRootWindow(display);
  const Atom vrootAtom = XInternAtom(display, "__SWM_VROOT", True);
  if (vrootAtom == None) return root;
  Window rootReturn = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count)) return root;
  Window found = root;
  for (unsigned i = 0; i < count && found == root; ++i) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, children[i], vrootAtom, 0, 1, False, XA_WINDOW, &type, &format,
                           &items, &after, &data) == Success &&
        type == XA_WINDOW && format == 32 && items == 1 && data != nullptr)
      found = *reinterpret_cast<Window*>(data);
    if (data != nullptr) XFree(data);
  }
  if (children != nullptr) XFree(children);
  // A child that went while it was asked about is no loss of the window drawn into.
  windowLost = false;
  return found;
}

}  // namespace

int RunSaverX11(const SaverWindowChoice& choice, const SettingsReload& reload) {
  stopSignals = InstallStopSignals();
  if (stopSignals < 0) {
    std::perror("lumerin: cannot set up the signal pipe");
    return kModeFailed;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "lumerin: cannot open the X display\n");
    return kModeFailed;
  }
  XSetErrorHandler(OnXError);
  XSetIOErrorHandler(OnXIOError);

  Window window = 0;
  const bool own = choice.kind == SaverWindowKind::kOwn;
  if (own) {
    window = MakeOwnWindow(display);
  } else {
    window = choice.kind == SaverWindowKind::kRoot ? VirtualRoot(display)
                                                   : static_cast<Window>(choice.windowId);
    // Selected before the attributes are read, so that no change between the two is missed.
    XSelectInput(display, window, ExposureMask | StructureNotifyMask);
  }
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes) || windowLost) {
    std::fprintf(stderr, "lumerin: 0x%lx is not a window\n", static_cast<unsigned long>(window));
    XCloseDisplay(display);
    return kModeNoSuchTarget;
  }

  randomTickSource = MonotonicTicks;
  int status = kModeEnded;
  {
    X11Saver saver(display, window, own, attributes, reload);
    saver.Run();
    if (saver.failed()) {
      std::fprintf(stderr, "lumerin: X error %d\n", otherXError);
      status = kModeFailed;
    }
  }
  if (own && !windowLost) XDestroyWindow(display, window);
  XCloseDisplay(display);
  return status;
}
