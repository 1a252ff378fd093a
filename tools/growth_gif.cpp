#include "tools/growth_gif.h"

#include <cairo.h>
#include <fcntl.h>
#include <gif_lib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "core/rewrite.h"
#include "render/palette.h"
#include "render/turtle.h"
#include "settings/settings.h"
#include "tools/cairo_surface.h"

namespace {

constexpr int64_t kHundredthsPerTenth = 10;
constexpr int64_t kShortestDelay = 2;      // hundredths; players stretch shorter delays
constexpr int64_t kLongestDelay = 0xFFFF;  // a frame's delay is a 16-bit field
constexpr int kMostColours = 1 + kPaletteSize;

// A cairo RGB24 pixel (0xRRGGBB in the low bytes) of a COLORREF.
uint32_t PixelOf(uint32_t colorref) {
  return (colorref & 0xFF) << 16 | (colorref & 0xFF00) | (colorref >> 16 & 0xFF);
}

// The figure's colours, each once, and the index of each pixel value among them.
class Colours {
 public:
  explicit Colours(uint32_t background) {
    Add(PixelOf(background));
    for (int pen = 0; pen < kPaletteSize; ++pen) Add(PixelOf(colors[pen]));
  }
  int count() const { return count_; }
  uint32_t at(int index) const { return values_[index]; }

  uint8_t IndexOf(uint32_t pixel) {
    pixel &= 0xFFFFFF;
    if (pixel == lastPixel_) return lastIndex_;
    // The surface draws no other colour; anything else would be a fault of the drawing,
    // and still gets the nearest colour rather than an index outside the palette.
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < count_; ++i) {
      long distance = 0;
      for (int shift = 0; shift < 24; shift += 8) {
        const long d = static_cast<long>(pixel >> shift & 0xFF) - (values_[i] >> shift & 0xFF);
        distance += d * d;
      }
      if (bestDistance < 0 || distance < bestDistance) {
        best = i;
        bestDistance = distance;
      }
    }
    lastPixel_ = pixel;
    lastIndex_ = static_cast<uint8_t>(best);
    return lastIndex_;
  }

 private:
  void Add(uint32_t pixel) {
    for (int i = 0; i < count_; ++i)
      if (values_[i] == pixel) return;
    values_[count_++] = pixel;
  }

  uint32_t values_[kMostColours] = {};
  int count_ = 0;
  uint32_t lastPixel_ = 0xFFFFFFFF;
  uint8_t lastIndex_ = 0;
};

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  bool empty() const { return left >= right || top >= bottom; }
  void Add(const Rect& r) {
    if (r.empty()) return;
    if (empty()) {
      *this = r;
      return;
    }
    left = std::min(left, r.left);
    top = std::min(top, r.top);
    right = std::max(right, r.right);
    bottom = std::max(bottom, r.bottom);
  }
};

// Draws onto the image through CairoSurface and, at every frame boundary, compares the
// image with what the animation shows so far (shown_, one palette index per pixel) and
// writes the frame before, one frame behind so that an unchanged frame can lend its time.
class GrowthRecorder : public DrawingSurface {
 public:
  GrowthRecorder(GifFileType* gif, cairo_surface_t* image, const GrowthPicture& picture,
                 const GrowthTiming& timing, Colours* colours)
      : gif_(gif),
        image_(image),
        canvas_(image, picture.width, picture.height, picture.lineWidth, picture.background),
        width_(picture.width),
        height_(picture.height),
        reach_((picture.lineWidth + 1) / 2 + 2),
        timing_(timing),
        colours_(colours),
        shown_(static_cast<size_t>(picture.width) * picture.height, 0) {}

