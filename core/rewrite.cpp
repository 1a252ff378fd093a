#include "core/rewrite.h"

#include <cstring>

#include "core/catalogue.h"
#include "settings/settings.h"

char CurrentString[kStringCapacity];
char NextString[kStringCapacity];

namespace {

struct Production {
  const char* text;
  size_t length;
};

}  // namespace

bool Rewrite() {
  const FractalRecord& entry = FractalEntry(Settings.NumFractal);
  if (CurrentString[0] == '\0') {
    // The axiom field holds at most 39 symbols, far below the capacity.
    const size_t length = strnlen(entry.axiom, sizeof entry.axiom - 1);
    std::memcpy(CurrentString, entry.axiom, length);
    CurrentString[length] = '\0';
    return true;
  }

  // What each byte becomes: brackets and turns copy themselves, the four rewritable
  // symbols their rules; every other byte is dropped (length 0).
  Production table[256];
  for (Production& p : table) p = {"", 0};
  auto rule = [](const char* field, size_t size) {
    return Production{field, strnlen(field, size - 1)};
  };
  table[static_cast<unsigned char>('F')] = rule(entry.ruleF, sizeof entry.ruleF);
  table[static_cast<unsigned char>('X')] = rule(entry.ruleX, sizeof entry.ruleX);
  table[static_cast<unsigned char>('Y')] = rule(entry.ruleY, sizeof entry.ruleY);
  table[static_cast<unsigned char>('b')] = rule(entry.ruleB, sizeof entry.ruleB);
  static const char kCopied[] = "+-[]";
  for (const char* s = kCopied; *s; ++s) table[static_cast<unsigned char>(*s)] = {s, 1};

  const size_t n = CurrentLength();
  const size_t limit = kStringCapacity - 1;  // room for the terminator
  size_t out = 0;
  for (size_t i = 0; i < n; ++i) {
    const Production& p = table[static_cast<unsigned char>(CurrentString[i])];
    if (p.length > limit - out) return false;  // would not fit: keep this generation
    std::memcpy(NextString + out, p.text, p.length);
    out += p.length;
  }
  NextString[out] = '\0';
  std::memcpy(CurrentString, NextString, out + 1);
  return true;
}

void ResetCurrentString() { CurrentString[0] = '\0'; }

size_t CurrentLength() { return strnlen(CurrentString, kStringCapacity - 1); }
