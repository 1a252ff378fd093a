#include "wayland/saver_wayland.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "ext-session-lock-v1-client.h"
#include "fractional-scale-v1-client.h"
#include "host/closing_rules.h"
#include "host/config_watch_posix.h"
#include "host/keyboard_posix.h"
#include "host/linux_modes_posix.h"
#include "host/password_check_posix.h"
#include "layer_shell-client.h"
#include "render/pixel_surface.h"
#include "render/turtle.h"
#include "saver/animation.h"
#include "saver/paced_drawing.h"
#include "saver/random.h"
#include "settings/settings.h"
#include "viewporter-client.h"
#include "wayland/battery_wayland.h"
#include "wayland/lock_prompt_wayland.h"
#include "wayland/output_scale.h"
#include "xdg-output-unstable-v1-client.h"

namespace {

// The highest versions used; a compositor that offers less is bound at its version.
constexpr uint32_t kCompositorVersion = 4;  // wl_surface.damage_buffer
constexpr uint32_t kOutputVersion = 4;      // wl_output.name
constexpr uint32_t kXdgOutputVersion = 3;
constexpr uint32_t kLayerShellVersion = 4;
constexpr uint32_t kSeatVersion = 5;

// The PAM service whose rules check the lock's password (/etc/pam.d/lumerin).
constexpr char kPamService[] = "lumerin";
// The prompt goes this long after the last key, unless a check runs.
constexpr double kPromptShownMs = 5000;

// One buffer the compositor shows, and while a figure grows a second one drawn meanwhile.
constexpr int kBuffersPerSurface = 2;

// The reading end of the pipe that SIGTERM and SIGINT write into.
int stopSignals = -1;

// What libwayland logged last: the text of a protocol error comes only that way.
std::string libraryMessage;

void OnLibraryLog(const char* format, va_list args) {
  char line[512];
  std::vsnprintf(line, sizeof line, format, args);
  libraryMessage = line;
  while (!libraryMessage.empty() && libraryMessage.back() == '\n') libraryMessage.pop_back();
}

double NowMs() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration<double, std::milli>(now).count();
}

// The random source's tick: a millisecond count that wraps, as the system's tick count
// does, but never the same twice, so that outputs that pick in the same millisecond
// pick figures of their own.
uint32_t DistinctTicks() {
  static uint32_t last = 0;
  uint32_t tick = static_cast<uint32_t>(static_cast<uint64_t>(NowMs()));
  if (static_cast<int32_t>(tick - last) <= 0) tick = last + 1;
  last = tick;
  return tick;
}

struct Client;
struct FigureSurface;

// One shared-memory buffer of its surface's size, drawn into directly, and how much of the
// surface's figure it holds.
struct Buffer {
  FigureSurface* owner = nullptr;
  wl_buffer* buffer = nullptr;
  void* memory = nullptr;
  size_t bytes = 0;
  bool busy = false;  // attached, and not yet released by the compositor
  PixelSurface canvas;
  PacedDrawing::Held held;
};

// A surface that shows one figure on one output, whatever role puts it on the screen (a
// layer surface here): its buffers, its fit to the size its role configures, and its
// figure with the settings it is drawn with.
struct FigureSurface {
  Client* client = nullptr;
  wl_surface* surface = nullptr;
  wp_viewport* viewport = nullptr;
  wp_fractional_scale_v1* fractional = nullptr;
  int32_t scale120 = 0;     // the preferred fractional scale, 0 until one is sent
  int32_t outputScale = 1;  // the integer scale of the output it is shown on
  int32_t logicalWidth = 0, logicalHeight = 0;
  bool configured = false;           // its role gave it a size
  bool fitDue = false;               // a size or scale came that is not fitted yet
  wl_callback* scaleSync = nullptr;  // a round trip after a scale change, for its configure
  bool fitted = false;
  OutputBuffer geometry = {0, 0, 1, false, 0};
  Buffer buffers[kBuffersPerSurface];
  int front = -1;  // the buffer committed last, -1 when none is

  SettingsRecord settings = {};  // what its figures are drawn with
  bool stillOnBattery = false;   // its settings ask for a still figure on battery power
  bool still = false;            // shown whole and still: the machine runs on battery
  // The fixed mode's generations: the client's cursor, shared by every surface whose
  // settings draw the same figure as the client's own, or one of its own.
  FixedFractalCursor cursor;
  int64_t advances = 0;  // the drawings of its cursor it has shown
  int64_t pick = 0;      // CurrentString's version its figure was recorded from
  PacedDrawing drawing;
  wl_callback* frame = nullptr;
  double timerAt = -1;  // the end of the pause, -1 when none is due
};

// One output and, once it is shown on, its layer surface with its figure.
struct Output {
  Client* client = nullptr;
  uint32_t global = 0;
  wl_output* output = nullptr;
  zxdg_output_v1* xdgOutput = nullptr;
  std::string name;
  int32_t scale = 1;
  int32_t modeWidth = 0, modeHeight = 0;        // pixels
  int32_t logicalWidth = 0, logicalHeight = 0;  // as xdg-output says, 0 when unknown
  zwlr_layer_surface_v1* layer = nullptr;
  ext_session_lock_surface_v1* lockSurface = nullptr;
  FigureSurface view;
  // The lock's prompt: a subsurface over the figure, with its own buffer.
  wl_surface* promptSurface = nullptr;
  wl_subsurface* promptSubsurface = nullptr;
  wl_buffer* promptBuffer = nullptr;
  void* promptMemory = nullptr;
  size_t promptBytes = 0;
};

// The lock's password and its check: what is typed, what is being checked, the prompt.
struct LockSession {
  Keyboard keyboard;
  SecretText typed;    // the keys typed, also while a check runs: the next try's
  SecretText checked;  // the password being checked, wiped with its result
  PasswordCheck check;
  PromptState state = PromptState::kTyping;
  double promptUntil = -1;  // when the prompt goes; -1 while it is hidden
};

// One seat of the saver, with the input devices it has now.
struct Seat {
  Client* client = nullptr;
  uint32_t global = 0;
  wl_seat* seat = nullptr;
  wl_keyboard* keyboard = nullptr;
  wl_pointer* pointer = nullptr;
  wl_touch* touch = nullptr;
  int pointerX = 0, pointerY = 0;
};

struct Client {
  WaylandMode mode = WaylandMode::kWallpaper;
  std::vector<std::string> wanted;  // the outputs named, or none for every output
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_compositor* compositor = nullptr;
  wl_shm* shm = nullptr;
  zwlr_layer_shell_v1* layerShell = nullptr;
  zxdg_output_manager_v1* xdgOutputManager = nullptr;
  wp_viewporter* viewporter = nullptr;
  wp_fractional_scale_manager_v1* fractionalManager = nullptr;
  wl_subcompositor* subcompositor = nullptr;
  ext_session_lock_manager_v1* lockManager = nullptr;
  ext_session_lock_v1* lock = nullptr;
  bool locked = false;       // the compositor said so
  bool lockRefused = false;  // it sent finished: another locker, or no lock at all
  bool unlocked = false;     // the user's password: the session is given back
  double lockDeadline = -1;  // no locked by then ends the lock with 1
  int lockedFd = -1;
  std::unique_ptr<LockSession> session;
  std::vector<std::unique_ptr<Seat>> seats;
  std::vector<std::unique_ptr<Output>> outputs;
  bool started = false;  // the outputs named were checked; surfaces may be made
  bool stop = false;
  bool failed = false;              // no memory for a buffer, or no file for it
  int pollError = 0;                // why the wait for events failed
  ConfigWatch* watch = nullptr;     // the configuration file, once the surfaces are made
  BatteryWatch* battery = nullptr;  // UPower's word, where the settings follow it
  bool trimDue = false;             // a pause began: the resident set is trimmed before the wait

  const WaylandSettings* source = nullptr;
  SettingsRecord settings = {};  // what holds for every output
  bool onBattery = false;
  PacedPlatform platform;
  FixedFractalCursor cursor;  // the fixed mode's generations for the client's own settings
  int64_t advances = 0;       // the drawings of that cursor so far
  int64_t picks = 0;          // CurrentString's version: every drawing written into it
  const FixedFractalCursor* holder = nullptr;  // the cursor whose generation it holds
};

