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
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/rewrite.h"
#include "fractional-scale-v1-client.h"
#include "host/closing_rules.h"
#include "host/linux_modes_posix.h"
#include "layer_shell-client.h"
#include "render/pixel_surface.h"
#include "render/turtle.h"
#include "saver/animation.h"
#include "saver/paced_drawing.h"
#include "saver/random.h"
#include "settings/settings.h"
#include "viewporter-client.h"
#include "wayland/output_scale.h"
#include "xdg-output-unstable-v1-client.h"

namespace {

// The highest versions used; a compositor that offers less is bound at its version.
constexpr uint32_t kCompositorVersion = 4;  // wl_surface.damage_buffer
constexpr uint32_t kOutputVersion = 4;      // wl_output.name
constexpr uint32_t kXdgOutputVersion = 3;
constexpr uint32_t kLayerShellVersion = 4;
constexpr uint32_t kSeatVersion = 5;

constexpr uint32_t kBuffersPerOutput = 2;

// The reading end of the pipe that SIGTERM and SIGINT write into.
int stopSignals = -1;

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

bool Empty(const PixelSurface::Rect& r) { return r.left >= r.right || r.top >= r.bottom; }

PixelSurface::Rect Union(const PixelSurface::Rect& a, const PixelSurface::Rect& b) {
  if (Empty(a)) return b;
  if (Empty(b)) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

struct Client;
struct Output;

// One shared-memory buffer of an output's size, and the part of the pixel surface it
// does not hold yet.
struct Buffer {
  Output* owner = nullptr;
  wl_buffer* buffer = nullptr;
  uint32_t* data = nullptr;
  size_t bytes = 0;
  int width = 0, height = 0;
  bool busy = false;  // attached, and not yet released by the compositor
  PixelSurface::Rect stale = {0, 0, 0, 0};
};

// One output and, once it is shown on, its layer surface with its figure.
struct Output {
  Client* client = nullptr;
  uint32_t global = 0;
  wl_output* output = nullptr;
  zxdg_output_v1* xdgOutput = nullptr;
  std::string name;
  int32_t scale = 1;

  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layer = nullptr;
  wp_viewport* viewport = nullptr;
  wp_fractional_scale_v1* fractional = nullptr;
  int32_t scale120 = 0;  // the preferred fractional scale, 0 until one is sent
  int32_t logicalWidth = 0, logicalHeight = 0;
  bool configured = false;
  OutputBuffer geometry = {0, 0, 1, false, 0};
  Buffer buffers[kBuffersPerOutput];

  PixelSurface pixels;
  PacedDrawing drawing;
  int64_t drawingNumber = 0;  // the fixed mode's drawing it shows, counted from 1
  wl_callback* frame = nullptr;
  double timerAt = -1;                          // the end of the pause, -1 when none is due
  PixelSurface::Rect undamaged = {0, 0, 0, 0};  // changed since the last commit
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
  wl_seat* seat = nullptr;
  wl_keyboard* keyboard = nullptr;
  wl_pointer* pointer = nullptr;
  int pointerX = 0, pointerY = 0;
  std::vector<std::unique_ptr<Output>> outputs;
  bool started = false;  // the outputs named were checked; surfaces may be made
  bool stop = false;
  bool failed = false;  // out of memory for a buffer, or a file for it

  PacedPlatform platform;
  FixedFractalCursor cursor;
  int64_t prepared = 0;  // the fixed mode's drawings prepared so far
};

// Buffers --------------------------------------------------------------------------------

void OnBufferRelease(void* data, wl_buffer*);

const wl_buffer_listener& BufferListener() {
  static const wl_buffer_listener listener = {OnBufferRelease};
  return listener;
}

void FreeBuffer(Buffer& b) {
  if (b.buffer != nullptr) wl_buffer_destroy(b.buffer);
  if (b.data != nullptr) munmap(b.data, b.bytes);
  Output* owner = b.owner;
  b = Buffer();
  b.owner = owner;
}

// A buffer of the output's pixel size in XRGB8888, the format every compositor takes.
bool MakeBuffer(Client& client, Buffer& b, int width, int height) {
  FreeBuffer(b);
  if (width <= 0 || height <= 0) return false;
  const size_t stride = static_cast<size_t>(width) * 4;
  const size_t bytes = stride * static_cast<size_t>(height);
  const int fd = memfd_create("lumerin", MFD_CLOEXEC);
  if (fd < 0) return false;
  if (ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
    close(fd);
    return false;
  }
  void* data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (data == MAP_FAILED) {
    close(fd);
    return false;
  }
  wl_shm_pool* pool = wl_shm_create_pool(client.shm, fd, static_cast<int32_t>(bytes));
  b.buffer = wl_shm_pool_create_buffer(pool, 0, width, height, static_cast<int32_t>(stride),
                                       WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  b.data = static_cast<uint32_t*>(data);
  b.bytes = bytes;
  b.width = width;
  b.height = height;
  b.stale = {0, 0, width, height};
  wl_buffer_add_listener(b.buffer, &BufferListener(), &b);
  return true;
}

// The part of the pixel surface the buffer lacks, from the canvas's byte order (red,
// green, blue, alpha) into XRGB8888's (blue, green, red in a little-endian word's low
// bytes): red and blue change places.
void CopyStale(const PixelSurface& pixels, Buffer& b) {
  const PixelSurface::Rect r = {std::max(b.stale.left, 0), std::max(b.stale.top, 0),
                                std::min(b.stale.right, std::min(b.width, pixels.width())),
                                std::min(b.stale.bottom, std::min(b.height, pixels.height()))};
  b.stale = {0, 0, 0, 0};
  if (Empty(r)) return;
  for (int y = r.top; y < r.bottom; ++y) {
    const uint32_t* from = pixels.pixels() + static_cast<size_t>(y) * pixels.width();
    uint32_t* to = b.data + static_cast<size_t>(y) * static_cast<size_t>(b.width);
    for (int x = r.left; x < r.right; ++x) {
      const uint32_t p = from[x];
      to[x] = (p & 0xFF00FF00u) | (p & 0xFFu) << 16 | (p >> 16 & 0xFFu);
    }
  }
}

// Drawing -------------------------------------------------------------------------------

void OnFrameDone(void* data, wl_callback* callback, uint32_t);

const wl_callback_listener& FrameListener() {
  static const wl_callback_listener listener = {OnFrameDone};
  return listener;
}

// Shows what changed: into a buffer the compositor does not hold, damaged only where it
// changed since the last commit, and with a frame callback when `wantFrame`. With both
// buffers held, the change waits for a release.
void Present(Output& o, bool wantFrame) {
  Client& client = *o.client;
  const PixelSurface::Rect changed = o.pixels.TakeChanged();
  o.undamaged = Union(o.undamaged, changed);
  for (Buffer& b : o.buffers) b.stale = Union(b.stale, changed);
  bool commit = false;
  if (!Empty(o.undamaged)) {
    for (Buffer& b : o.buffers) {
      if (b.busy) continue;
      if (b.buffer == nullptr && !MakeBuffer(client, b, o.pixels.width(), o.pixels.height())) {
        client.failed = true;
        return;
      }
      CopyStale(o.pixels, b);
      wl_surface_attach(o.surface, b.buffer, 0, 0);
      if (wl_surface_get_version(o.surface) >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION) {
        wl_surface_damage_buffer(o.surface, o.undamaged.left, o.undamaged.top,
                                 o.undamaged.right - o.undamaged.left,
                                 o.undamaged.bottom - o.undamaged.top);
      } else {
        // An older compositor takes damage in surface units only: all of it, then.
        wl_surface_damage(o.surface, 0, 0, INT32_MAX, INT32_MAX);
      }
      o.undamaged = {0, 0, 0, 0};
      b.busy = true;
      commit = true;
      break;
    }
  }
  if (wantFrame && o.frame == nullptr) {
    o.frame = wl_surface_frame(o.surface);
    wl_callback_add_listener(o.frame, &FrameListener(), &o);
    commit = true;
  }
  if (commit) wl_surface_commit(o.surface);
}

// The next drawing on the output: in the slideshow a pick of its own; in the fixed mode
// the generation the other outputs show, or the next one when this output was showing
// the latest (`again` keeps the latest, for an output whose size changed).
void StartDrawing(Output& o, double now, bool again) {
  Client& client = *o.client;
  SetDrawingArea(o.pixels.width(), o.pixels.height());
  bool ready;
  if (Settings.DefaultMode == 0 && client.prepared > 0 &&
      (again || o.drawingNumber < client.prepared)) {
    ready = true;  // CurrentString still holds the latest generation
  } else {
    ready = PrepareNextDrawing(client.platform, client.cursor);
    if (ready) ++client.prepared;
  }
  if (ready) {
    o.drawingNumber = client.prepared;
    o.drawing.Start(now, o.pixels);
  } else {
    o.drawing.StartIdle(now);
  }
}

// Draws what is due: while the figure grows, on every frame callback; during a pause no
// callback is asked for, only the loop's timer for its end.
void Step(Output& o, double now) {
  if (!o.configured) return;
  double next;
  for (;;) {
    next = o.drawing.Frame(now, o.pixels);
    if (next != PacedDrawing::kNewDrawingDue) break;
    StartDrawing(o, now, false);
  }
  o.timerAt = next == PacedDrawing::kNextFrame ? -1 : next;
  Present(o, next == PacedDrawing::kNextFrame);
}

void OnFrameDone(void* data, wl_callback* callback, uint32_t) {
  Output& o = *static_cast<Output*>(data);
  wl_callback_destroy(callback);
  o.frame = nullptr;
  Step(o, NowMs());
}

void OnBufferRelease(void* data, wl_buffer*) {
  Buffer& b = *static_cast<Buffer*>(data);
  b.busy = false;
  // A change that found both buffers held goes out now.
  if (b.owner != nullptr && !Empty(b.owner->undamaged)) Present(*b.owner, false);
}

// The buffers for the output's logical size and scale; a new size starts a new drawing.
void Fit(Output& o) {
  const OutputBuffer geometry =
      BufferForOutput(o.logicalWidth, o.logicalHeight, o.scale, o.fractional ? o.scale120 : 0);
  wl_surface_set_buffer_scale(o.surface, geometry.bufferScale);
  if (o.viewport != nullptr) {
    // -1, -1 unsets the destination: without a fractional scale the buffer scale maps it.
    wp_viewport_set_destination(o.viewport, geometry.viewport ? o.logicalWidth : -1,
                                geometry.viewport ? o.logicalHeight : -1);
  }
  const bool same = o.configured && geometry.width == o.geometry.width &&
                    geometry.height == o.geometry.height && geometry.dpi == o.geometry.dpi;
  o.geometry = geometry;
  o.configured = true;
  if (same) {
    wl_surface_commit(o.surface);
    return;
  }
  for (Buffer& b : o.buffers) FreeBuffer(b);
  o.pixels.Resize(geometry.width, geometry.height);
  o.pixels.SetDpi(geometry.dpi);
  o.undamaged = {0, 0, 0, 0};
  const double now = NowMs();
  StartDrawing(o, now, true);
  Step(o, now);
}

// Layer surfaces --------------------------------------------------------------------------

void OnLayerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
                      uint32_t height) {
  Output& o = *static_cast<Output*>(data);
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  o.logicalWidth = static_cast<int32_t>(std::min<uint32_t>(width, kMaxBufferSide));
  o.logicalHeight = static_cast<int32_t>(std::min<uint32_t>(height, kMaxBufferSide));
  Fit(o);
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

void OnPreferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale) {
  Output& o = *static_cast<Output*>(data);
  const int32_t scale120 = static_cast<int32_t>(std::min<uint32_t>(scale, 120 * 64));
  if (scale120 == o.scale120) return;
  o.scale120 = scale120;
  if (o.configured) Fit(o);
}

const wp_fractional_scale_v1_listener& FractionalListener() {
  static const wp_fractional_scale_v1_listener listener = {OnPreferredScale};
  return listener;
}

bool Wanted(const Client& client, const Output& o) {
  if (client.wanted.empty()) return true;
  return std::find(client.wanted.begin(), client.wanted.end(), o.name) != client.wanted.end();
}

void MakeSurface(Output& o) {
  Client& client = *o.client;
  if (o.surface != nullptr || !Wanted(client, o)) return;
  o.surface = wl_compositor_create_surface(client.compositor);
  if (client.fractionalManager != nullptr && client.viewporter != nullptr) {
    o.viewport = wp_viewporter_get_viewport(client.viewporter, o.surface);
    o.fractional =
        wp_fractional_scale_manager_v1_get_fractional_scale(client.fractionalManager, o.surface);
    wp_fractional_scale_v1_add_listener(o.fractional, &FractionalListener(), &o);
  }
  const bool saver = client.mode == WaylandMode::kSaver;
  o.layer = zwlr_layer_shell_v1_get_layer_surface(
      client.layerShell, o.surface, o.output,
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
  wl_surface_commit(o.surface);
}

void DropSurface(Output& o) {
  if (o.frame != nullptr) wl_callback_destroy(o.frame);
  o.frame = nullptr;
  for (Buffer& b : o.buffers) FreeBuffer(b);
  if (o.fractional != nullptr) wp_fractional_scale_v1_destroy(o.fractional);
  if (o.viewport != nullptr) wp_viewport_destroy(o.viewport);
  if (o.layer != nullptr) zwlr_layer_surface_v1_destroy(o.layer);
  if (o.surface != nullptr) wl_surface_destroy(o.surface);
  o.fractional = nullptr;
  o.viewport = nullptr;
  o.layer = nullptr;
  o.surface = nullptr;
  o.configured = false;
  o.timerAt = -1;
  o.geometry = {0, 0, 1, false, 0};
  o.pixels.Resize(0, 0);
}

// Outputs ---------------------------------------------------------------------------------

void OnOutputGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                      const char*, int32_t) {}
void OnOutputMode(void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {}

void OnOutputDone(void* data, wl_output*) {
  Output& o = *static_cast<Output*>(data);
  if (!o.client->started) return;
  if (o.surface == nullptr) {
    MakeSurface(o);  // an output that came while the program runs
  } else if (o.configured) {
    Fit(o);  // its scale may have changed
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
void OnXdgSize(void*, zxdg_output_v1*, int32_t, int32_t) {}
void OnXdgDone(void* data, zxdg_output_v1*) {
  // A name that only xdg-output gives may come after wl_output's done.
  Output& o = *static_cast<Output*>(data);
  if (o.client->started && o.surface == nullptr) MakeSurface(o);
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

void OnKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); }
void OnKeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void OnKeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void OnKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state) {
  if (state == WL_KEYBOARD_KEY_STATE_PRESSED) static_cast<Client*>(data)->stop = true;
}
void OnModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
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
  Client& client = *static_cast<Client*>(data);
  // No pointer image over the figures.
  wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
  // Positions are the surface's own: each output's surface starts a new reference.
  client.pointerX = wl_fixed_to_int(x);
  client.pointerY = wl_fixed_to_int(y);
}
void OnPointerLeave(void*, wl_pointer*, uint32_t, wl_surface*) {}
void OnPointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
  Client& client = *static_cast<Client*>(data);
  if (PointerMovedTooFar(wl_fixed_to_int(x), wl_fixed_to_int(y), client.pointerX,
                         client.pointerY)) {
    client.stop = true;
  }
}
void OnPointerButton(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
  if (state == WL_POINTER_BUTTON_STATE_PRESSED) static_cast<Client*>(data)->stop = true;
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

void OnSeatCapabilities(void* data, wl_seat* seat, uint32_t capabilities) {
  Client& client = *static_cast<Client*>(data);
  const bool keys = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
  const bool pointing = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
  if (keys && client.keyboard == nullptr) {
    client.keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(client.keyboard, &KeyboardListener(), &client);
  } else if (!keys && client.keyboard != nullptr) {
    ReleaseKeyboard(client.keyboard);
    client.keyboard = nullptr;
  }
  if (pointing && client.pointer == nullptr) {
    client.pointer = wl_seat_get_pointer(seat);
    wl_pointer_add_listener(client.pointer, &PointerListener(), &client);
  } else if (!pointing && client.pointer != nullptr) {
    ReleasePointer(client.pointer);
    client.pointer = nullptr;
  }
}
void OnSeatName(void*, wl_seat*, const char*) {}

const wl_seat_listener& SeatListener() {
  static const wl_seat_listener listener = {OnSeatCapabilities, OnSeatName};
  return listener;
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
  } else if (kind == wl_seat_interface.name && client.mode == WaylandMode::kSaver &&
             client.seat == nullptr) {
    // Only the saver listens to input; the wallpaper binds no seat, as a lock screen's
    // nested compositor that offers none needs.
    client.seat = Bind<wl_seat>(registry, name, &wl_seat_interface, version, kSeatVersion);
    wl_seat_add_listener(client.seat, &SeatListener(), &client);
  } else if (kind == wl_output_interface.name) {
    auto o = std::make_unique<Output>();
    o->client = &client;
    o->global = name;
    for (Buffer& b : o->buffers) b.owner = o.get();
    o->output = Bind<wl_output>(registry, name, &wl_output_interface, version, kOutputVersion);
    wl_output_add_listener(o->output, &OutputListener(), o.get());
    DescribeOutput(client, *o);
    client.outputs.push_back(std::move(o));
  }
}

void OnGlobalRemove(void* data, wl_registry*, uint32_t name) {
  // A removed output's surface and buffers go with it; the others draw on.
  Client& client = *static_cast<Client*>(data);
  for (auto it = client.outputs.begin(); it != client.outputs.end(); ++it) {
    if ((*it)->global == name) {
      DestroyOutput(**it);
      client.outputs.erase(it);
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
  if (client.keyboard != nullptr) ReleaseKeyboard(client.keyboard);
  if (client.pointer != nullptr) ReleasePointer(client.pointer);
  if (client.seat != nullptr) {
    if (wl_seat_get_version(client.seat) >= WL_SEAT_RELEASE_SINCE_VERSION) {
      wl_seat_release(client.seat);
    } else {
      wl_seat_destroy(client.seat);
    }
  }
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

// The earliest end of a pause, -1 when none is due.
double NextTimer(const Client& client) {
  double next = -1;
  for (const auto& o : client.outputs) {
    if (o->timerAt >= 0 && (next < 0 || o->timerAt < next)) next = o->timerAt;
  }
  return next;
}

void RunDueTimers(Client& client) {
  const double now = NowMs();
  for (auto& o : client.outputs) {
    if (o->timerAt >= 0 && o->timerAt <= now) {
      o->timerAt = -1;
      Step(*o, now);
    }
  }
}

enum class LoopEnd { kStopped, kDisplayGone, kFailed };

// Reads and handles the compositor's events, the signals and the ends of pauses until one
// of them ends the program.
LoopEnd RunLoop(Client& client) {
  wl_display* display = client.display;
  for (;;) {
    if (client.failed) return LoopEnd::kFailed;
    if (client.stop) return LoopEnd::kStopped;
    while (wl_display_prepare_read(display) != 0) {
      if (wl_display_dispatch_pending(display) < 0) return LoopEnd::kDisplayGone;
    }
    // A full socket keeps the rest of the requests: the poll then waits to send them too.
    short events = POLLIN;
    if (wl_display_flush(display) < 0) {
      if (errno != EAGAIN) {
        wl_display_cancel_read(display);
        return LoopEnd::kDisplayGone;
      }
      events |= POLLOUT;
    }
    const double timer = NextTimer(client);
    int timeout = -1;
    if (timer >= 0) timeout = static_cast<int>(std::ceil(std::max(0.0, timer - NowMs())));
    pollfd fds[2] = {{wl_display_get_fd(display), events, 0}, {stopSignals, POLLIN, 0}};
    const int ready = poll(fds, 2, timeout);
    if (ready < 0 && errno != EINTR) {
      wl_display_cancel_read(display);
      return LoopEnd::kFailed;
    }
    if (ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      if (wl_display_read_events(display) < 0) return LoopEnd::kDisplayGone;
    } else {
      wl_display_cancel_read(display);
    }
    if (ready > 0 && fds[1].revents != 0) client.stop = true;
    if (wl_display_dispatch_pending(display) < 0) return LoopEnd::kDisplayGone;
    RunDueTimers(client);
  }
}

}  // namespace

bool WaylandSessionNamed() {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  const char* socket = std::getenv("WAYLAND_SOCKET");
  return (display != nullptr && *display != '\0') || (socket != nullptr && *socket != '\0');
}

int RunWayland(WaylandMode mode, const std::vector<std::string>& outputs) {
  stopSignals = InstallStopSignals();
  if (stopSignals < 0) {
    std::perror("lumerin: cannot set up the signal pipe");
    return kModeFailed;
  }
  Client client;
  client.mode = mode;
  client.wanted = outputs;
  // WAYLAND_SOCKET, a connection a nested compositor hands over, or WAYLAND_DISPLAY.
  client.display = wl_display_connect(nullptr);
  if (client.display == nullptr) {
    std::fprintf(stderr, "lumerin: cannot connect to a Wayland display\n");
    return kModeFailed;
  }
  client.registry = wl_display_get_registry(client.display);
  wl_registry_add_listener(client.registry, &RegistryListener(), &client);
  // The globals, then what the outputs say about themselves (their names, scales).
  if (wl_display_roundtrip(client.display) < 0 || wl_display_roundtrip(client.display) < 0) {
    std::fprintf(stderr, "lumerin: the Wayland display closed the connection\n");
    Disconnect(client);
    return kModeFailed;
  }
  if (client.layerShell == nullptr) {
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
  client.started = true;
  for (auto& o : client.outputs) MakeSurface(*o);

  const LoopEnd end = RunLoop(client);
  int status = kModeEnded;
  if (end == LoopEnd::kFailed) {
    std::fprintf(stderr, "lumerin: out of memory for the Wayland buffers\n");
    status = kModeFailed;
  } else if (end == LoopEnd::kDisplayGone && wl_display_get_error(client.display) == EPROTO) {
    std::fprintf(stderr, "lumerin: the Wayland compositor reported a protocol error\n");
    status = kModeFailed;
  }
  // A compositor that went away ends the program quietly, as a lost X display does.
  Disconnect(client);
  ResetCurrentString();
  return status;
}
