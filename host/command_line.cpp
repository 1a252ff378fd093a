#include "host/command_line.h"

namespace {

constexpr unsigned char kBlank = 32;

unsigned char Byte(const char* p) { return static_cast<unsigned char>(*p); }

const char* SkipBlanks(const char* p) {
  while (Byte(p) == kBlank) ++p;
  return p;
}

}  // namespace

const char* FindArgumentText(const char* commandLine, NextCharFunction next) {
  const char* p = commandLine;
  if (*p == '"') {
    // Step by characters, not bytes: a double-byte character may end in the quote's byte.
    do {
      p = next(p);
    } while (*p != '\0' && *p != '"');
    if (*p == '"') ++p;
  } else if (Byte(p) > kBlank) {
    // next() returns its argument at the terminator, which is below 33 and ends this.
    while (Byte(p) > kBlank) p = next(p);
  }
  while (Byte(p) >= 1 && Byte(p) <= kBlank) ++p;
  return p;
}

uint32_t ParseHandleNumber(const char* text) {
  uint32_t value = 0;  // unsigned arithmetic wraps modulo 2^32 as intended
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10u + static_cast<uint32_t>(*p - '0');
  }
  return value;
}

ModeDecision ScanSwitch(const char* arguments) {
  const char* p = arguments;
  while (*p == ' ' || *p == '-' || *p == '/') ++p;
  switch (*p) {
    case '\0':
      return {SaverMode::kConfigure, p, 0};
    case 'S':
    case 's':
      return {SaverMode::kFullScreen, p + 1, 0};
    case 'P':
    case 'p':
    case 'L':
    case 'l':
      return {SaverMode::kPreview, SkipBlanks(p + 1), 0};
    case 'C':
    case 'c': {
      ++p;
      uint32_t owner = 0;
      if (*p == ':') {
        ++p;
        owner = ParseHandleNumber(p);
      }
      return {SaverMode::kConfigureOwned, p, owner};
    }
    case 'A':
    case 'a':
      return {SaverMode::kChangePassword, SkipBlanks(p + 1), 0};
    default:
      return {SaverMode::kRefused, p, 0};
  }
}