// Buffers --------------------------------------------------------------------------------

void OnBufferRelease(void* data, wl_buffer*);

const wl_buffer_listener& BufferListener() {
  static const wl_buffer_listener listener = {OnBufferRelease};
  return listener;
}

void FreeBuffer(Buffer& b) {
  if (b.buffer != nullptr) wl_buffer_destroy(b.buffer);
  if (b.memory != nullptr) munmap(b.memory, b.bytes);
  b.buffer = nullptr;
  b.memory = nullptr;
  b.bytes = 0;
  b.busy = false;
  b.canvas.DrawInto(nullptr, 0, 0, PixelOrder::kXrgb);
  b.held = PacedDrawing::Held();
}

// A buffer of the surface's pixel size in XRGB8888, the format every compositor takes. Its
// memory is reserved at once: a file that could not grow later would end the program with
// SIGBUS at the first pixel drawn beyond what the system could give.
// A shared-memory buffer of `width` x `height` pixels in `format` (4 bytes each), its memory
// mapped into *memory (*bytes long); null when none could be had.
wl_buffer* NewShmBuffer(wl_shm* shm, int width, int height, uint32_t format, void** memory,
                        size_t* bytes) {
  if (width <= 0 || height <= 0) return nullptr;
  const size_t stride = static_cast<size_t>(width) * 4;
  const size_t size = stride * static_cast<size_t>(height);
  const int fd = memfd_create("lumerin", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  if (posix_fallocate(fd, 0, static_cast<off_t>(size)) != 0) {
    close(fd);
    return nullptr;
  }
  // Mapped at once, in one go: page by page, the first clear of a 4K buffer takes long.
  void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd, 0);
  if (mapped == MAP_FAILED) {
    close(fd);
    return nullptr;
  }
  wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(size));
  wl_buffer* buffer =
      wl_shm_pool_create_buffer(pool, 0, width, height, static_cast<int32_t>(stride), format);
  wl_shm_pool_destroy(pool);
  close(fd);
  *memory = mapped;
  *bytes = size;
  return buffer;
}

bool MakeBuffer(FigureSurface& s, Buffer& b) {
  FreeBuffer(b);
  const int width = s.geometry.width, height = s.geometry.height;
  void* memory = nullptr;
  b.buffer = NewShmBuffer(s.client->shm, width, height, WL_SHM_FORMAT_XRGB8888, &memory, &b.bytes);
  if (b.buffer == nullptr) return false;
  b.memory = memory;
  b.canvas.DrawInto(static_cast<uint32_t*>(memory), width, height, PixelOrder::kXrgb);
  b.canvas.SetDpi(s.geometry.dpi);
  wl_buffer_add_listener(b.buffer, &BufferListener(), &b);
  return true;
}

// Drawing -------------------------------------------------------------------------------

void OnFrameDone(void* data, wl_callback* callback, uint32_t);

const wl_callback_listener& FrameListener() {
  static const wl_callback_listener listener = {OnFrameDone};
  return listener;
}

bool Growing(const FigureSurface& s) { return s.timerAt < 0; }

// The buffer to draw the next picture into: the one on the screen when the compositor
// has released it (it lacks the least), else another released one, else a new one while
// fewer than two exist. Null while every buffer is held: a release brings the change.
Buffer* BufferToDraw(FigureSurface& s) {
  if (s.front >= 0 && !s.buffers[s.front].busy) return &s.buffers[s.front];
  for (Buffer& b : s.buffers) {
    if (b.buffer != nullptr && !b.busy) return &b;
  }
  for (Buffer& b : s.buffers) {
    if (b.buffer == nullptr) {
      if (!MakeBuffer(s, b)) {
        s.client->failed = true;
        return nullptr;
      }
      return &b;
    }
  }
  return nullptr;
}

// Shows the figure as far as it is due: drawn into a buffer the compositor does not hold,
// damaged only where it changed since the buffer was last shown, and with a frame
// callback when `wantFrame`. During a pause only the buffer on the screen is kept.
void Present(FigureSurface& s, bool wantFrame) {
  if (!s.fitted) return;
  const int64_t due = s.drawing.shownSegments();
  const bool behind = s.front < 0 || !s.drawing.Holds(s.buffers[s.front].held, due);
  bool commit = false;
  if (behind) {
    Buffer* b = BufferToDraw(s);
    if (b == nullptr) return;
    s.drawing.DrawUpTo(b->canvas, b->held, due);
    const PixelSurface::Rect changed = b->canvas.TakeChanged();
    wl_surface_attach(s.surface, b->buffer, 0, 0);
    if (wl_surface_get_version(s.surface) >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION) {
      wl_surface_damage_buffer(s.surface, changed.left, changed.top, changed.right - changed.left,
                               changed.bottom - changed.top);
    } else {
      // An older compositor takes damage in surface units only: all of it, then.
      wl_surface_damage(s.surface, 0, 0, INT32_MAX, INT32_MAX);
    }
    b->busy = true;
    // After the first picture, what start-up touched goes from the resident set.
    if (s.front < 0) s.client->trimDue = true;
    s.front = static_cast<int>(b - s.buffers);
    commit = true;
  }
  if (wantFrame && s.frame == nullptr) {
    s.frame = wl_surface_frame(s.surface);
    wl_callback_add_listener(s.frame, &FrameListener(), &s);
    commit = true;
  }
  if (commit) wl_surface_commit(s.surface);
  if (!Growing(s)) {
    // The pause shows one still picture: the other buffer goes until the next figure. One
    // the compositor has not released yet may go too: it was replaced on the screen, and
    // the compositor keeps its own mapping of the memory for as long as it needs it.
    for (int i = 0; i < kBuffersPerSurface; ++i) {
      if (i != s.front && s.buffers[i].buffer != nullptr) FreeBuffer(s.buffers[i]);
    }
  }
}

// Whether the surface's fixed-mode figures are the client's own, whose generations every
// such surface shows together.
bool SharesCursor(const FigureSurface& s) {
  const SettingsRecord& a = s.settings;
  const SettingsRecord& b = s.client->settings;
  return b.DefaultMode == 0 && a.NumFractal == b.NumFractal && a.iterFrom == b.iterFrom &&
         a.iterTo == b.iterTo && a.Angle == b.Angle;
}

// Starts the surface's next figure: in the slideshow a pick of its own; in the fixed mode
// the generation the surfaces sharing its cursor show, or the next one when this surface
// was showing the latest (`again` keeps the latest, for a surface that must start afresh).
// CurrentString serves every surface in turn: a generation another figure displaced is
// rebuilt from the axiom.
void StartFigure(FigureSurface& s, double now, bool again) {
  Client& client = *s.client;
  Settings = s.settings;
  SetDrawingArea(s.geometry.width, s.geometry.height);
  bool ready;
  bool rewritten = true;
  if (Settings.DefaultMode != 0) {
    PrepareSlideshowDrawing(client.platform);
    client.holder = nullptr;
    ready = true;
  } else {
    // The heading is the entry's, which surfaces of other settings may have turned.
    SetStartAngle(Settings.NumFractal, Settings.Angle);
    const bool shared = SharesCursor(s);
    FixedFractalCursor& cursor = shared ? client.cursor : s.cursor;
    int64_t& advances = shared ? client.advances : s.advances;
    const bool holds = client.holder == &cursor;
    if (advances > 0 && (again || s.advances < advances)) {
      rewritten = !holds;
      ready = holds || cursor.Rebuild();  // the latest generation, shown here too
    } else {
      if (!holds) cursor.Rebuild();  // Advance goes on from the generation before
      ready = cursor.Advance();
      if (ready) ++advances;
    }
    s.advances = advances;
    client.holder = ready ? &cursor : nullptr;
  }
  if (rewritten) ++client.picks;
  if (ready) {
    s.pick = client.picks;
    s.drawing.Start(now);
  } else {
    s.drawing.StartIdle(now);
  }
  s.settings = Settings;  // the slideshow's pick of fractal, width and palette
}

