#include "settings/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/catalogue.h"
#include "render/palette.h"
#include "settings/settings_store.h"
#include "tests/unit/settings_values.h"

namespace {

using namespace settings_values;

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegDwordBigEndian = 5;
constexpr uint32_t kRegQword = 11;

// A key in memory that answers like the registry: a value longer than the caller's four
// bytes is refused (with the caller's buffer scribbled on, as the registry may leave it),
// a shorter one is delivered with its real size.
class FakeStore : public SettingsStore {
 public:
  struct Value {
    uint32_t type;
    std::vector<uint8_t> bytes;
  };

  bool keyExists = false;
  bool createFails = false;
  std::map<std::string, Value> values;
  std::vector<std::string> log;

  void Fill(const uint32_t (&table)[kSettingsValueCount]) {
    keyExists = true;
    for (int i = 0; i < kSettingsValueCount; ++i) values[kNames[i]] = {kRegDword, Dword(table[i])};
  }

  bool OpenExisting() override {
    log.push_back(keyExists ? "open" : "open failed");
    open_ = keyExists;
    return keyExists;
  }
  bool Create() override {
    log.push_back(createFails ? "create failed" : "create");
    if (createFails) return false;
    keyExists = open_ = true;
    return true;
  }
  bool Read(const char* name, uint8_t (&data)[kSettingsValueBytes], uint32_t& type,
            uint32_t& size) override {
    log.push_back(std::string("read ") + name);
    EXPECT_TRUE(open_);
    auto found = values.find(name);
    if (found == values.end()) return false;
    type = found->second.type;
    size = uint32_t(found->second.bytes.size());
    if (size > sizeof data) {
      std::memset(data, 0xEE, sizeof data);
      return false;
    }
    if (size > 0) std::memcpy(data, found->second.bytes.data(), size);
    return true;
  }
  void WriteDword(const char* name, uint32_t value) override {
    log.push_back(std::string("write ") + name + "=" + std::to_string(value));
    EXPECT_TRUE(open_);
    values[name] = {kRegDword, Dword(value)};
  }
  void Close() override {
    log.push_back("close");
    EXPECT_TRUE(open_);
    open_ = false;
  }

 private:
  bool open_ = false;
};

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    ResetCatalogue();
  }
  void TearDown() override { ResetSettings(); }
};

TEST_F(SettingsTest, ValueNamesAreTheRegistryNamesInRecordOrder) {
  for (int i = 0; i < kSettingsValueCount; ++i) EXPECT_STREQ(kSettingsValueNames[i], kNames[i]);
}

TEST_F(SettingsTest, EachPositionAddressesItsOwnField) {
  SettingsRecord record{};
  int32_t* const named[] = {&record.NumFractal, &record.DefaultMode, &record.CurPalette,
                            &record.TimeOut,    &record.LineWidth,   &record.iterFrom,
                            &record.iterTo,     &record.Angle};
  for (int i = 0; i < kSettingsValueCount; ++i) {
    SCOPED_TRACE(kNames[i]);
    record = SettingsRecord{};
    SetSettingsField(record, i, 0x80000000u + uint32_t(i));
    const uint32_t expected = 0x80000000u + uint32_t(i);
    const uint32_t named_field = i < 8     ? uint32_t(*named[i])
                                 : i == 8  ? record.Background
                                 : i == 19 ? uint32_t(record.Monitors)
                                           : record.colors[i - 9];
    EXPECT_EQ(named_field, expected);
    for (int j = 0; j < kSettingsValueCount; ++j)
      EXPECT_EQ(GetSettingsField(record, j), j == i ? expected : 0u) << kNames[j];
  }
}

TEST_F(SettingsTest, PositionsOutsideTheRecordReadZeroAndWriteNothing) {
  SettingsRecord record{};
  for (int index : {-1, kSettingsValueCount, INT_MAX, INT_MIN}) {
    SetSettingsField(record, index, 0xFFFFFFFF);
    EXPECT_EQ(GetSettingsField(record, index), 0u) << index;
  }
  EXPECT_EQ(Fields(record), std::vector<uint32_t>(kSettingsValueCount, 0));
}

TEST_F(SettingsTest, ResetPutsEveryFieldBackToZero) {
  SetDefaultSettings();
  ResetSettings();
  EXPECT_EQ(Fields(Settings), std::vector<uint32_t>(kSettingsValueCount, 0));
}

