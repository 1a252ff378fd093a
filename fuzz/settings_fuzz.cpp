// Loading settings from arbitrary value bytes, types and sizes: every field must end in
// its range, and the generations the fixed mode would then draw must fit the buffers.
#include <cstdint>
#include <cstring>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "fuzz/fuzz_input.h"
#include "render/turtle.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

namespace {

// A key whose values come from the fuzzer: present or not, any type, any size.
class FuzzStore : public SettingsStore {
 public:
  explicit FuzzStore(FuzzInput& in) : in_(in), exists_(in.Byte() & 1) {}
  bool OpenExisting() override { return exists_; }
  bool Create() override { return in_.Byte() & 1; }
  bool Read(const char*, uint8_t (&data)[kSettingsValueBytes], uint32_t& type,
            uint32_t& size) override {
    const uint8_t shape = in_.Byte();
    type = shape & 0x0F;        // REG_NONE .. REG_QWORD and beyond
    size = (shape >> 4) & 0x0F;  // 0 .. 15 bytes
    const uint32_t word = in_.Word();
    if (shape & 0x80 && size > kSettingsValueBytes) return false;  // too long to deliver
    const uint32_t delivered = size < kSettingsValueBytes ? size : kSettingsValueBytes;
    std::memcpy(data, &word, delivered);
    return (shape & 0x03) != 0x03;  // sometimes the read fails outright
  }
  void WriteDword(const char*, uint32_t) override {}
  void Close() override {}

 private:
  FuzzInput& in_;
  bool exists_;
};

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  ResetSettings();
  FuzzStore store(in);
  LoadSettingsFrom(store);

  const SettingsRecord& s = Settings;
  Require(s.NumFractal >= 0 && s.NumFractal < kFractalCount);
  Require(s.CurPalette >= 0 && s.CurPalette <= 4);
  Require(s.TimeOut >= 0 && s.TimeOut <= 50);
  Require(s.LineWidth >= 1 && s.LineWidth <= 5);
  Require(s.Angle >= 0 && s.Angle <= 360);
  Require(s.iterTo >= 0 && s.iterTo < FractalCatalogue[s.NumFractal].maxIter);
  Require(s.iterFrom >= 0 && s.iterFrom <= s.iterTo);
  Require((s.Background >> 24) == 0);
  for (uint32_t c : s.colors) Require((c >> 24) == 0);

  // The fixed mode's cycle must grow every generation it draws, on the smallest area.
  SetDrawingArea(1, 1);
  ResetCurrentString();
  for (int g = 0; g <= s.iterTo; ++g) Require(Rewrite());
  Render(0, nullptr);
  return 0;
}