// Draws what is due: while the figure grows, on every frame callback; during a pause no
// callback is asked for, only the loop's timer for its end.
void Step(FigureSurface& s, double now) {
  if (!s.fitted || s.drawing.suspended()) return;
  double next;
  for (;;) {
    next = s.drawing.Advance(now);
    if (next != PacedDrawing::kNewDrawingDue) break;
    StartFigure(s, now, false);
  }
  // The pause after a figure is the long still time: what drawing it touched goes.
  if (Growing(s) && next != PacedDrawing::kNextFrame) s.client->trimDue = true;
  s.timerAt = next == PacedDrawing::kNextFrame ? -1 : next;
  Present(s, next == PacedDrawing::kNextFrame);
}

// Step for a surface that may stand still: a still one shows its figure whole once (after
// a new size or a new figure) and then asks for neither frames nor timers; one that no
// longer stands still grows on from where it stood.
void Show(FigureSurface& s, double now) {
  s.drawing.SetWhole(s.still);
  s.drawing.Resume(now);
  Step(s, now);
  if (s.still) s.drawing.Suspend(now);
}

void SetStill(FigureSurface& s, bool still) {
  if (s.still == still) return;
  s.still = still;
  Show(s, NowMs());
}

// Starts the surface's figure afresh and shows it: after a change of its size that its
// figure cannot follow (`again`, as in StartFigure), or of its settings.
void RestartFigure(FigureSurface& s, bool again) {
  const double now = NowMs();
  StartFigure(s, now, again);
  Show(s, now);
}

void OnFrameDone(void* data, wl_callback* callback, uint32_t) {
  FigureSurface& s = *static_cast<FigureSurface*>(data);
  wl_callback_destroy(callback);
  s.frame = nullptr;
  Step(s, NowMs());
}

void OnBufferRelease(void* data, wl_buffer*) {
  Buffer& b = *static_cast<Buffer*>(data);
  b.busy = false;
  // A change that found every buffer held goes out now; in a pause, a spare goes.
  if (b.owner != nullptr) Present(*b.owner, false);
}

// The buffers for the surface's logical size and scale. A new size keeps the figure, drawn
// again at once as far as it had grown, while CurrentString still holds it; else the
// surface starts a figure afresh.
void Fit(FigureSurface& s) {
  s.fitDue = false;
  // Buffer scales came with version 3 of wl_surface: before, a buffer is the logical size.
  const bool scalable =
      wl_surface_get_version(s.surface) >= WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION;
  const OutputBuffer geometry =
      BufferForOutput(s.logicalWidth, s.logicalHeight, scalable ? s.outputScale : 1,
                      s.fractional != nullptr ? s.scale120 : 0);
  if (scalable) wl_surface_set_buffer_scale(s.surface, geometry.bufferScale);
  if (s.viewport != nullptr) {
    // -1, -1 unsets the destination: without a fractional scale the buffer scale maps it.
    wp_viewport_set_destination(s.viewport, geometry.viewport ? s.logicalWidth : -1,
                                geometry.viewport ? s.logicalHeight : -1);
  }
  const bool same = s.fitted && geometry.width == s.geometry.width &&
                    geometry.height == s.geometry.height && geometry.dpi == s.geometry.dpi;
  s.geometry = geometry;
  if (same) {
    wl_surface_commit(s.surface);  // the configure's acknowledgement takes effect
    return;
  }
  for (Buffer& b : s.buffers) FreeBuffer(b);
  s.front = -1;
  const bool refit = s.fitted && s.pick == s.client->picks &&
                     s.drawing.phase() != PacedDrawing::Phase::kNothingToDraw;
  s.fitted = true;
  if (!refit) {
    RestartFigure(s, true);
    return;
  }
  Settings = s.settings;
  if (Settings.DefaultMode == 0) SetStartAngle(Settings.NumFractal, Settings.Angle);
  SetDrawingArea(geometry.width, geometry.height);
  s.drawing.Refit();
  Show(s, NowMs());
}

void OnScaleSynced(void* data, wl_callback* callback, uint32_t) {
  FigureSurface& s = *static_cast<FigureSurface*>(data);
  wl_callback_destroy(callback);
  s.scaleSync = nullptr;
  s.fitDue = true;
}

const wl_callback_listener& ScaleSyncListener() {
  static const wl_callback_listener listener = {OnScaleSynced};
  return listener;
}

// The output's scale changed. A new logical size usually follows in a configure, sent
// before the compositor answers a round trip asked for now: the fit waits for that answer,
// so that no buffer is drawn at the new scale and the old size.
void ScaleChanged(FigureSurface& s, int32_t scale) {
  if (s.outputScale == scale) return;
  s.outputScale = scale;
  if (!s.configured || s.scaleSync != nullptr) return;
  s.scaleSync = wl_display_sync(s.client->display);
  wl_callback_add_listener(s.scaleSync, &ScaleSyncListener(), &s);
}

// The size the surface's role configured it, in logical units; it is fitted once the
// events that came with it are in.
void Configure(FigureSurface& s, LogicalSize size) {
  s.logicalWidth = size.width;
  s.logicalHeight = size.height;
  s.configured = true;
  s.fitDue = true;
}

void OnPreferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale) {
  FigureSurface& s = *static_cast<FigureSurface*>(data);
  const int32_t scale120 = static_cast<int32_t>(std::min<uint32_t>(scale, 120 * 64));
  if (scale120 == s.scale120) return;
  s.scale120 = scale120;
  if (s.configured) s.fitDue = true;
}

const wp_fractional_scale_v1_listener& FractionalListener() {
  static const wp_fractional_scale_v1_listener listener = {OnPreferredScale};
  return listener;
}

// A surface for a figure on an output at `scale`; its role comes next, from the caller.
void MakeFigureSurface(Client& client, FigureSurface& s, int32_t scale) {
  s.client = &client;
  for (Buffer& b : s.buffers) b.owner = &s;
  s.settings = client.settings;
  s.outputScale = scale;
  s.surface = wl_compositor_create_surface(client.compositor);
  if (client.fractionalManager != nullptr && client.viewporter != nullptr) {
    s.viewport = wp_viewporter_get_viewport(client.viewporter, s.surface);
    s.fractional =
        wp_fractional_scale_manager_v1_get_fractional_scale(client.fractionalManager, s.surface);
    wp_fractional_scale_v1_add_listener(s.fractional, &FractionalListener(), &s);
  }
}

// Everything of the surface but its role, which the caller has destroyed first.
void DropFigureSurface(FigureSurface& s) {
  if (s.client != nullptr && s.client->holder == &s.cursor) s.client->holder = nullptr;
  if (s.frame != nullptr) wl_callback_destroy(s.frame);
  if (s.scaleSync != nullptr) wl_callback_destroy(s.scaleSync);
  for (Buffer& b : s.buffers) FreeBuffer(b);
  if (s.fractional != nullptr) wp_fractional_scale_v1_destroy(s.fractional);
  if (s.viewport != nullptr) wp_viewport_destroy(s.viewport);
  if (s.surface != nullptr) wl_surface_destroy(s.surface);
  Client* client = s.client;
  s.~FigureSurface();
  new (&s) FigureSurface();
  s.client = client;
}

// Fits every surface whose size or scale came in the events just handled.
void FitWhatChanged(Client& client) {
  for (auto& o : client.outputs) {
    FigureSurface& s = o->view;
    if (s.surface != nullptr && s.configured && s.fitDue && s.scaleSync == nullptr) Fit(s);
  }
}

// Layer surfaces --------------------------------------------------------------------------

void OnLayerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
                      uint32_t height) {
  Output& o = *static_cast<Output*>(data);
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  int32_t outputWidth = o.logicalWidth, outputHeight = o.logicalHeight;
  if (outputWidth <= 0 || outputHeight <= 0) {
    const int32_t scale = std::max(o.scale, 1);
    outputWidth = o.modeWidth / scale;
    outputHeight = o.modeHeight / scale;
  }
  Configure(o.view, ConfiguredSize(width, height, outputWidth, outputHeight));
}

void DropSurface(Output& o);