  void Clear() override {
    canvas_.Clear();
    changed_.Add({0, 0, width_, height_});
  }
  void MoveTo(int x, int y) override {
    canvas_.MoveTo(x, y);
    x_ = x;
    y_ = y;
  }
  void SelectPen(int pen) override { canvas_.SelectPen(pen); }
  void LineTo(int x, int y) override {
    ++segments_;
    // 2 x num x t = k x den, t in hundredths: is segment k drawn after this frame began?
    const int64_t twiceNum = 2 * timing_.speedNumerator;
    const int64_t scaled = segments_ * timing_.speedDenominator;
    if (scaled > twiceNum * frameStart_) {
      const int64_t next = std::max(frameStart_ + kShortestDelay, CeilTime(segments_));
      EndFrame(next - frameStart_);
      frameStart_ = next;
    }
    canvas_.LineTo(x, y);
    Touch(x_, y_, x, y);
    x_ = x;
    y_ = y;
  }
  bool Pause(int) override { return ok_; }

  // Ends the last frame, the finished figure, and writes it. False if any write failed.
  bool Finish() {
    const int64_t end = std::max(frameStart_ + kShortestDelay,
                                 CeilTime(segments_) + timing_.holdTenths * kHundredthsPerTenth);
    EndFrame(end - frameStart_);
    WritePending();
    return ok_;
  }

 private:
  // The time segment k is drawn, in hundredths, rounded up: k x 5 ms / speed.
  int64_t CeilTime(int64_t k) const {
    const int64_t twiceNum = 2 * timing_.speedNumerator;
    return (k * timing_.speedDenominator + twiceNum - 1) / twiceNum;
  }

  void Touch(int x0, int y0, int x1, int y1) {
    auto clampX = [this](long v) { return static_cast<int>(std::clamp<long>(v, 0, width_)); };
    auto clampY = [this](long v) { return static_cast<int>(std::clamp<long>(v, 0, height_)); };
    changed_.Add({clampX(static_cast<long>(std::min(x0, x1)) - reach_),
                  clampY(static_cast<long>(std::min(y0, y1)) - reach_),
                  clampX(static_cast<long>(std::max(x0, x1)) + reach_ + 1),
                  clampY(static_cast<long>(std::max(y0, y1)) + reach_ + 1)});
  }

  const uint32_t* Row(int y) const {
    return reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(image_) +
                                             static_cast<size_t>(y) * stride_);
  }
  uint8_t* Shown(int x, int y) { return &shown_[static_cast<size_t>(y) * width_ + x]; }

  // The frame that began at frameStart_ is what the image holds now; it lasts `delay`.
  void EndFrame(int64_t delay) {
    cairo_surface_flush(image_);
    stride_ = cairo_image_surface_get_stride(image_);
    Rect differs;
    if (!started_) {
      differs = {0, 0, width_, height_};  // the first frame covers the whole picture
      started_ = true;
    } else {
      for (int y = changed_.top; y < changed_.bottom; ++y) {
        const uint32_t* row = Row(y);
        const uint8_t* shown = Shown(0, y);
        int first = -1, last = -1;
        for (int x = changed_.left; x < changed_.right; ++x) {
          if (colours_->IndexOf(row[x]) != shown[x]) {
            if (first < 0) first = x;
            last = x;
          }
        }
        if (first >= 0) differs.Add({first, y, last + 1, y + 1});
      }
    }
    changed_ = {};
    if (differs.empty()) {
      pendingDelay_ += delay;
      return;
    }
    if (havePending_) WritePending();
    for (int y = differs.top; y < differs.bottom; ++y) {
      const uint32_t* row = Row(y);
      uint8_t* shown = Shown(0, y);
      for (int x = differs.left; x < differs.right; ++x) shown[x] = colours_->IndexOf(row[x]);
    }
    pending_ = differs;
    pendingDelay_ = delay;
    havePending_ = true;
  }

  // Writes the pending frame from shown_, which still holds it.
  void WritePending() {
    while (ok_) {
      const int64_t delay = std::min(pendingDelay_, kLongestDelay);
      GraphicsControlBlock control = {};
      control.DisposalMode = DISPOSE_DO_NOT;
      control.DelayTime = static_cast<int>(delay);
      control.TransparentColor = NO_TRANSPARENT_COLOR;
      GifByteType extension[4];
      const size_t length = EGifGCBToExtension(&control, extension);
      const Rect& r = pending_;
      ok_ = EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) ==
                GIF_OK &&
            EGifPutImageDesc(gif_, r.left, r.top, r.right - r.left, r.bottom - r.top, false,
                             nullptr) == GIF_OK;
      for (int y = r.top; ok_ && y < r.bottom; ++y)
        ok_ = EGifPutLine(gif_, Shown(r.left, y), r.right - r.left) == GIF_OK;
      pendingDelay_ -= delay;
      if (pendingDelay_ <= 0) break;
      pending_ = {0, 0, 1, 1};  // a delay too long for one frame: the rest in one pixel
    }
    havePending_ = false;
  }

  GifFileType* gif_;
  cairo_surface_t* image_;
  CairoSurface canvas_;
  int width_, height_, reach_;
  int stride_ = 0;
  GrowthTiming timing_;
  Colours* colours_;
  std::vector<uint8_t> shown_;
  Rect changed_;  // where the image may differ from shown_
  Rect pending_;  // the frame written next
  int64_t pendingDelay_ = 0;
  bool havePending_ = false, started_ = false, ok_ = true;
  int64_t segments_ = 0;
  int64_t frameStart_ = 0;  // hundredths
  int x_ = 0, y_ = 0;
};

