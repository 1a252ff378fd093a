// Loading settings from arbitrary value bytes, types and sizes: every field must end in
// its range, a value that cannot be taken must leave its default, an existing key must
// never be written, a first run must write the twenty values in order, the dialog must
// show what was loaded unchanged, and the generations the fixed mode would then draw
// must fit the buffers.
#include <cstdint>
#include <cstring>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "fuzz/fuzz_input.h"
#include "render/palette.h"
#include "render/turtle.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "ui/dialog_values.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

int IndexOf(const char* name) {
  for (int i = 0; i < kSettingsValueCount; ++i)
    if (std::strcmp(kSettingsValueNames[i], name) == 0) return i;
  __builtin_trap();  // the program asked for a value it does not have
}

// A key whose values come from the fuzzer: present or not, any type, any size.
class FuzzStore : public SettingsStore {
 public:
  explicit FuzzStore(FuzzInput& in) : in_(in), exists_(in.Byte() & 1) {}
  bool OpenExisting() override { return exists_; }
  bool Create() override {
    created_ = in_.Byte() & 1;
    return created_;
  }
  bool Read(const char* name, uint8_t (&data)[kSettingsValueBytes], uint32_t& type,
            uint32_t& size) override {
    Require(exists_);
    const int index = IndexOf(name);
    const uint8_t shape = in_.Byte();
    type = shape & 0x0F;         // REG_NONE .. REG_QWORD and beyond
    size = (shape >> 4) & 0x0F;  // 0 .. 15 bytes
    const uint32_t word = in_.Word();
    if (shape & 0x80 && size > kSettingsValueBytes) return false;  // too long to deliver
    const uint32_t delivered = size < kSettingsValueBytes ? size : kSettingsValueBytes;
    std::memcpy(data, &word, delivered);
    const bool read = (shape & 0x03) != 0x03;  // sometimes the read fails outright
    // The one shape a field may take: a whole four-byte value of the number type.
    if (read && type == kSettingsValueType && size == kSettingsValueBytes) {
      taken[index] = true;
      stored[index] = word;
    }
    return read;
  }
  void WriteDword(const char* name, uint32_t value) override {
    Require(!exists_ && created_);  // an existing key keeps what it holds
    Require(writes < kSettingsValueCount && IndexOf(name) == writes);
    written[writes++] = value;
  }
  void Close() override {}

  bool taken[kSettingsValueCount] = {};
  uint32_t stored[kSettingsValueCount] = {};
  uint32_t written[kSettingsValueCount] = {};
  int writes = 0;

 private:
  FuzzInput& in_;
  bool exists_;
  bool created_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  ResetSettings();
  FuzzStore store(in);
  LoadSettingsFrom(store);

  const SettingsRecord& s = Settings;
  Require(s.NumFractal >= 0 && s.NumFractal < kFractalCount);
  Require(s.DefaultMode == 0 || s.DefaultMode == 1);
  Require(s.CurPalette >= 0 && s.CurPalette <= 4);
  Require(s.TimeOut >= 0 && s.TimeOut <= 50);
  Require(s.LineWidth >= 1 && s.LineWidth <= 5);
  Require(s.Angle >= 0 && s.Angle <= 360);
  Require(s.iterTo >= 0 && s.iterTo < FractalCatalogue[s.NumFractal].maxIter);
  Require(s.iterFrom >= 0 && s.iterFrom <= s.iterTo);

  // Colours are taken as stored (without the high byte, which would make them palette
  // indexes); one that cannot be taken keeps the first-run palette's colour.
  constexpr int kBackground = 8, kFirstColour = 9, kFirstRunPalette = 1;
  const uint32_t background = store.taken[kBackground] ? store.stored[kBackground] & 0xFFFFFF : 0;
  Require(s.Background == background);
  for (int c = 0; c < kPaletteSize; ++c) {
    const int i = kFirstColour + c;
    const uint32_t expected =
        store.taken[i] ? store.stored[i] & 0xFFFFFF : kBuiltInPalettes[kFirstRunPalette][c];
    Require(s.colors[c] == expected);
  }

  // A first run writes all twenty values, as loaded; anything else writes nothing.
  if (store.writes != 0) {
    Require(store.writes == kSettingsValueCount);
    for (int i = 0; i < kSettingsValueCount; ++i)
      Require(store.written[i] == GetSettingsField(s, i));
  }

  // The dialog shows the loaded values as they are: its controls offer the same ranges.
  SettingsRecord shown = s;
  ClampForDialog(shown);
  Require(std::memcmp(&shown, &s, sizeof shown) == 0);

  // The fixed mode's cycle must grow every generation it draws, on the smallest area.
  SetDrawingArea(1, 1);
  ResetCurrentString();
  for (int g = 0; g <= s.iterTo; ++g) Require(Rewrite());
  Render(0, nullptr);
  return 0;
}