void OnLayerClosed(void* data, zwlr_layer_surface_v1*) {
  // The compositor took the surface away (its output is going): nothing to draw on.
  DropSurface(*static_cast<Output*>(data));
}

const zwlr_layer_surface_v1_listener& LayerListener() {
  static const zwlr_layer_surface_v1_listener listener = {OnLayerConfigure, OnLayerClosed};
  return listener;
}

bool Wanted(const Client& client, const Output& o) {
  if (client.wanted.empty()) return true;
  return std::find(client.wanted.begin(), client.wanted.end(), o.name) != client.wanted.end();
}

void MakeLockSurface(Output& o);

void MakeSurface(Output& o) {
  Client& client = *o.client;
  if (o.view.surface != nullptr || !Wanted(client, o)) return;
  if (client.mode == WaylandMode::kLock && client.lock == nullptr) return;
  MakeFigureSurface(client, o.view, o.scale);
  const WaylandOutputSettings chosen = client.source->forOutput(o.name);
  o.view.settings = chosen.settings;
  o.view.stillOnBattery = chosen.stillOnBattery;
  o.view.still = client.onBattery && chosen.stillOnBattery;
  if (client.mode == WaylandMode::kLock) {
    MakeLockSurface(o);
    return;
  }
  const bool saver = client.mode == WaylandMode::kSaver;
  o.layer = zwlr_layer_shell_v1_get_layer_surface(
      client.layerShell, o.view.surface, o.output,
      saver ? ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY : ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND,
      saver ? "lumerin-saver" : "lumerin-wallpaper");
  zwlr_layer_surface_v1_add_listener(o.layer, &LayerListener(), &o);
  zwlr_layer_surface_v1_set_size(o.layer, 0, 0);
  zwlr_layer_surface_v1_set_anchor(
      o.layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                   ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  zwlr_layer_surface_v1_set_exclusive_zone(o.layer, -1);
  zwlr_layer_surface_v1_set_keyboard_interactivity(
      o.layer, saver ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE
                     : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
  // The first commit carries no buffer: the compositor answers with the size to draw at.
  wl_surface_commit(o.view.surface);
}

void DropPrompt(Output& o);

void DropSurface(Output& o) {
  DropPrompt(o);
  if (o.layer != nullptr) zwlr_layer_surface_v1_destroy(o.layer);
  if (o.lockSurface != nullptr) ext_session_lock_surface_v1_destroy(o.lockSurface);
  o.layer = nullptr;
  o.lockSurface = nullptr;
  DropFigureSurface(o.view);
}

// The lock ----------------------------------------------------------------------------------

void OnLockSurfaceConfigure(void* data, ext_session_lock_surface_v1* lockSurface, uint32_t serial,
                            uint32_t width, uint32_t height) {
  Output& o = *static_cast<Output*>(data);
  ext_session_lock_surface_v1_ack_configure(lockSurface, serial);
  // The surface must be exactly this size: never the output's own instead.
  Configure(o.view, ConfiguredSize(width, height, static_cast<int32_t>(width),
                                   static_cast<int32_t>(height)));
}

const ext_session_lock_surface_v1_listener& LockSurfaceListener() {
  static const ext_session_lock_surface_v1_listener listener = {OnLockSurfaceConfigure};
  return listener;
}

// The output's lock surface: no commit before the compositor's first configure is acked,
// and then never without a buffer, as the protocol requires; the first figure is drawn as
// soon as that configure is in.
void MakeLockSurface(Output& o) {
  Client& client = *o.client;
  o.lockSurface = ext_session_lock_v1_get_lock_surface(client.lock, o.view.surface, o.output);
  ext_session_lock_surface_v1_add_listener(o.lockSurface, &LockSurfaceListener(), &o);
}

void OnLocked(void* data, ext_session_lock_v1*) {
  Client& client = *static_cast<Client*>(data);
  client.locked = true;
  if (client.lockedFd >= 0) {
    const char byte = 'L';
    ssize_t written;
    do {
      written = write(client.lockedFd, &byte, 1);
    } while (written < 0 && errno == EINTR);
    close(client.lockedFd);
    client.lockedFd = -1;
    // The caller has returned: its standard error (a pipe it may read to the end) is let go.
    const int none = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (none >= 0) {
      dup2(none, STDERR_FILENO);
      close(none);
    }
  }
}

void OnLockFinished(void* data, ext_session_lock_v1*) {
  Client& client = *static_cast<Client*>(data);
  client.lockRefused = true;
  client.stop = true;
}

const ext_session_lock_v1_listener& LockListener() {
  static const ext_session_lock_v1_listener listener = {OnLocked, OnLockFinished};
  return listener;
}

void DropPrompt(Output& o) {
  if (o.promptBuffer != nullptr) wl_buffer_destroy(o.promptBuffer);
  if (o.promptMemory != nullptr) munmap(o.promptMemory, o.promptBytes);
  if (o.promptSubsurface != nullptr) wl_subsurface_destroy(o.promptSubsurface);
  if (o.promptSurface != nullptr) wl_surface_destroy(o.promptSurface);
  o.promptBuffer = nullptr;
  o.promptMemory = nullptr;
  o.promptBytes = 0;
  o.promptSubsurface = nullptr;
  o.promptSurface = nullptr;
}

// Shows the prompt as `look` says, centred over the output's figure; none hides it. The
// prompt has a buffer of its own, drawn anew at each change: the figure below is untouched.
void ShowPrompt(Output& o, const PromptLook* look) {
  Client& client = *o.client;
  FigureSurface& s = o.view;
  if (!s.fitted || client.subcompositor == nullptr) return;
  if (o.promptSurface == nullptr) {
    if (look == nullptr) return;
    o.promptSurface = wl_compositor_create_surface(client.compositor);
    o.promptSubsurface =
        wl_subcompositor_get_subsurface(client.subcompositor, o.promptSurface, s.surface);
    wl_subsurface_set_desync(o.promptSubsurface);
  }
  if (look == nullptr) {
    wl_surface_attach(o.promptSurface, nullptr, 0, 0);
    wl_surface_commit(o.promptSurface);
    return;
  }
  const bool scalable =
      wl_surface_get_version(o.promptSurface) >= WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION;
  const int32_t scale = scalable ? std::clamp(o.scale, 1, 8) : 1;
  const int width = kPromptWidth * scale, height = kPromptHeight * scale;
  void* memory = nullptr;
  size_t bytes = 0;
  wl_buffer* buffer =
      NewShmBuffer(client.shm, width, height, WL_SHM_FORMAT_ARGB8888, &memory, &bytes);
  if (buffer == nullptr) return;
  DrawPrompt(static_cast<uint32_t*>(memory), width, height, scale, *look);
  // The compositor keeps what it needs of the buffer shown before.
  if (o.promptBuffer != nullptr) wl_buffer_destroy(o.promptBuffer);
  if (o.promptMemory != nullptr) munmap(o.promptMemory, o.promptBytes);
  o.promptBuffer = buffer;
  o.promptMemory = memory;
  o.promptBytes = bytes;
  // The position is the parent's state: its commit (a buffer is always attached) applies it.
  wl_subsurface_set_position(o.promptSubsurface, (s.logicalWidth - kPromptWidth) / 2,
                             (s.logicalHeight - kPromptHeight) / 2);
  wl_surface_commit(s.surface);
  if (scalable) wl_surface_set_buffer_scale(o.promptSurface, scale);
  wl_surface_attach(o.promptSurface, buffer, 0, 0);
  wl_surface_damage(o.promptSurface, 0, 0, INT32_MAX, INT32_MAX);
  wl_surface_commit(o.promptSurface);
}

// The prompt on every output as the lock stands now, or hidden once its time is over.
void ShowPrompts(Client& client) {
  LockSession& session = *client.session;
  const bool shown = session.promptUntil >= 0;
  const PromptLook look = {session.state, session.typed.Characters()};
  for (auto& o : client.outputs) {
    if (o->view.surface != nullptr) ShowPrompt(*o, shown ? &look : nullptr);
  }
}

// The user's password, as far as it was checked: the session is given back. Before the
// compositor said it is locked, the lock is only withdrawn.
void Unlock(Client& client) {
  if (client.locked) {
    ext_session_lock_v1_unlock_and_destroy(client.lock);
  } else {
    ext_session_lock_v1_destroy(client.lock);
  }
  client.lock = nullptr;
  client.unlocked = true;
  client.stop = true;
}

void SubmitPassword(Client& client) {
  LockSession& session = *client.session;
  if (session.check.Running() || session.typed.Bytes() == 0) return;
  session.checked.TakeFrom(session.typed);
  if (session.check.Start(kPamService, nullptr, session.checked)) {
    session.state = PromptState::kVerifying;
  } else {
    session.checked.Clear();
    session.state = PromptState::kRefused;
  }
}

// After the check's descriptor polled readable: its result. Only the right password
// unlocks; a refusal, a check that failed in any way or died, keeps the session locked.
void CollectCheck(Client& client) {
  LockSession& session = *client.session;
  const CheckResult result = session.check.Collect();
  if (result == CheckResult::kPending) return;
  session.checked.Clear();
  if (result == CheckResult::kAccepted) {
    Unlock(client);
    return;
  }
  session.state = PromptState::kRefused;
  session.promptUntil = NowMs() + kPromptShownMs;
  ShowPrompts(client);
}

void OnLockKey(Client& client, uint32_t key) {
  LockSession& session = *client.session;
  KeyPress press = session.keyboard.Press(key);
  const EntryAction action = ApplyKey(press.keysym, press.text, press.control, session.typed);
  explicit_bzero(&press, sizeof press);
  if (action == EntryAction::kSubmit) {
    SubmitPassword(client);
  } else if (action != EntryAction::kNone && !session.check.Running()) {
    session.state = PromptState::kTyping;
  }
  session.promptUntil = NowMs() + kPromptShownMs;
  ShowPrompts(client);
}

// The lock's own times: the prompt's end, and the wait for the compositor's locked.
double NextLockTimer(const Client& client) {
  if (client.session == nullptr) return -1;
  double next = client.locked ? -1 : client.lockDeadline;
  const double prompt = client.session->check.Running() ? -1 : client.session->promptUntil;
  if (prompt >= 0 && (next < 0 || prompt < next)) next = prompt;
  return next;
}

void RunLockTimers(Client& client) {
  if (client.session == nullptr) return;
  const double now = NowMs();
  if (!client.locked && client.lockDeadline >= 0 && now >= client.lockDeadline) {
    client.stop = true;
    return;
  }
  LockSession& session = *client.session;
  if (session.promptUntil >= 0 && now >= session.promptUntil && !session.check.Running()) {
    session.promptUntil = -1;
    session.state = PromptState::kTyping;
    ShowPrompts(client);
  }
}

// Outputs ---------------------------------------------------------------------------------

void OnOutputGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                      const char*, int32_t) {}

void OnOutputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
  if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
  Output& o = *static_cast<Output*>(data);
  o.modeWidth = width;
  o.modeHeight = height;
}