// The global colour table and the loop: the file's head, before the first frame.
bool WriteHead(GifFileType* gif, const GrowthPicture& picture, const Colours& colours) {
  int bits = 1;
  while ((1 << bits) < colours.count()) ++bits;
  GifColorType table[1 << 8] = {};
  for (int i = 0; i < (1 << bits); ++i) {
    const uint32_t pixel = colours.at(i < colours.count() ? i : 0);
    table[i] = {static_cast<GifByteType>(pixel >> 16), static_cast<GifByteType>(pixel >> 8),
                static_cast<GifByteType>(pixel)};
  }
  ColorMapObject* map = GifMakeMapObject(1 << bits, table);
  if (map == nullptr) return false;
  EGifSetGifVersion(gif, true);
  bool ok = EGifPutScreenDesc(gif, picture.width, picture.height, 8, 0, map) == GIF_OK;
  GifFreeMapObject(map);
  static const GifByteType kLoopForever[3] = {1, 0, 0};
  ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
       EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_OK &&
       EGifPutExtensionBlock(gif, 3, kLoopForever) == GIF_OK &&
       EGifPutExtensionTrailer(gif) == GIF_OK;
  return ok;
}

}  // namespace

GrowthGif::~GrowthGif() {
  if (fd_ >= 0) close(fd_);
  if (!temporary_.empty()) unlink(temporary_.c_str());
}

bool GrowthGif::Open(const std::string& path) {
  struct stat target;
  if (stat(path.c_str(), &target) == 0) {
    if (S_ISDIR(target.st_mode)) {
      errno = EISDIR;
      return false;
    }
    if (access(path.c_str(), W_OK) != 0) return false;
  }
  std::filesystem::path dir = std::filesystem::path(path).parent_path();
  if (dir.empty()) dir = ".";
  std::string name = (dir / ".lumerin-XXXXXX").string();
  const int fd = mkstemp(name.data());
  if (fd < 0) return false;
  // mkstemp makes the file for its owner alone; the picture gets a new file's usual mode.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  path_ = path;
  temporary_ = name;
  fd_ = fd;
  return true;
}

bool GrowthGif::Write(const GrowthPicture& picture, const GrowthTiming& timing) {
  if (fd_ < 0) return false;
  int error = 0;
  GifFileType* gif = EGifOpenFileHandle(fd_, &error);
  if (gif == nullptr) return false;
  fd_ = -1;  // closed with the GIF
  cairo_surface_t* image =
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, picture.width, picture.height);
  bool ok = cairo_surface_status(image) == CAIRO_STATUS_SUCCESS;
  Colours colours(picture.background);
  ok = ok && WriteHead(gif, picture, colours);
  if (ok) {
    GrowthRecorder recorder(gif, image, picture, timing, &colours);
    Render(0, nullptr);
    ok = Render(1, &recorder) && recorder.Finish();
  }
  cairo_surface_destroy(image);
  ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
  if (ok) ok = rename(temporary_.c_str(), path_.c_str()) == 0;
  if (ok) temporary_.clear();
  return ok;
}
