// The configuration file of lumerin saver and lumerin wallpaper, read by the option reader:
// its lines, its sections and the order in which file, section and command line win.
#include <gtest/gtest.h>

#include <string>

#include "core/catalogue.h"
#include "settings/settings.h"
#include "tools/saver_options.h"

namespace {

// The text, read: "" or the reason with its line.
std::string Read(const std::string& text, SaverConfig* config) {
  return ReadSaverConfig(text, config);
}

TEST(SaverConfig, BadLinesAreNamedByNumberWithTheReason) {
  struct Case {
    const char* text;
    const char* refused;
  };
  const Case cases[] = {
      {"fractal = 4\n# a comment\n\npalette = 1  # Autumn\n", ""},
      {"\xef\xbb\xbf"
       "fractal = 4\n",
       ""},  // an editor's byte order mark
      {"fractal = 4\r\nslideshow\r\n[output DP-1]\r\nbackground=203040\r\n", ""},
      {"battery = draw\n[ output  HDMI-A 1 ]\nbattery = pause\n", ""},
      {"fractal = 4\npalette = 1\nfractal = 16\n", "3: bad fractal '16' (expected 0 to 15)"},
      {"colour = 1\n", "1: unknown key 'colour'"},
      {"--fractal = 4\n", "1: unknown key '--fractal'"},
      {"pause = 51\n", "1: bad pause '51' (expected 0 to 50)"},
      {"from = 0\n", "1: bad from '0' (expected a generation from 1)"},
      {"background = #203040\n", "1: background needs a value: background = RRGGBB"},
      {"background = 20304G\n", "1: bad background '20304G' (expected RRGGBB)"},
      {"battery = off\n", "1: bad battery 'off' (expected draw or pause)"},
      {"fractal\n", "1: fractal needs a value: fractal = N"},
      {"fractal =\n", "1: fractal needs a value: fractal = N"},
      {"slideshow = yes\n", "1: slideshow takes no value: write it alone"},
      {"root\n", "1: 'root' is no key of the file: it goes on the command line"},
      {"output = DP-1\n", "1: 'output' is no key: a section [output NAME] is"},
      {"[output]\n", "1: bad section '[output]' (expected [output NAME])"},
      {"[screen DP-1]\n", "1: bad section '[screen DP-1]' (expected [output NAME])"},
      {"[output DP-1\n", "1: bad section '[output DP-1' (expected [output NAME])"},
  };
  for (const Case& c : cases) {
    SaverConfig config;
    EXPECT_EQ(Read(c.text, &config), c.refused) << c.text;
  }
}

TEST(SaverConfig, SectionsHoldTheirOutputsValuesOverTheFilesAndTheCommandLineOverBoth) {
  const std::string text =
      "background = 203040\n"
      "palette = 0\n"
      "fractal = 4\n"
      "battery = draw\n"
      "[output HDMI-A-1]\n"
      "background = 405060\n"
      "battery = pause\n"
      "[output DP-1]\n"
      "slideshow\n";
  SaverConfig config;
  ASSERT_EQ(Read(text, &config), "");
  struct Case {
    const char* output;
    Args args;
    uint32_t background;  // COLORREF: red in the low byte
    int32_t slideshow, palette;
    bool pauseOnBattery;
  };
  const Case cases[] = {
      {"", {"wallpaper"}, 0x403020, 0, 0, false},
      {"HDMI-A-1", {"wallpaper"}, 0x605040, 0, 0, true},
      {"DP-1", {"wallpaper"}, 0x403020, 1, 0, false},
      {"eDP-1", {"wallpaper"}, 0x403020, 0, 0, false},
      {"HDMI-A-1", {"wallpaper", "--background", "102030", "--palette", "3"}, 0x302010, 0, 3, true},
      {"DP-1", {"wallpaper", "--fractal", "2", "--battery", "pause"}, 0x403020, 0, 0, true},
  };
  for (const Case& c : cases) {
    SaverCommand command;
    ASSERT_EQ(
        ReadSaverCommand(c.args, config, c.output, nullptr, &command, SaverCommandKind::kWallpaper),
        "")
        << c.output;
    EXPECT_EQ(Settings.Background, c.background) << c.output;
    EXPECT_EQ(Settings.DefaultMode, c.slideshow) << c.output;
    EXPECT_EQ(Settings.CurPalette, c.palette) << c.output;
    EXPECT_EQ(command.pauseOnBattery, c.pauseOnBattery) << c.output;
  }
  // The saver reads the same file: the wallpaper's battery rule means nothing to it, and
  // its command line is refused as it spells it.
  SaverCommand command;
  EXPECT_EQ(ReadSaverCommand({"saver"}, config, "", nullptr, &command), "");
  EXPECT_FALSE(command.pauseOnBattery);
  EXPECT_EQ(ReadSaverCommand({"saver", "--pause", "60"}, config, "", nullptr, &command),
            "bad --pause '60' (expected 0 to 50)");
  ResetSettings();
}

TEST(SaverConfig, TheFilesGenerationsFitTheFractalTheCommandLinePicks) {
  SaverConfig config;
  ASSERT_EQ(Read("from = 3\nto = 1000\n", &config), "");
  SaverCommand command;
  ASSERT_EQ(ReadSaverCommand({"saver", "--fractal", "4"}, config, "", nullptr, &command), "");
  EXPECT_EQ(Settings.iterFrom, 2);
  EXPECT_EQ(Settings.iterTo, FractalEntry(4).maxIter - 1);
  ResetSettings();
}

}  // namespace