void OnOutputDone(void* data, wl_output*) {
  Output& o = *static_cast<Output*>(data);
  if (!o.client->started) return;
  if (o.view.surface == nullptr) {
    MakeSurface(o);  // an output that came while the program runs
  } else {
    ScaleChanged(o.view, o.scale);
  }
}

void OnOutputScale(void* data, wl_output*, int32_t factor) {
  static_cast<Output*>(data)->scale = factor;
}

void OnOutputName(void* data, wl_output*, const char* name) {
  static_cast<Output*>(data)->name = name != nullptr ? name : "";
}

void OnOutputDescription(void*, wl_output*, const char*) {}

const wl_output_listener& OutputListener() {
  static const wl_output_listener listener = [] {
    wl_output_listener l = {};
    l.geometry = OnOutputGeometry;
    l.mode = OnOutputMode;
    l.done = OnOutputDone;
    l.scale = OnOutputScale;
    l.name = OnOutputName;
    l.description = OnOutputDescription;
    return l;
  }();
  return listener;
}

void OnXdgPosition(void*, zxdg_output_v1*, int32_t, int32_t) {}
void OnXdgSize(void* data, zxdg_output_v1*, int32_t width, int32_t height) {
  Output& o = *static_cast<Output*>(data);
  o.logicalWidth = width;
  o.logicalHeight = height;
}
void OnXdgDone(void* data, zxdg_output_v1*) {
  // A name that only xdg-output gives may come after wl_output's done.
  Output& o = *static_cast<Output*>(data);
  if (o.client->started && o.view.surface == nullptr) MakeSurface(o);
}
void OnXdgName(void* data, zxdg_output_v1*, const char* name) {
  // Where wl_output has no name event (before version 4), xdg-output names the output.
  Output& o = *static_cast<Output*>(data);
  if (o.name.empty() && name != nullptr) o.name = name;
}
void OnXdgDescription(void*, zxdg_output_v1*, const char*) {}

const zxdg_output_v1_listener& XdgOutputListener() {
  static const zxdg_output_v1_listener listener = {OnXdgPosition, OnXdgSize, OnXdgDone, OnXdgName,
                                                   OnXdgDescription};
  return listener;
}

void DescribeOutput(Client& client, Output& o) {
  if (client.xdgOutputManager == nullptr || o.xdgOutput != nullptr) return;
  o.xdgOutput = zxdg_output_manager_v1_get_xdg_output(client.xdgOutputManager, o.output);
  zxdg_output_v1_add_listener(o.xdgOutput, &XdgOutputListener(), &o);
}

void DestroyOutput(Output& o) {
  DropSurface(o);
  if (o.xdgOutput != nullptr) zxdg_output_v1_destroy(o.xdgOutput);
  if (wl_output_get_version(o.output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
    wl_output_release(o.output);
  } else {
    wl_output_destroy(o.output);
  }
}

// Input of the saver ----------------------------------------------------------------------

// Input devices and seats have a release request only from version 3 and 5 on; before,
// the proxy is only destroyed.
void ReleaseKeyboard(wl_keyboard* keyboard) {
  if (wl_keyboard_get_version(keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
    wl_keyboard_release(keyboard);
  } else {
    wl_keyboard_destroy(keyboard);
  }
}

void ReleasePointer(wl_pointer* pointer) {
  if (wl_pointer_get_version(pointer) >= WL_POINTER_RELEASE_SINCE_VERSION) {
    wl_pointer_release(pointer);
  } else {
    wl_pointer_destroy(pointer);
  }
}

void ReleaseTouch(wl_touch* touch) {
  if (wl_touch_get_version(touch) >= WL_TOUCH_RELEASE_SINCE_VERSION) {
    wl_touch_release(touch);
  } else {
    wl_touch_destroy(touch);
  }
}

void OnKeymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
  Client& client = *static_cast<Seat*>(data)->client;
  if (client.session != nullptr && format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (text != MAP_FAILED) {
      client.session->keyboard.UseKeymapText(static_cast<const char*>(text), size);
      munmap(text, size);
    }
  }
  close(fd);
}
void OnKeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void OnKeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void OnKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
  // Only a press: the release of a key held when the saver started (the key binding that
  // started it) is no input of the user's.
  if (state != WL_KEYBOARD_KEY_STATE_PRESSED) return;
  Client& client = *static_cast<Seat*>(data)->client;
  if (client.session != nullptr) {
    OnLockKey(client, key);
  } else {
    client.stop = true;
  }
}
void OnModifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched,
                 uint32_t locked, uint32_t group) {
  Client& client = *static_cast<Seat*>(data)->client;
  if (client.session != nullptr)
    client.session->keyboard.SetModifiers(depressed, latched, locked, group);
}
void OnRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener& KeyboardListener() {
  static const wl_keyboard_listener listener = [] {
    wl_keyboard_listener l = {};
    l.keymap = OnKeymap;
    l.enter = OnKeyboardEnter;
    l.leave = OnKeyboardLeave;
    l.key = OnKey;
    l.modifiers = OnModifiers;
    l.repeat_info = OnRepeatInfo;
    return l;
  }();
  return listener;
}