TEST_F(SettingsTest, FirstRunDefaultsAreSlideshowOfShrubWithPaletteOne) {
  SetDefaultSettings();
  EXPECT_EQ(Fields(Settings), Values(kDefaults));
  // Heading 0, not the 90 of the entry, and the last generation the entry offers.
  EXPECT_NE(Settings.Angle, FractalCatalogue[13].startAngle);
  EXPECT_EQ(Settings.iterTo, FractalCatalogue[13].maxIter - 1);
  for (int i = 0; i < kPaletteSize; ++i) EXPECT_EQ(colors[i], kBuiltInPalettes[1][i]) << i;
}

TEST_F(SettingsTest, DefaultsReplaceWhateverTheRecordHeld) {
  for (int i = 0; i < kSettingsValueCount; ++i) SetSettingsField(Settings, i, 0xDEADBEEF);
  SetDefaultSettings();
  EXPECT_EQ(Fields(Settings), Values(kDefaults));
}

// Each row stores one value over the defaults (fractal 13, whose entry offers 5
// generations) and gives what sanitising makes of it.
TEST_F(SettingsTest, SingleValuesAreBroughtIntoTheirRange) {
  struct Row {
    int index;
    uint32_t stored;
    uint32_t expected;
  };
  const auto i32 = [](int32_t v) { return uint32_t(v); };
  const Row rows[] = {
      {0, 0, 0},
      {0, 15, 15},
      {0, i32(-1), 0},
      {0, 16, 15},
      {0, i32(INT32_MIN), 0},
      {0, i32(INT32_MAX), 15},
      {1, 0, 0},
      {1, 1, 1},
      {1, 2, 1},
      {1, i32(-1), 1},
      {1, i32(INT32_MIN), 1},
      {2, 0, 0},
      {2, 4, 4},
      {2, 5, 4},
      {2, i32(-3), 0},
      {3, 0, 0},
      {3, 50, 50},
      {3, 51, 50},
      {3, i32(-1), 0},
      {3, i32(INT32_MAX), 50},
      {4, 1, 1},
      {4, 5, 5},
      {4, 0, 1},
      {4, 6, 5},
      {4, i32(-7), 1},
      {5, 4, 4},  // iterFrom up to iterTo (4) stays
      {5, i32(-1), 0},
      {6, 0, 0},
      {6, 4, 4},
      {6, 5, 4},
      {6, i32(-1), 0},
      {6, i32(INT32_MAX), 4},
      {7, 0, 0},
      {7, 360, 360},
      {7, 361, 1},
      {7, 450, 90},
      {7, 720, 0},
      {7, i32(-90), 270},
      {7, i32(-360), 0},
      {7, i32(INT32_MIN), 232},  // -2147483648 = -5965233 * 360 - 128
      {7, i32(INT32_MAX), 127},
      {8, 0x00FFFFFF, 0x00FFFFFF},
      {8, 0xFF123456, 0x00123456},
      {8, 0x01000005, 0x00000005},  // a palette index would not be the colour shown
      {9, 0xFFFFFFFF, 0x00FFFFFF},
      {13, 0x02ABCDEF, 0x00ABCDEF},
      {18, 0x80000001, 0x00000001},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(kNames[row.index]) + " = " + std::to_string(row.stored));
    SetDefaultSettings();
    SetSettingsField(Settings, row.index, row.stored);
    SanitizeSettings();
    std::vector<uint32_t> expected = Values(kDefaults);
    expected[row.index] = row.expected;
    EXPECT_EQ(Fields(Settings), expected);
  }
}

