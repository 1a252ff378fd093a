// Reading the numbers and colours of the tool's arguments. Kept apart from the commands
// so that the fuzzer of the display mode's options builds with them alone.
#include <cstdint>
#include <string>

#include "tools/tool.h"

bool ReadNumber(const std::string& text, long max, long* value) {
  if (text.empty() || text.size() > 9) return false;
  long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v > max) return false;
  *value = v;
  return true;
}

bool ReadColor(const std::string& text, uint32_t* colorref) {
  if (text.size() != 6) return false;
  uint32_t rgb = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    rgb = rgb << 4 | static_cast<uint32_t>(digit);
  }
  *colorref = (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
  return true;
}