void OnPointerEnter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface*, wl_fixed_t x,
                    wl_fixed_t y) {
  Seat& seat = *static_cast<Seat*>(data);
  // No pointer image over the figures.
  wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
  // Positions are the surface's own: each output's surface starts a new reference.
  seat.pointerX = wl_fixed_to_int(x);
  seat.pointerY = wl_fixed_to_int(y);
}
void OnPointerLeave(void*, wl_pointer*, uint32_t, wl_surface*) {}
void OnPointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
  Seat& seat = *static_cast<Seat*>(data);
  if (PointerMovedTooFar(wl_fixed_to_int(x), wl_fixed_to_int(y), seat.pointerX, seat.pointerY)) {
    seat.client->stop = true;
  }
}
void OnPointerButton(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
  if (state == WL_POINTER_BUTTON_STATE_PRESSED) static_cast<Seat*>(data)->client->stop = true;
}
void OnPointerAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
void OnPointerFrame(void*, wl_pointer*) {}
void OnPointerAxisSource(void*, wl_pointer*, uint32_t) {}
void OnPointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void OnPointerAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}

const wl_pointer_listener& PointerListener() {
  static const wl_pointer_listener listener = [] {
    wl_pointer_listener l = {};
    l.enter = OnPointerEnter;
    l.leave = OnPointerLeave;
    l.motion = OnPointerMotion;
    l.button = OnPointerButton;
    l.axis = OnPointerAxis;
    l.frame = OnPointerFrame;
    l.axis_source = OnPointerAxisSource;
    l.axis_stop = OnPointerAxisStop;
    l.axis_discrete = OnPointerAxisDiscrete;
    return l;
  }();
  return listener;
}

// A finger on the screen ends the saver, as a button does.
void OnTouchDown(void* data, wl_touch*, uint32_t, uint32_t, wl_surface*, int32_t, wl_fixed_t,
                 wl_fixed_t) {
  static_cast<Seat*>(data)->client->stop = true;
}
void OnTouchUp(void*, wl_touch*, uint32_t, uint32_t, int32_t) {}
void OnTouchMotion(void*, wl_touch*, uint32_t, int32_t, wl_fixed_t, wl_fixed_t) {}
void OnTouchFrame(void*, wl_touch*) {}
void OnTouchCancel(void*, wl_touch*) {}
void OnTouchShape(void*, wl_touch*, int32_t, wl_fixed_t, wl_fixed_t) {}
void OnTouchOrientation(void*, wl_touch*, int32_t, wl_fixed_t) {}

const wl_touch_listener& TouchListener() {
  static const wl_touch_listener listener = [] {
    wl_touch_listener l = {};
    l.down = OnTouchDown;
    l.up = OnTouchUp;
    l.motion = OnTouchMotion;
    l.frame = OnTouchFrame;
    l.cancel = OnTouchCancel;
    l.shape = OnTouchShape;
    l.orientation = OnTouchOrientation;
    return l;
  }();
  return listener;
}

void OnSeatCapabilities(void* data, wl_seat* wlSeat, uint32_t capabilities) {
  Seat& seat = *static_cast<Seat*>(data);
  const bool keys = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
  // The lock listens to keys only: no motion or touch ends it.
  const bool lock = seat.client->mode == WaylandMode::kLock;
  const bool pointing = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0 && !lock;
  const bool touching = (capabilities & WL_SEAT_CAPABILITY_TOUCH) != 0 && !lock;
  if (keys && seat.keyboard == nullptr) {
    seat.keyboard = wl_seat_get_keyboard(wlSeat);
    wl_keyboard_add_listener(seat.keyboard, &KeyboardListener(), &seat);
  } else if (!keys && seat.keyboard != nullptr) {
    ReleaseKeyboard(seat.keyboard);
    seat.keyboard = nullptr;
  }
  if (pointing && seat.pointer == nullptr) {
    seat.pointer = wl_seat_get_pointer(wlSeat);
    wl_pointer_add_listener(seat.pointer, &PointerListener(), &seat);
  } else if (!pointing && seat.pointer != nullptr) {
    ReleasePointer(seat.pointer);
    seat.pointer = nullptr;
  }
  if (touching && seat.touch == nullptr) {
    seat.touch = wl_seat_get_touch(wlSeat);
    wl_touch_add_listener(seat.touch, &TouchListener(), &seat);
  } else if (!touching && seat.touch != nullptr) {
    ReleaseTouch(seat.touch);
    seat.touch = nullptr;
  }
}
void OnSeatName(void*, wl_seat*, const char*) {}

const wl_seat_listener& SeatListener() {
  static const wl_seat_listener listener = {OnSeatCapabilities, OnSeatName};
  return listener;
}

void DestroySeat(Seat& seat) {
  if (seat.keyboard != nullptr) ReleaseKeyboard(seat.keyboard);
  if (seat.pointer != nullptr) ReleasePointer(seat.pointer);
  if (seat.touch != nullptr) ReleaseTouch(seat.touch);
  if (wl_seat_get_version(seat.seat) >= WL_SEAT_RELEASE_SINCE_VERSION) {
    wl_seat_release(seat.seat);
  } else {
    wl_seat_destroy(seat.seat);
  }
}

// The registry ----------------------------------------------------------------------------

template <typename T>
T* Bind(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered,
        uint32_t wanted) {
  return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
  Client& client = *static_cast<Client*>(data);
  const std::string kind = interface;
  if (kind == wl_compositor_interface.name && client.compositor == nullptr) {
    client.compositor =
        Bind<wl_compositor>(registry, name, &wl_compositor_interface, version, kCompositorVersion);
  } else if (kind == wl_shm_interface.name && client.shm == nullptr) {
    client.shm = Bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
  } else if (kind == zwlr_layer_shell_v1_interface.name && client.layerShell == nullptr) {
    client.layerShell = Bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface,
                                                  version, kLayerShellVersion);
  } else if (kind == zxdg_output_manager_v1_interface.name && client.xdgOutputManager == nullptr) {
    client.xdgOutputManager = Bind<zxdg_output_manager_v1>(
        registry, name, &zxdg_output_manager_v1_interface, version, kXdgOutputVersion);
    for (auto& o : client.outputs) DescribeOutput(client, *o);
  } else if (kind == wp_viewporter_interface.name && client.viewporter == nullptr) {
    client.viewporter = Bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
  } else if (kind == wp_fractional_scale_manager_v1_interface.name &&
             client.fractionalManager == nullptr) {
    client.fractionalManager = Bind<wp_fractional_scale_manager_v1>(
        registry, name, &wp_fractional_scale_manager_v1_interface, version, 1);
  } else if (kind == wl_subcompositor_interface.name && client.mode == WaylandMode::kLock &&
             client.subcompositor == nullptr) {
    client.subcompositor =
        Bind<wl_subcompositor>(registry, name, &wl_subcompositor_interface, version, 1);
  } else if (kind == ext_session_lock_manager_v1_interface.name &&
             client.mode == WaylandMode::kLock && client.lockManager == nullptr) {
    client.lockManager = Bind<ext_session_lock_manager_v1>(
        registry, name, &ext_session_lock_manager_v1_interface, version, 1);
  } else if (kind == wl_seat_interface.name && client.mode != WaylandMode::kWallpaper) {
    // Only the saver listens to input, on every seat, one added later too; the wallpaper
    // binds no seat, as a lock screen's nested compositor that offers none needs.
    auto seat = std::make_unique<Seat>();
    seat->client = &client;
    seat->global = name;
    seat->seat = Bind<wl_seat>(registry, name, &wl_seat_interface, version, kSeatVersion);
    wl_seat_add_listener(seat->seat, &SeatListener(), seat.get());
    client.seats.push_back(std::move(seat));
  } else if (kind == wl_output_interface.name) {
    auto o = std::make_unique<Output>();
    o->client = &client;
    o->global = name;
    o->view.client = &client;
    o->output = Bind<wl_output>(registry, name, &wl_output_interface, version, kOutputVersion);
    wl_output_add_listener(o->output, &OutputListener(), o.get());
    DescribeOutput(client, *o);
    client.outputs.push_back(std::move(o));
  }
}