TEST_F(SettingsTest, GenerationRangeFollowsTheEntryAndNeverRunsBackwards) {
  struct Row {
    int32_t numFractal, iterFrom, iterTo;
    int32_t wantFractal, wantFrom, wantTo;
  };
  const Row rows[] = {
      {13, 0, 4, 13, 0, 4},    // fractal 13 offers generations 0 .. 4
      {13, 2, 2, 13, 2, 2},    // one generation drawn again and again
      {13, 0, 9, 13, 0, 4},    // beyond the entry: its last generation
      {4, 0, 15, 4, 0, 15},    // the dragon offers 16 generations
      {4, 3, 16, 4, 3, 15},    //
      {2, 1, 4, 2, 1, 3},      // the flower offers only 4
      {13, 3, 2, 13, 2, 2},    // from above to: brought down to it, so something is drawn
      {13, 7, 9, 13, 4, 4},    // both beyond the entry
      {13, -1, -5, 13, 0, 0},  //
      {99, 0, 99, 15, 0, 5},   // the fractal is clamped first, then its range applies
      {-4, 2, 3, 0, 2, 3},     //
      {-4, 2, 7, 0, 2, 4},     //
      {INT32_MAX, INT32_MAX, INT32_MAX, 15, 5, 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.numFractal) + ": " + std::to_string(row.iterFrom) + " .. " +
                 std::to_string(row.iterTo));
    SetDefaultSettings();
    Settings.NumFractal = row.numFractal;
    Settings.iterFrom = row.iterFrom;
    Settings.iterTo = row.iterTo;
    SanitizeSettings();
    EXPECT_EQ(Settings.NumFractal, row.wantFractal);
    EXPECT_EQ(Settings.iterFrom, row.wantFrom);
    EXPECT_EQ(Settings.iterTo, row.wantTo);
    EXPECT_LE(Settings.iterFrom, Settings.iterTo);
    EXPECT_LT(Settings.iterTo, FractalCatalogue[Settings.NumFractal].maxIter);
  }
}

TEST_F(SettingsTest, ValuesAlreadyInRangeAreLeftAlone) {
  SetDefaultSettings();
  for (int i = 0; i < kSettingsValueCount; ++i) SetSettingsField(Settings, i, kStored[i]);
  SanitizeSettings();
  EXPECT_EQ(Fields(Settings), Values(kStored));
}

std::vector<std::string> FirstRunWrites() {
  std::vector<std::string> writes;
  for (int i = 0; i < kSettingsValueCount; ++i)
    writes.push_back(std::string("write ") + kNames[i] + "=" + std::to_string(kDefaults[i]));
  return writes;
}

TEST_F(SettingsTest, FirstRunWritesTheNineteenDefaultsInOrder) {
  FakeStore store;
  LoadSettingsFrom(store);
  std::vector<std::string> expected = {"open failed", "create"};
  for (const std::string& write : FirstRunWrites()) expected.push_back(write);
  expected.push_back("close");
  EXPECT_EQ(store.log, expected);
  EXPECT_EQ(store.values.size(), size_t(kSettingsValueCount));
  EXPECT_EQ(Fields(Settings), Values(kDefaults));
}

TEST_F(SettingsTest, FirstRunWithoutAKeyOfItsOwnKeepsTheDefaultsInMemory) {
  FakeStore store;
  store.createFails = true;
  LoadSettingsFrom(store);
  EXPECT_EQ(store.log, (std::vector<std::string>{"open failed", "create failed"}));
  EXPECT_TRUE(store.values.empty());
  EXPECT_EQ(Fields(Settings), Values(kDefaults));
}

TEST_F(SettingsTest, StoredValuesAreReadInOrderAndNothingIsWritten) {
  FakeStore store;
  store.Fill(kStored);
  LoadSettingsFrom(store);
  std::vector<std::string> expected = {"open"};
  for (const char* name : kNames) expected.push_back(std::string("read ") + name);
  expected.push_back("close");
  EXPECT_EQ(store.log, expected);
  EXPECT_EQ(Fields(Settings), Values(kStored));
}

TEST_F(SettingsTest, AKeyWithoutValuesLoadsTheDefaultsAndStaysEmpty) {
  FakeStore store;
  store.keyExists = true;
  LoadSettingsFrom(store);
  EXPECT_EQ(Fields(Settings), Values(kDefaults));
  EXPECT_TRUE(store.values.empty());
}

