// Every build of the program must draw the very same pixels and make the same slideshow
// picks: the native build, and the 32-bit Windows build whose doubles live in x87
// registers. Both compare what they compute with one reference that the native build
// wrote (drawing_hashes.txt beside this file); a build that rounds differently, such as
// x87 at its default 64-bit precision, differs from it.
//
// To write the reference anew after an intended change to what is drawn:
//   LUMERIN_WRITE_DRAWING_HASHES=tests/unit/drawing_hashes.txt build/native/unit_tests
// (with --gtest_filter='SameFigures.*').
// LUMERIN_DRAWING_HASH_DETAIL=FILE also writes one line per drawing, to find which differ.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/catalogue.h"
#include "core/float_precision.h"
#include "core/rewrite.h"
#include "render/turtle.h"
#include "saver/animation.h"
#include "saver/random.h"
#include "settings/settings.h"

namespace {

// Some tests compute outside a drawing pass or a reseed (a random state set by hand, a
// mapping after a pass) on the thread that runs them: it gets the figures' arithmetic.
class ProgramPrecision : public ::testing::Environment {
 public:
  void SetUp() override { UseDoublePrecision(); }
};
const auto* const kProgramPrecision = ::testing::AddGlobalTestEnvironment(new ProgramPrecision);

// What a hook library of another program may leave in the drawing thread, wherever this
// build computes the figures: on the x87 extended precision, rounding toward zero and
// zero division unmasked; in SSE arithmetic the same rounding and mask.
void UseForeignArithmetic() {
#if defined(__i386__) || (defined(__x86_64__) && defined(_WIN32))
  const uint16_t controlWord = 0x0F7B;
  __asm__ volatile("fldcw %0" : : "m"(controlWord) : "memory");
#endif
#ifdef __SSE2_MATH__
  const uint32_t sseControl = 0x7D80;
  __asm__ volatile("ldmxcsr %0" : : "m"(sseControl) : "memory");
#endif
}

// FNV-1a, 64 bits, over 32-bit words.
class Hash {
 public:
  void Add(uint64_t word) {
    for (int i = 0; i < 8; ++i) {
      value_ ^= (word >> (8 * i)) & 0xFF;
      value_ *= 0x100000001B3ULL;
    }
  }
  uint64_t value() const { return value_; }

 private:
  uint64_t value_ = 0xCBF29CE484222325ULL;
};

// Every operation of the drawing pass, hashed in order.
class HashingSurface : public DrawingSurface {
 public:
  void Clear() override { hash.Add(1); }
  void MoveTo(int x, int y) override { Add(2, x, y); }
  void SelectPen(int pen) override { Add(3, pen, 0); }
  void LineTo(int x, int y) override { Add(4, x, y); }
  bool Pause(int) override { return true; }

  Hash hash;

 private:
  void Add(uint32_t op, int a, int b) {
    hash.Add(op);
    hash.Add(static_cast<uint32_t>(a));
    hash.Add(static_cast<uint32_t>(b));
  }
};

// The saver's fixed mode over every generation the dialog offers; each drawing is the
// measuring pass and the drawing pass, as on the drawing thread, onto a hashing surface,
// and foreign code changes the arithmetic before each pass.
class SweepPlatform : public AnimationPlatform {
 public:
  explicit SweepPlatform(int32_t generations) : generations_(generations) {}
  void RebuildPens(int32_t) override {}
  bool Draw() override {
    UseForeignArithmetic();
    Render(0, nullptr);
    UseForeignArithmetic();
    HashingSurface surface;
    const bool finished = Render(1, &surface);
    hashes.push_back(surface.hash.value());
    return finished;
  }
  bool Wait(uint32_t) override { return static_cast<int32_t>(hashes.size()) < generations_; }

  std::vector<uint64_t> hashes;

