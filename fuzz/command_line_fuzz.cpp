// Reading arbitrary command lines: the argument text behind the program path, in a
// single-byte and in a double-byte code page, the mode switch and the handle numbers.
// Nothing may be read past the terminating zero, every result must point into the line,
// and each step must agree with a plain reading of the rules.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host/command_line.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

unsigned char Byte(const char* p) { return static_cast<unsigned char>(*p); }

// One byte per character. Stepping from the terminator stays on it, as CharNextA does.
const char* ByteStep(const char* p) { return *p != '\0' ? p + 1 : p; }

// A double-byte code page: bytes 0x81 .. 0xFE start a character of two bytes, unless
// the text ends after the first one.
const char* DoubleByteStep(const char* p) {
  if (*p == '\0') return p;
  if (Byte(p) >= 0x81 && Byte(p) <= 0xFE && p[1] != '\0') return p + 2;
  return p + 1;
}

// The argument text as the rules say, for one byte per character.
const char* ExpectedArguments(const char* line) {
  const char* p = line;
  if (*p == '"') {
    const char* quote = std::strchr(p + 1, '"');
    p = quote != nullptr ? quote + 1 : p + std::strlen(p);
  } else if (Byte(p) > 32) {
    while (Byte(p) > 32) ++p;
  }
  while (Byte(p) >= 1 && Byte(p) <= 32) ++p;
  return p;
}

// The value of the leading digits modulo 2^32, by the C library for up to 19 digits.
uint32_t ExpectedHandle(const char* text) {
  size_t digits = 0;
  while (text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == 0) return 0;
  if (digits <= 19) {
    char copy[20];
    std::memcpy(copy, text, digits);
    copy[digits] = '\0';
    return static_cast<uint32_t>(std::strtoull(copy, nullptr, 10));
  }
  uint64_t value = 0;
  for (size_t i = 0; i < digits; ++i) value = (value * 10 + (text[i] - '0')) % (1ull << 32);
  return static_cast<uint32_t>(value);
}

bool Inside(const char* p, const char* text, size_t length) {
  return p >= text && p <= text + length;
}

void CheckSwitch(const char* arguments) {
  const size_t length = std::strlen(arguments);
  const ModeDecision decision = ScanSwitch(arguments);
  Require(Inside(decision.rest, arguments, length));

  const char* letter = arguments + std::strspn(arguments, " -/");
  switch (*letter) {
    case '\0':
      Require(decision.mode == SaverMode::kConfigure && decision.owner == 0);
      break;
    case 'S':
    case 's':
      Require(decision.mode == SaverMode::kFullScreen && decision.owner == 0);
      break;
    case 'P':
    case 'p':
    case 'L':
    case 'l':
      Require(decision.mode == SaverMode::kPreview && decision.owner == 0);
      Require(decision.rest == letter + 1 + std::strspn(letter + 1, " "));
      break;
    case 'A':
    case 'a':
      Require(decision.mode == SaverMode::kChangePassword && decision.owner == 0);
      Require(decision.rest == letter + 1 + std::strspn(letter + 1, " "));
      break;
    case 'C':
    case 'c':
      Require(decision.mode == SaverMode::kConfigureOwned);
      // A number counts only right behind a colon.
      Require(decision.owner == (letter[1] == ':' ? ExpectedHandle(letter + 2) : 0));
      break;
    default:
      Require(decision.mode == SaverMode::kRefused);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A buffer of exactly the line and its terminator: a read past it is a fault.
  std::unique_ptr<char[]> line(new char[size + 1]);
  if (size) std::memcpy(line.get(), data, size);
  line[size] = '\0';
  const size_t length = std::strlen(line.get());

  const char* arguments = FindArgumentText(line.get(), ByteStep);
  Require(arguments == ExpectedArguments(line.get()));

  const char* wide = FindArgumentText(line.get(), DoubleByteStep);
  Require(Inside(wide, line.get(), length));
  Require(*wide == '\0' || Byte(wide) > 32);
  // A double-byte character can only hide a path's end, never make one.
  Require(wide >= arguments);

  CheckSwitch(arguments);
  CheckSwitch(wide);
  CheckSwitch(line.get());
  for (const char* p = line.get(); *p != '\0'; ++p)
    Require(ParseHandleNumber(p) == ExpectedHandle(p));
  return 0;
}