void OnGlobalRemove(void* data, wl_registry*, uint32_t name) {
  // A removed output's surface, buffers and proxies go with it; the others draw on.
  Client& client = *static_cast<Client*>(data);
  for (auto it = client.outputs.begin(); it != client.outputs.end(); ++it) {
    if ((*it)->global == name) {
      DestroyOutput(**it);
      client.outputs.erase(it);
      return;
    }
  }
  for (auto it = client.seats.begin(); it != client.seats.end(); ++it) {
    if ((*it)->global == name) {
      DestroySeat(**it);
      client.seats.erase(it);
      return;
    }
  }
}

const wl_registry_listener& RegistryListener() {
  static const wl_registry_listener listener = {OnGlobal, OnGlobalRemove};
  return listener;
}

// The connection --------------------------------------------------------------------------

void Disconnect(Client& client) {
  for (auto& o : client.outputs) DestroyOutput(*o);
  client.outputs.clear();
  for (auto& seat : client.seats) DestroySeat(*seat);
  client.seats.clear();
  // A lock the compositor holds stays: only the user's password gives the session back.
  if (client.lock != nullptr && !client.locked) ext_session_lock_v1_destroy(client.lock);
  if (client.lockManager != nullptr) ext_session_lock_manager_v1_destroy(client.lockManager);
  if (client.subcompositor != nullptr) wl_subcompositor_destroy(client.subcompositor);
  if (client.fractionalManager != nullptr)
    wp_fractional_scale_manager_v1_destroy(client.fractionalManager);
  if (client.viewporter != nullptr) wp_viewporter_destroy(client.viewporter);
  if (client.xdgOutputManager != nullptr) zxdg_output_manager_v1_destroy(client.xdgOutputManager);
  if (client.layerShell != nullptr) {
    if (zwlr_layer_shell_v1_get_version(client.layerShell) >=
        ZWLR_LAYER_SHELL_V1_DESTROY_SINCE_VERSION) {
      zwlr_layer_shell_v1_destroy(client.layerShell);
    } else {
      wl_proxy_destroy(reinterpret_cast<wl_proxy*>(client.layerShell));
    }
  }
  if (client.shm != nullptr) wl_shm_destroy(client.shm);
  if (client.compositor != nullptr) wl_compositor_destroy(client.compositor);
  if (client.registry != nullptr) wl_registry_destroy(client.registry);
  wl_display_flush(client.display);
  wl_display_disconnect(client.display);
}

// The outputs' names, for the message about a name that is not among them.
// Sorted: compositors announce their outputs in no fixed order (sway 1.10 the last first).
std::string OutputNames(const Client& client) {
  std::vector<std::string> sorted;
  for (const auto& o : client.outputs) sorted.push_back(o->name.empty() ? "(unnamed)" : o->name);
  std::sort(sorted.begin(), sorted.end());
  std::string names;
  for (const std::string& name : sorted) names += (names.empty() ? "" : ", ") + name;
  return names.empty() ? "none" : names;
}

// The earliest end of a pause (or of the lock's waits), -1 when none is due.
double NextTimer(const Client& client) {
  double next = NextLockTimer(client);
  for (const auto& o : client.outputs) {
    if (o->view.drawing.suspended()) continue;
    const double at = o->view.timerAt;
    if (at >= 0 && (next < 0 || at < next)) next = at;
  }
  return next;
}

void RunDueTimers(Client& client) {
  RunLockTimers(client);
  const double now = NowMs();
  for (auto& o : client.outputs) {
    FigureSurface& s = o->view;
    if (s.timerAt >= 0 && s.timerAt <= now && !s.drawing.suspended()) {
      s.timerAt = -1;
      Step(s, now);
    }
  }
}

// New settings from the configuration file: every output starts its figure afresh with
// its own. A bad file changes nothing (the reader said why).
void ReloadSettings(Client& client) {
  if (!client.source->reload()) return;
  client.settings = client.source->forOutput("").settings;
  client.cursor = FixedFractalCursor();
  client.advances = 0;
  client.holder = nullptr;
  for (auto& o : client.outputs) {
    FigureSurface& s = o->view;
    if (s.surface == nullptr) continue;
    const WaylandOutputSettings chosen = client.source->forOutput(o->name);
    s.settings = chosen.settings;
    s.stillOnBattery = chosen.stillOnBattery;
    s.still = client.onBattery && chosen.stillOnBattery;
    s.cursor = FixedFractalCursor();
    s.advances = 0;
    if (s.fitted) RestartFigure(s, false);
  }
}

// On battery power the outputs that ask for it stand still; back on mains they grow on.
void FollowBattery(Client& client, bool onBattery) {
  client.onBattery = onBattery;
  for (auto& o : client.outputs) {
    FigureSurface& s = o->view;
    if (s.surface != nullptr) SetStill(s, onBattery && s.stillOnBattery);
  }
}

// What the events just handled leave to do: fit the surfaces whose size or scale changed,
// and end the saver when no output is left to cover (every one disabled, a lid closed),
// so that the idle daemon that started it sees it end.
void AfterEvents(Client& client) {
  FitWhatChanged(client);
  if (client.started && client.mode == WaylandMode::kSaver &&
      std::none_of(client.outputs.begin(), client.outputs.end(),
                   [](const auto& o) { return o->view.surface != nullptr; })) {
    client.stop = true;
  }
}

enum class LoopEnd { kStopped, kDisplayGone, kPollFailed, kNoMemory, kDone };

// Reads and handles the compositor's events, the signals and the ends of pauses until one
// of them ends the program, or, with `done`, until that is true. The compositor's socket
// is never waited on without the signal pipe, so that SIGTERM ends a program whose
// compositor does not answer. When the compositor closed the connection, whatever it sent
// before (a protocol error) is read and handled first.
LoopEnd RunLoop(Client& client, const bool* done) {
  wl_display* display = client.display;
  bool closed = false;  // a write found the connection closed: only reading is left
  for (;;) {
    if (client.failed) return LoopEnd::kNoMemory;
    if (client.stop) return LoopEnd::kStopped;
    if (done != nullptr && *done) return LoopEnd::kDone;
    while (wl_display_prepare_read(display) != 0) {
      if (wl_display_dispatch_pending(display) < 0) return LoopEnd::kDisplayGone;
      AfterEvents(client);
    }
    // A full socket keeps the rest of the requests: the poll then waits to send them too.
    short events = POLLIN;
    if (!closed && wl_display_flush(display) < 0) {
      if (errno == EAGAIN) {
        events |= POLLOUT;
      } else if (errno == EPIPE) {
        closed = true;
      } else {
        wl_display_cancel_read(display);
        return LoopEnd::kDisplayGone;
      }
    }
    if (client.trimDue) {
      client.trimDue = false;
      TrimFileMappings();
    }
    const double timer = NextTimer(client);
    int timeout = -1;
    if (timer >= 0) timeout = static_cast<int>(std::ceil(std::max(0.0, timer - NowMs())));
    if (client.battery != nullptr) {
      const int busTimeout = client.battery->timeoutMs();
      if (busTimeout >= 0 && (timeout < 0 || busTimeout < timeout)) timeout = busTimeout;
    }
    // A descriptor of -1 (no watch, no bus) is passed over by poll.
    const int check = client.session != nullptr && client.session->check.Running()
                          ? client.session->check.Fd()
                          : -1;
    pollfd fds[5] = {
        {wl_display_get_fd(display), events, 0},
        {stopSignals, POLLIN, 0},
        {client.watch != nullptr ? client.watch->fd() : -1, POLLIN, 0},
        {client.battery != nullptr ? client.battery->fd() : -1,
         static_cast<short>(client.battery != nullptr ? client.battery->events() : 0), 0},
        {check, POLLIN, 0}};
    const int ready = poll(fds, 5, timeout);
    if (ready < 0 && errno != EINTR) {
      client.pollError = errno;
      wl_display_cancel_read(display);
      return LoopEnd::kPollFailed;
    }
    if (ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      if (wl_display_read_events(display) < 0) return LoopEnd::kDisplayGone;
    } else {
      wl_display_cancel_read(display);
    }
    if (ready > 0 && fds[1].revents != 0) client.stop = true;
    if (wl_display_dispatch_pending(display) < 0) return LoopEnd::kDisplayGone;
    AfterEvents(client);
    if (ready > 0 && fds[2].revents != 0 && client.watch->TakeChange()) ReloadSettings(client);
    if (client.battery != nullptr && client.battery->Dispatch())
      FollowBattery(client, client.battery->onBattery());
    if (ready > 0 && fds[4].revents != 0) CollectCheck(client);
    RunDueTimers(client);
  }
}