// Every kind of unusable value, at every position: that field keeps its first-run
// default, every other field takes its stored value.
TEST_F(SettingsTest, UnusableValuesKeepTheirDefaultAndSpareTheirNeighbours) {
  struct Kind {
    const char* what;
    bool present;
    uint32_t type;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Kind> kinds = {
      {"missing", false, 0, {}},
      {"text", true, kRegSz, {'1', '2', '3', 0}},
      {"long text", true, kRegSz, std::vector<uint8_t>(40, 'x')},
      {"binary, 4 bytes", true, kRegBinary, Dword(0x7)},
      {"big-endian dword", true, kRegDwordBigEndian, Dword(0x07000000)},
      {"qword", true, kRegQword, {7, 0, 0, 0, 0, 0, 0, 0}},
      {"dword of 2 bytes", true, kRegDword, {7, 0}},
      {"dword of 0 bytes", true, kRegDword, {}},
      {"dword of 8 bytes", true, kRegDword, {7, 0, 0, 0, 7, 0, 0, 0}},
  };
  for (const Kind& kind : kinds) {
    for (int i = 0; i < kSettingsValueCount; ++i) {
      SCOPED_TRACE(std::string(kNames[i]) + " as " + kind.what);
      ResetSettings();
      FakeStore store;
      store.Fill(kStored);
      if (kind.present)
        store.values[kNames[i]] = {kind.type, kind.bytes};
      else
        store.values.erase(kNames[i]);
      const auto before = store.values;
      LoadSettingsFrom(store);
      EXPECT_EQ(Fields(Settings), StoredWithDefaultAt(i));
      EXPECT_EQ(store.values.size(), before.size());
      for (const auto& [name, value] : before) {
        EXPECT_EQ(store.values[name].type, value.type) << name;
        EXPECT_EQ(store.values[name].bytes, value.bytes) << name;
      }
    }
  }
}

TEST_F(SettingsTest, OutOfRangeValuesLoadInRangeWhileTheStoreKeepsThem) {
  FakeStore store;
  store.Fill(kStored);
  for (int i = 0; i < 11; ++i) store.values[kNames[i]] = {kRegDword, Dword(kWild[i])};
  const auto before = store.values;
  LoadSettingsFrom(store);
  EXPECT_EQ(Fields(Settings), Values(kWildLoaded));
  for (const auto& [name, value] : before) EXPECT_EQ(store.values[name].bytes, value.bytes) << name;
}

// A monitor layout is a choice, not a scale: a value that names none falls back to the
// first-run layout rather than to the nearest one.
TEST_F(SettingsTest, AMonitorsValueNamingNoLayoutLoadsAsOneFigureAcrossAll) {
  const struct {
    uint32_t stored;
    int32_t loaded;
  } cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {0xFFFFFFFF, 0}, {0x80000000, 0}, {0x7FFFFFFF, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    FakeStore store;
    store.Fill(kStored);
    store.values["Monitors"] = {kRegDword, Dword(c.stored)};
    LoadSettingsFrom(store);
    EXPECT_EQ(Settings.Monitors, c.loaded);
    EXPECT_EQ(store.values["Monitors"].bytes, Dword(c.stored));
  }
}

TEST_F(SettingsTest, ColoursMatchingNoPaletteLoadUnchangedWhateverThePaletteIndex) {
  for (int32_t palette = 0; palette < kPaletteCount; ++palette) {
    SCOPED_TRACE(palette);
    FakeStore store;
    store.Fill(kStored);
    store.values["CurPalette"] = {kRegDword, Dword(uint32_t(palette))};
    LoadSettingsFrom(store);
    EXPECT_EQ(Settings.CurPalette, palette);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(colors[i], kStored[9 + i]) << i;
  }
}

TEST_F(SettingsTest, SaveWritesTheTwentyValuesInOrderIntoAnExistingKey) {
  FakeStore store;
  store.keyExists = true;
  for (int i = 0; i < kSettingsValueCount; ++i) SetSettingsField(Settings, i, kStored[i]);
  SaveSettingsTo(store);
  std::vector<std::string> expected = {"open"};
  for (int i = 0; i < kSettingsValueCount; ++i)
    expected.push_back(std::string("write ") + kNames[i] + "=" + std::to_string(kStored[i]));
  expected.push_back("close");
  EXPECT_EQ(store.log, expected);
}

TEST_F(SettingsTest, SaveWithoutAKeyNeitherCreatesNorWrites) {
  FakeStore store;
  SetDefaultSettings();
  Settings.TimeOut = 33;
  SaveSettingsTo(store);
  EXPECT_EQ(store.log, std::vector<std::string>{"open failed"});
  EXPECT_FALSE(store.keyExists);
  EXPECT_TRUE(store.values.empty());
  EXPECT_EQ(Settings.TimeOut, 33);
}

TEST_F(SettingsTest, SavedValuesLoadBackInAnotherProcess) {
  FakeStore store;
  LoadSettingsFrom(store);  // first run creates the key
  for (int i = 0; i < kSettingsValueCount; ++i) SetSettingsField(Settings, i, kStored[i]);
  SaveSettingsTo(store);
  ResetSettings();
  LoadSettingsFrom(store);
  EXPECT_EQ(Fields(Settings), Values(kStored));
}

}  // namespace
