// Helpers shared by the Windows-layer tests of the dialogs: the settings key of the
// test prefix, the configuration dialog created from the program's own template, and
// reading controls back. Test thread only.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/startup_win.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "tests/unit/settings_values.h"
#include "ui/configure_win.h"

using settings_values::kNames;

inline std::string WindowText(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// Every value of the settings key as raw bytes with its type; empty when the key is missing.
inline std::map<std::string, std::pair<DWORD, std::vector<BYTE>>> StoredSettings() {
  std::map<std::string, std::pair<DWORD, std::vector<BYTE>>> values;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return values;
  }
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameSize = sizeof name;
    BYTE data[1024];
    DWORD dataSize = sizeof data;
    DWORD type = 0;
    if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) {
      break;
    }
    values[name] = {type, std::vector<BYTE>(data, data + dataSize)};
  }
  RegCloseKey(key);
  return values;
}

inline bool StoredDword(const char* name, uint32_t* value) {
  const auto values = StoredSettings();
  const auto found = values.find(name);
  if (found == values.end() || found->second.first != REG_DWORD ||
      found->second.second.size() != 4) {
    return false;
  }
  *value = static_cast<uint32_t>(found->second.second[0]) |
           static_cast<uint32_t>(found->second.second[1]) << 8 |
           static_cast<uint32_t>(found->second.second[2]) << 16 |
           static_cast<uint32_t>(found->second.second[3]) << 24;
  return true;
}

inline void DeleteSettingsKey() { RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath); }

// Writes a whole settings record as the nineteen stored values.
inline void StoreSettings(const SettingsRecord& record) {
  DeleteSettingsKey();
  HKEY key;
  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kSettingsKeyPath, &key), ERROR_SUCCESS);
  const int32_t* fields = reinterpret_cast<const int32_t*>(&record);
  for (int i = 0; i < kSettingsValueCount; ++i) {
    RegSetValueExA(key, kNames[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&fields[i]), 4);
  }
  RegCloseKey(key);
}

// A record with every value in range and none equal to its default.
inline SettingsRecord SampleSettings() {
  SettingsRecord s = {};
  s.NumFractal = 4;  // 16 generations
  s.DefaultMode = 0;
  s.CurPalette = 2;
  s.TimeOut = 37;
  s.LineWidth = 3;
  s.iterFrom = 2;
  s.iterTo = 9;
  s.Angle = 275;
  s.Background = 0x00336699;
  for (int i = 0; i < 10; ++i) s.colors[i] = 0x00102030u + 0x00010101u * static_cast<uint32_t>(i);
  return s;
}

// Tests that own the settings key: it is removed before and after each of them.
class SettingsKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteSettingsKey();
    Settings = SettingsRecord{};
    moduleInstance = GetModuleHandleA(nullptr);
  }
  void TearDown() override { DeleteSettingsKey(); }
};

// The configuration dialog made modeless from the program's template, so that a test
// can send it messages and read it back; destroyed with the object.
struct ConfigureDialog {
  HWND window = nullptr;

  ConfigureDialog() {
    moduleInstance = GetModuleHandleA(nullptr);
    EXPECT_TRUE(RegisterConfigureClasses(moduleInstance));
    window = CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(IDD_CONFIGURE), nullptr,
                                ConfigureDialogProc, 0);
  }
  ~ConfigureDialog() {
    if (window) DestroyWindow(window);
  }
  ConfigureDialog(const ConfigureDialog&) = delete;
  ConfigureDialog& operator=(const ConfigureDialog&) = delete;

  HWND Item(int id) const { return GetDlgItem(window, id); }
  std::string Text(int id) const { return WindowText(Item(id)); }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
  int Selection(int id) const {
    return static_cast<int>(SendMessageA(Item(id), CB_GETCURSEL, 0, 0));
  }
  int Position(int id) const { return static_cast<int>(SendMessageA(Item(id), 0x400, 0, 0)); }

  std::vector<std::string> Items(int id) const {
    std::vector<std::string> items;
    const int count = static_cast<int>(SendMessageA(Item(id), CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      char text[64] = {};
      SendMessageA(Item(id), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      items.push_back(text);
    }
    return items;
  }

  // What a user's pick in a list sends: the new selection, then CBN_SELCHANGE.
  void Choose(int id, int index) const {
    SendMessageA(Item(id), CB_SETCURSEL, index, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Item(id)));
  }

  // What moving a track bar sends: the new position, then the scroll message with `code`.
  void Slide(int id, int position, WORD code, bool vertical = false) const {
    SendMessageA(Item(id), 0x405 /* TBM_SETPOS */, TRUE, position);
    SendMessageA(window, vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, position),
                 reinterpret_cast<LPARAM>(Item(id)));
  }

  void Command(int id, WORD notification = BN_CLICKED) const {
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, notification),
                 reinterpret_cast<LPARAM>(Item(id)));
  }
};