 private:
  int32_t generations_;
};

struct Size {
  int32_t width, height;
};
// A 1 x 1 window, the control panel's preview, common screens and very wide ones.
constexpr Size kSizes[] = {{1, 1},      {152, 112},   {800, 600},   {1024, 768},
                           {1366, 768}, {1920, 1080}, {7680, 1080}, {30000, 200}};
constexpr int32_t kHeadings[] = {0, 10, 20, 45, 60, 90, 135, 180, 270, 359};

std::string Key(const char* kind, int a, int b) {
  char key[48];
  std::snprintf(key, sizeof key, "%s %d %d", kind, a, b);
  return key;
}

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

// One hash per entry and generation over every size and heading, and one per group of
// slideshow seeds; the detail, when asked for, names every single drawing.
struct Sweep {
  std::map<std::string, uint64_t> groups;
  std::vector<std::string> detail;
  int drawings = 0;
};

void SweepDrawings(Sweep& sweep) {
  for (int32_t entry = 0; entry < kFractalCount; ++entry) {
    const int32_t generations = FractalCatalogue[entry].maxIter;
    std::vector<Hash> perGeneration(static_cast<size_t>(generations));
    for (const Size& size : kSizes) {
      for (int32_t heading : kHeadings) {
        ResetSettings();
        ResetCatalogue();
        ResetCurrentString();
        Settings.NumFractal = entry;
        Settings.iterFrom = 0;
        Settings.iterTo = generations - 1;
        Settings.Angle = heading;
        SetDrawingArea(size.width, size.height);
        SweepPlatform platform(generations);
        RunFixedFractal(platform);
        for (size_t g = 0; g < platform.hashes.size() && g < perGeneration.size(); ++g) {
          perGeneration[g].Add(platform.hashes[g]);
          sweep.detail.push_back(Key("drawing", entry, static_cast<int>(g)) + " " +
                                 std::to_string(size.width) + "x" + std::to_string(size.height) +
                                 " " + std::to_string(heading) + " " + Hex(platform.hashes[g]));
          ++sweep.drawings;
        }
      }
    }
    for (int32_t g = 0; g < generations; ++g) {
      sweep.groups[Key("entry", entry, g)] = perGeneration[static_cast<size_t>(g)].value();
    }
  }
}

// The slideshow's picks from every tick count of a few ranges, including the powers of
// ten that seed the state with exactly 1.0.
uint32_t sweepTick = 0;
uint32_t SweepTicks() { return sweepTick; }

void SweepRandomValues(Sweep& sweep) {
  const uint32_t starts[] = {0, 999, 65536, 86400000, 4294960000U};
  randomTickSource = SweepTicks;
  for (int group = 0; group < static_cast<int>(sizeof starts / sizeof starts[0]); ++group) {
    const uint32_t start = starts[group];
    Hash hash;
    for (uint32_t tick = start; tick - start < 4000; ++tick) {
      sweepTick = tick;
      UseForeignArithmetic();  // as a slideshow cycle may find it
      RandomValue(0);
      for (int32_t n : {100, 15, 4, 4, 1000000}) hash.Add(static_cast<uint32_t>(RandomValue(n)));
    }
    sweep.groups[Key("random", group, 0)] = hash.value();
  }
}

std::map<std::string, uint64_t> ReadReference(const char* path) {
  std::map<std::string, uint64_t> reference;
  FILE* file = std::fopen(path, "r");
  if (file == nullptr) return reference;
  char kind[16];
  int a = 0, b = 0;
  unsigned long long value = 0;
  while (std::fscanf(file, "%15s %d %d %llx", kind, &a, &b, &value) == 4) {
    reference[Key(kind, a, b)] = value;
  }
  std::fclose(file);
  return reference;
}

void WriteLines(const char* path, const std::vector<std::string>& lines) {
  FILE* file = std::fopen(path, "w");
  ASSERT_NE(file, nullptr) << path;
  for (const std::string& line : lines) std::fprintf(file, "%s\n", line.c_str());
  std::fclose(file);
}

TEST(SameFigures, EveryDrawingAndSlideshowPickMatchesTheNativeBuild) {
  Sweep sweep;
  // On a thread of its own, whose arithmetic foreign code keeps changing.
  std::thread computing([&sweep] {
    SweepDrawings(sweep);
    SweepRandomValues(sweep);
  });
  computing.join();
  ResetSettings();
  ResetCatalogue();
  ResetCurrentString();
  SetDrawingArea(800, 600);

  if (const char* detail = std::getenv("LUMERIN_DRAWING_HASH_DETAIL")) {
    WriteLines(detail, sweep.detail);
  }
  if (const char* out = std::getenv("LUMERIN_WRITE_DRAWING_HASHES")) {
    std::vector<std::string> lines;
    for (const auto& [key, value] : sweep.groups) lines.push_back(key + " " + Hex(value));
    WriteLines(out, lines);
    GTEST_SKIP() << "wrote " << lines.size() << " hashes of " << sweep.drawings << " drawings";
  }

  const std::map<std::string, uint64_t> reference = ReadReference(LUMERIN_DRAWING_HASHES);
  ASSERT_EQ(reference.size(), sweep.groups.size()) << "reference " << LUMERIN_DRAWING_HASHES;
  int differing = 0;
  std::ostringstream which;
  for (const auto& [key, value] : sweep.groups) {
    const auto found = reference.find(key);
    if (found == reference.end() || found->second != value) {
      ++differing;
      which << " [" << key << "]";
    }
  }
  EXPECT_EQ(differing, 0) << "of " << sweep.groups.size() << " groups (" << sweep.drawings
                          << " drawings) differ:" << which.str();
}

}  // namespace
