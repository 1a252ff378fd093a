#include "settings/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "settings/settings_win.h"
#include "tests/unit/settings_values.h"

namespace {

using namespace settings_values;

struct StoredValue {
  std::string name;
  DWORD type;
  std::vector<uint8_t> bytes;
};

bool operator==(const StoredValue& a, const StoredValue& b) {
  return a.name == b.name && a.type == b.type && a.bytes == b.bytes;
}

std::ostream& operator<<(std::ostream& out, const StoredValue& value) {
  out << value.name << " type " << value.type << " [";
  for (BYTE byte : value.bytes) out << ' ' << int(byte);
  return out << " ]";
}

bool KeyExists() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

void DeleteKey() { RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath); }

// Every value of the key, sorted by name (the registry's own enumeration order is its
// business).
std::vector<StoredValue> KeyContents() {
  std::vector<StoredValue> values;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return values;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD nameSize = sizeof name;
    BYTE data[256];
    DWORD dataSize = sizeof data;
    DWORD type = REG_NONE;
    if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize) !=
        ERROR_SUCCESS)
      break;
    values.push_back(
        {std::string(name, nameSize), type, std::vector<uint8_t>(data, data + dataSize)});
  }
  RegCloseKey(key);
  std::sort(values.begin(), values.end(),
            [](const StoredValue& a, const StoredValue& b) { return a.name < b.name; });
  return values;
}

std::vector<StoredValue> AsDwords(const uint32_t (&table)[kSettingsValueCount]) {
  std::vector<StoredValue> values;
  for (int i = 0; i < kSettingsValueCount; ++i)
    values.push_back({kNames[i], REG_DWORD, Dword(table[i])});
  std::sort(values.begin(), values.end(),
            [](const StoredValue& a, const StoredValue& b) { return a.name < b.name; });
  return values;
}

void WriteRaw(const char* name, DWORD type, const std::vector<uint8_t>& bytes) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kSettingsKeyPath, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, name, 0, type, bytes.data(), DWORD(bytes.size())), ERROR_SUCCESS);
  RegCloseKey(key);
}

void WriteAll(const uint32_t (&table)[kSettingsValueCount]) {
  for (int i = 0; i < kSettingsValueCount; ++i) WriteRaw(kNames[i], REG_DWORD, Dword(table[i]));
}

// Values no settings field can take: of another type, or DWORDs of the wrong size.
struct UnusableKind {
  const char* what;
  DWORD type;
  std::vector<uint8_t> bytes;
};

const std::vector<UnusableKind>& UnusableKinds() {
  static const std::vector<UnusableKind> kinds = {
      {"short text", REG_SZ, {'7', 0}},
      {"text of 4 bytes", REG_SZ, {'1', '2', '3', 0}},
      {"long text", REG_SZ, std::vector<uint8_t>(64, 'x')},
      {"expandable text", REG_EXPAND_SZ, {'%', 'a', '%', 0}},
      {"binary of 4 bytes", REG_BINARY, {7, 0, 0, 0}},
      {"binary of 16 bytes", REG_BINARY, std::vector<uint8_t>(16, 0x5A)},
      {"qword", REG_QWORD, {7, 0, 0, 0, 0, 0, 0, 0}},
      {"big-endian dword", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 7}},
      {"dword of 2 bytes", REG_DWORD, {7, 0}},
      {"dword of 8 bytes", REG_DWORD, {7, 0, 0, 0, 7, 0, 0, 0}},
  };
  return kinds;
}

class RegistrySettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteKey();
    ASSERT_FALSE(KeyExists());
    ResetSettings();
  }
  void TearDown() override {
    DeleteKey();
    ResetSettings();
  }
};

TEST_F(RegistrySettingsTest, FirstRunWritesTheNineteenDefaultDwords) {
  LoadSettings();
  EXPECT_EQ(Fields(Settings), Values(kDefaults));
  EXPECT_EQ(KeyContents(), AsDwords(kDefaults));
}

TEST_F(RegistrySettingsTest, SecondRunReadsTheKeyBackWithoutRewritingIt) {
  LoadSettings();
  WriteAll(kStored);
  ResetSettings();
  LoadSettings();
  EXPECT_EQ(Fields(Settings), Values(kStored));
  EXPECT_EQ(KeyContents(), AsDwords(kStored));

  ResetSettings();
  LoadSettings();
  EXPECT_EQ(Fields(Settings), Values(kStored));
}

