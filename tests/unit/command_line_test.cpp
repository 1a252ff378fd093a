#include "host/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// One byte per character, as in any single-byte code page.
const char* ByteStep(const char* p) { return *p != '\0' ? p + 1 : p; }

// A double-byte code page in miniature: byte 0x81 starts a two-byte character, whatever
// its second byte is.
const char* DoubleByteStep(const char* p) {
  if (*p == '\0') return p;
  if (static_cast<unsigned char>(*p) == 0x81 && p[1] != '\0') return p + 2;
  return p + 1;
}

TEST(CommandLine, ArgumentTextFollowsTheProgramPath) {
  struct Case {
    const char* line;
    const char* arguments;
  };
  const Case cases[] = {
      {"\"C:\\Program Files\\Lumerin.scr\" /s", "/s"},
      {"\"C:\\Program Files\\Lumerin.scr\"/s", "/s"},
      {"C:\\WINDOWS\\Lumerin.scr /p 600", "/p 600"},
      {"C:\\WINDOWS\\Lumerin.scr", ""},
      {"C:\\WINDOWS\\Lumerin.scr    ", ""},
      {"Lumerin.scr \t \x01\x1f/s", "/s"},
      {"Lumerin.scr /s  /p 5", "/s  /p 5"},
      {" /s", "/s"},  // no program path: arguments from the first non-blank byte
      {"\t/c", "/c"},
      {"", ""},
      {"\"\"", ""},
      {"\"\" /a 7", "/a 7"},
      {"\"C:\\no closing quote /s", ""},
      {"L\xe9vy.scr /c", "/c"},  // bytes above 127 belong to the path
      {"\xe9 /s", "/s"},
      {"\"a b\"\xe9 /s", "\xe9 /s"},  // only bytes 1..32 are skipped after the path
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_STREQ(FindArgumentText(c.line, ByteStep), c.arguments);
  }
}

TEST(CommandLine, QuotedPathIsWalkedByCharactersOfTheCodePage) {
  // With a double-byte code page the quote's byte after 0x81 is part of a character, so
  // the path ends only at the following quote.
  const char line[] = "\"C:\\\x81\"x\" /s";
  EXPECT_STREQ(FindArgumentText(line, DoubleByteStep), "/s");
  EXPECT_STREQ(FindArgumentText(line, ByteStep), "x\" /s");
}

TEST(CommandLine, HandleNumbersAreDecimalModulo2To32) {
  struct Case {
    const char* text;
    uint32_t value;
  };
  const Case cases[] = {
      {"600", 600},
      {"007", 7},
      {"12ab", 12},
      {"", 0},
      {"abc", 0},
      {"-5", 0},
      {" 5", 0},
      {":600", 0},
      {"0x10", 0},
      {"4294967295", 4294967295u},
      {"4294967296", 0},
      {"4294967297", 1},
      {"99999999999", 1215752191u},  // 99999999999 - 23 * 2^32
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseHandleNumber(c.text), c.value);
  }
}

TEST(CommandLine, FirstSwitchChoosesTheMode) {
  struct Case {
    const char* arguments;
    SaverMode mode;
    const char* rest;  // checked for the modes that read it
    uint32_t owner;
  };
  const SaverMode kConfigure = SaverMode::kConfigure;
  const SaverMode kOwned = SaverMode::kConfigureOwned;
  const SaverMode kFullScreen = SaverMode::kFullScreen;
  const SaverMode kPreview = SaverMode::kPreview;
  const SaverMode kPassword = SaverMode::kChangePassword;
  const SaverMode kRefused = SaverMode::kRefused;
  const Case cases[] = {
      {"", kConfigure, "", 0},
      {"/", kConfigure, "", 0},
      {"- / -", kConfigure, "", 0},
      {"/s", kFullScreen, "", 0},
      {"-s", kFullScreen, "", 0},
      {"s", kFullScreen, "", 0},
      {"S", kFullScreen, "", 0},
      {"--/s", kFullScreen, "", 0},
      {"/ s", kFullScreen, "", 0},
      {"/s /p 600", kFullScreen, " /p 600", 0},  // only the first switch counts
      {"/p 600", kPreview, "600", 0},
      {"/p600", kPreview, "600", 0},
      {"/p    600", kPreview, "600", 0},
      {"/P 600", kPreview, "600", 0},
      {"/l 600", kPreview, "600", 0},
      {"/L 600", kPreview, "600", 0},
      {"/p:600", kPreview, ":600", 0},  // the colon is not skipped: the number reads 0
      {"/p", kPreview, "", 0},
      {"/p\t600", kPreview, "\t600", 0},  // a tab is not a blank here
      {"/c:600", kOwned, "600", 600},
      {"/C:12ab", kOwned, "12ab", 12},
      {"/c 600", kOwned, " 600", 0},  // a number without ":" is not read
      {"/c:", kOwned, "", 0},
      {"/c:abc", kOwned, "abc", 0},
      {"/a 600", kPassword, "600", 0},
      {"/A", kPassword, "", 0},
      {"/x", kRefused, "x", 0},
      {"/1", kRefused, "1", 0},
      {"/\ts", kRefused, "\ts", 0},
      {"\xe9", kRefused, "\xe9", 0},
      {"/x /s", kRefused, "x /s", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const ModeDecision decision = ScanSwitch(c.arguments);
    EXPECT_EQ(decision.mode, c.mode);
    EXPECT_STREQ(decision.rest, c.rest);
    EXPECT_EQ(decision.owner, c.owner);
  }
}

TEST(CommandLine, PreviewParentComesFromTheRestOfTheText) {
  struct Case {
    const char* arguments;
    uint32_t parent;
  };
  const Case cases[] = {{"/p 600", 600}, {"/p600", 600}, {"/p   600", 600},
                        {"/p:600", 0},   {"/p", 0},      {"/l 4294967296", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(ParseHandleNumber(ScanSwitch(c.arguments).rest), c.parent);
  }
}

}  // namespace