void OnSynced(void* data, wl_callback* callback, uint32_t) {
  *static_cast<bool*>(data) = true;
  wl_callback_destroy(callback);
}

const wl_callback_listener& SyncListener() {
  static const wl_callback_listener listener = {OnSynced};
  return listener;
}

// A round trip to the compositor through the event loop, so that signals end it too.
LoopEnd RoundTrip(Client& client) {
  bool done = false;
  wl_callback* callback = wl_display_sync(client.display);
  wl_callback_add_listener(callback, &SyncListener(), &done);
  return RunLoop(client, &done);
}

// The line for a connection that failed or was closed on a fault; empty for a compositor
// that simply went away, which ends the program quietly, as a lost X display does.
std::string ConnectionFault(Client& client) {
  if (wl_display_get_error(client.display) != EPROTO) return "";
  const wl_interface* interface = nullptr;
  uint32_t id = 0;
  const uint32_t code = wl_display_get_protocol_error(client.display, &interface, &id);
  std::string text = "the Wayland compositor ended the connection with a protocol error: ";
  if (!libraryMessage.empty()) return text + libraryMessage;
  char line[160];
  std::snprintf(line, sizeof line, "%s@%u: error %u",
                interface != nullptr ? interface->name : "unknown", id, code);
  return text + line;
}

}  // namespace

bool WaylandSessionNamed() {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  const char* socket = std::getenv("WAYLAND_SOCKET");
  return (display != nullptr && *display != '\0') || (socket != nullptr && *socket != '\0');
}

int RunWayland(WaylandMode mode, const std::vector<std::string>& outputs,
               const WaylandSettings& settings) {
  stopSignals = InstallStopSignals();
  if (stopSignals < 0) {
    std::perror("lumerin: cannot set up the signal pipe");
    return kModeFailed;
  }
  // Some launchers leave WAYLAND_SOCKET set and empty, which libwayland would take for a
  // socket it cannot parse instead of looking at WAYLAND_DISPLAY.
  const char* socket = std::getenv("WAYLAND_SOCKET");
  if (socket != nullptr && *socket == '\0') unsetenv("WAYLAND_SOCKET");
  wl_log_set_handler_client(OnLibraryLog);
  libraryMessage.clear();
  Client client;
  client.mode = mode;
  client.wanted = outputs;
  client.source = &settings;
  client.settings = settings.forOutput("").settings;
  // WAYLAND_SOCKET, a connection a nested compositor hands over, or WAYLAND_DISPLAY.
  client.display = wl_display_connect(nullptr);
  if (client.display == nullptr) {
    std::fprintf(stderr, "lumerin: cannot connect to a Wayland display\n");
    return kModeFailed;
  }
  client.registry = wl_display_get_registry(client.display);
  wl_registry_add_listener(client.registry, &RegistryListener(), &client);
  // The globals, then what the outputs say about themselves (their names, scales).
  for (int trip = 0; trip < 2; ++trip) {
    const LoopEnd end = RoundTrip(client);
    if (end == LoopEnd::kDone) continue;
    int status = kModeEnded;
    if (end == LoopEnd::kDisplayGone) {
      const std::string fault = ConnectionFault(client);
      std::fprintf(stderr, "lumerin: %s\n",
                   fault.empty() ? "the Wayland display closed the connection" : fault.c_str());
      status = kModeFailed;
    } else if (end == LoopEnd::kPollFailed) {
      std::fprintf(stderr, "lumerin: waiting for the Wayland display failed: %s\n",
                   std::strerror(client.pollError));
      status = kModeFailed;
    }
    Disconnect(client);
    return status;
  }
  const bool lock = mode == WaylandMode::kLock;
  if (lock && client.lockManager == nullptr) {
    std::fprintf(stderr,
                 "lumerin: this Wayland compositor offers no session lock (ext-session-lock-v1), "
                 "which Lumerin locks with (sway 1.8 and later, Hyprland, niri, river, labwc, "
                 "Wayfire have it); lock with the desktop's own locker instead (KDE's or "
                 "GNOME's screen lock, swaylock on an older sway)\n");
    Disconnect(client);
    return kModeFailed;
  }
  if (!lock && client.layerShell == nullptr) {
    std::fprintf(stderr,
                 "lumerin: this Wayland compositor offers no layer shell (zwlr_layer_shell_v1), "
                 "which Lumerin draws on; GNOME has none: there, open Lumerin's web page "
                 "(index.html) in a browser instead\n");
    Disconnect(client);
    return kModeFailed;
  }
  if (client.compositor == nullptr || client.shm == nullptr) {
    std::fprintf(stderr, "lumerin: this Wayland compositor offers no %s\n",
                 client.compositor == nullptr ? "wl_compositor" : "wl_shm");
    Disconnect(client);
    return kModeFailed;
  }
  for (const std::string& name : outputs) {
    const bool found = std::any_of(client.outputs.begin(), client.outputs.end(),
                                   [&](const auto& o) { return o->name == name; });
    if (!found) {
      std::fprintf(stderr, "lumerin: no output '%s' (the outputs: %s)\n", name.c_str(),
                   OutputNames(client).c_str());
      Disconnect(client);
      return kModeNoSuchTarget;
    }
  }

  randomTickSource = DistinctTicks;
  ConfigWatch watch;
  if (!settings.path.empty() && watch.Start(settings.path)) client.watch = &watch;
  BatteryWatch battery;
  if (settings.followBattery) {
    battery.Start();
    client.battery = &battery;
  }
  if (lock) {
    client.session = std::make_unique<LockSession>();
    client.lockedFd = settings.lockedFd;
    client.lock = ext_session_lock_manager_v1_lock(client.lockManager);
    ext_session_lock_v1_add_listener(client.lock, &LockListener(), &client);
    client.lockDeadline = NowMs() + kLockWaitMs;
  }
  client.started = true;
  for (auto& o : client.outputs) MakeSurface(*o);

  LoopEnd end = RunLoop(client, nullptr);
  int status = kModeEnded;
  if (lock && end == LoopEnd::kStopped) {
    if (client.unlocked) {
      // The unlock must reach the compositor before the connection ends.
      client.stop = false;
      end = RoundTrip(client);
      if (end == LoopEnd::kDone) end = LoopEnd::kStopped;
    } else if (client.lockRefused) {
      std::fprintf(stderr,
                   "lumerin: the Wayland compositor refused to lock the session (another "
                   "locker holds it, or it locks in a way of its own)\n");
      status = kModeFailed;
    } else if (!client.locked) {
      std::fprintf(stderr, "lumerin: the Wayland compositor did not lock the session within %g s\n",
                   kLockWaitMs / 1000);
      status = kModeFailed;
    } else {
      std::fprintf(stderr, "lumerin: stopped by a signal; the session stays locked\n");
      status = kModeFailed;
    }
  }
  if (end == LoopEnd::kNoMemory) {
    std::fprintf(stderr, "lumerin: out of memory for the Wayland buffers\n");
    status = kModeFailed;
  } else if (end == LoopEnd::kPollFailed) {
    std::fprintf(stderr, "lumerin: waiting for the Wayland display failed: %s\n",
                 std::strerror(client.pollError));
    status = kModeFailed;
  } else if (end == LoopEnd::kDisplayGone) {
    const std::string fault = ConnectionFault(client);
    if (!fault.empty()) {
      std::fprintf(stderr, "lumerin: %s\n", fault.c_str());
      status = kModeFailed;
    }
  }
  // Only the user's password, unlocked and heard by the compositor, ends the lock with 0.
  if (lock && !(client.unlocked && end == LoopEnd::kStopped)) status = kModeFailed;
  Disconnect(client);
  ResetCurrentString();
  return status;
}