TEST_F(RegistrySettingsTest, AnEmptyKeyLoadsTheDefaultsAndStaysEmpty) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kSettingsKeyPath, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  LoadSettings();
  EXPECT_EQ(Fields(Settings), Values(kDefaults));
  EXPECT_TRUE(KeyContents().empty());
}

TEST_F(RegistrySettingsTest, ColoursMatchingNoPaletteLoadUnchangedWhateverThePaletteIndex) {
  WriteAll(kStored);
  for (DWORD palette = 0; palette < 5; ++palette) {
    SCOPED_TRACE(palette);
    WriteRaw("CurPalette", REG_DWORD, Dword(palette));
    ResetSettings();
    LoadSettings();
    EXPECT_EQ(DWORD(Settings.CurPalette), palette);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(colors[i], kStored[9 + i]) << i;
  }
}

TEST_F(RegistrySettingsTest, SaveWritesTheRecordIntoTheKey) {
  LoadSettings();
  for (int i = 0; i < kSettingsValueCount; ++i) SetSettingsField(Settings, i, kStored[i]);
  SaveSettings();
  EXPECT_EQ(KeyContents(), AsDwords(kStored));
}

TEST_F(RegistrySettingsTest, SaveAfterTheKeyWasDeletedWritesNothingAndDoesNotRecreateIt) {
  LoadSettings();
  DeleteKey();
  ASSERT_FALSE(KeyExists());
  Settings.TimeOut = 33;
  SaveSettings();
  EXPECT_FALSE(KeyExists());
  EXPECT_EQ(Settings.TimeOut, 33);
}

// Each unusable kind at each position: that field keeps its default, every other field
// takes its stored value, and the key keeps what it holds.
TEST_F(RegistrySettingsTest, UnusableValuesKeepTheirDefaultAndSpareTheirNeighbours) {
  for (const UnusableKind& kind : UnusableKinds()) {
    for (int i = 0; i < kSettingsValueCount; ++i) {
      SCOPED_TRACE(std::string(kNames[i]) + " as " + kind.what);
      DeleteKey();
      WriteAll(kStored);
      WriteRaw(kNames[i], kind.type, kind.bytes);
      const std::vector<StoredValue> before = KeyContents();
      ResetSettings();
      LoadSettings();
      EXPECT_EQ(Fields(Settings), StoredWithDefaultAt(i));
      EXPECT_EQ(KeyContents(), before);
    }
  }
}

// The registry reads straight into a buffer between two guards: whatever the value
// holds, nothing beyond the four bytes changes.
TEST_F(RegistrySettingsTest, AReadNeverWritesPastItsFourBytes) {
  for (const UnusableKind& kind : UnusableKinds()) {
    SCOPED_TRACE(kind.what);
    WriteRaw("TimeOut", kind.type, kind.bytes);
    struct {
      BYTE before[16];
      BYTE data[kSettingsValueBytes];
      BYTE after[16];
    } guarded;
    std::memset(&guarded, 0xC3, sizeof guarded);
    RegistrySettingsStore store;
    ASSERT_TRUE(store.OpenExisting());
    uint32_t type = 0;
    uint32_t size = 0;
    const bool read = store.Read("TimeOut", guarded.data, type, size);
    store.Close();
    EXPECT_EQ(type, kind.type);
    // The size is the system's: for a text stored without its terminating zero, the
    // 64-bit Wine reports either the stored size or one more, from run to run.
    const bool text = kind.type == REG_SZ || kind.type == REG_EXPAND_SZ;
    EXPECT_TRUE(size == kind.bytes.size() || (text && size == kind.bytes.size() + 1)) << size;
    EXPECT_EQ(read, kind.bytes.size() <= kSettingsValueBytes);
    for (BYTE byte : guarded.before) EXPECT_EQ(byte, 0xC3);
    for (BYTE byte : guarded.after) EXPECT_EQ(byte, 0xC3);
  }
}

TEST_F(RegistrySettingsTest, OutOfRangeValuesLoadInRangeWhileTheKeyKeepsThem) {
  WriteAll(kStored);
  for (int i = 0; i < 11; ++i) WriteRaw(kNames[i], REG_DWORD, Dword(kWild[i]));
  const std::vector<StoredValue> before = KeyContents();
  LoadSettings();
  EXPECT_EQ(Fields(Settings), Values(kWildLoaded));
  EXPECT_EQ(KeyContents(), before);
}

}  // namespace
