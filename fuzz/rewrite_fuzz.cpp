// Rewriting from arbitrary strings and catalogue indexes: no step may read or write
// outside the buffers or the catalogue, and a step that does not fit keeps the string.
#include <cstdint>
#include <cstring>

#include "core/rewrite.h"
#include "fuzz/fuzz_input.h"
#include "settings/settings.h"

namespace {
char before_step[kStringCapacity];
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  Settings.NumFractal = static_cast<int32_t>(in.Word());
  const unsigned steps = in.Byte() % 24;
  in.String(CurrentString, kStringCapacity);
  for (unsigned i = 0; i < steps; ++i) {
    const size_t before = CurrentLength();
    std::memcpy(before_step, CurrentString, before);
    if (!Rewrite()) {
      if (CurrentLength() != before || std::memcmp(before_step, CurrentString, before) != 0) {
        __builtin_trap();  // a refused step changed the string
      }
      break;
    }
    for (size_t j = 0, n = CurrentLength(); j < n; ++j) {
      if (!std::strchr("FbXY+-[]", CurrentString[j])) __builtin_trap();  // only the alphabet survives
    }
  }
  return 0;
}
