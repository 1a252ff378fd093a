// Values the settings tests of both layers store and expect, in the record's order.
#pragma once

#include <cstdint>
#include <vector>

#include "settings/settings.h"

namespace settings_values {

inline const char* const kNames[kSettingsValueCount] = {
    "NumFractal", "DefaultMode", "CurPalette", "TimeOut", "LineWidth", "iterFrom", "iterTo",
    "Angle",      "Background",  "Color0",     "Color1",  "Color2",    "Color3",   "Color4",
    "Color5",     "Color6",      "Color7",     "Color8",  "Color9",    "Monitors"};

// The first run: fractal 13 in the slideshow, palette 1 (red 25 .. 250, green 200, blue 100),
// one figure across all monitors.
inline const uint32_t kDefaults[kSettingsValueCount] = {
    13,       1,        1,        20,       2,        0,        4,
    0,        0,        0x64C819, 0x64C832, 0x64C84B, 0x64C864, 0x64C87D,
    0x64C896, 0x64C8AF, 0x64C8C8, 0x64C8E1, 0x64C8FA, 0};

// In range and different from the default in every field; no colour of any palette.
inline const uint32_t kStored[kSettingsValueCount] = {
    4,          0,          3,          7,          5,          2,          9,
    123,        0x00102030, 0x000A0B00, 0x000A0B01, 0x000A0B02, 0x000A0B03, 0x000A0B04,
    0x000A0B05, 0x000A0B06, 0x000A0B07, 0x000A0B08, 0x000A0B09, 2};

// The first eleven values out of range, the rest as kStored ...
inline const uint32_t kWild[11] = {
    40, 7, 9, uint32_t(-5), 0, 30, 20, uint32_t(-30), 0xFF000000, 0xFFFFFFFF, 0x01010101};
// ... and what loading makes of them: fractal 15 offers generations 0 .. 5.
inline const uint32_t kWildLoaded[kSettingsValueCount] = {
    15,         1,          4,          0,          1,          5,          5,
    330,        0,          0x00FFFFFF, 0x00010101, 0x000A0B02, 0x000A0B03, 0x000A0B04,
    0x000A0B05, 0x000A0B06, 0x000A0B07, 0x000A0B08, 0x000A0B09, 2};

inline std::vector<uint8_t> Dword(uint32_t value) {
  return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

inline std::vector<uint32_t> Values(const uint32_t (&table)[kSettingsValueCount]) {
  return std::vector<uint32_t>(table, table + kSettingsValueCount);
}

inline std::vector<uint32_t> Fields(const SettingsRecord& record) {
  std::vector<uint32_t> fields;
  for (int i = 0; i < kSettingsValueCount; ++i) fields.push_back(GetSettingsField(record, i));
  return fields;
}

// What an unusable value at `index` leaves in the record loaded over kStored: its own
// default, and with the default fractal (13, five generations) the stored iterTo 9 is
// beyond the entry.
inline std::vector<uint32_t> StoredWithDefaultAt(int index) {
  std::vector<uint32_t> expected = Values(kStored);
  expected[index] = kDefaults[index];
  if (index == 0) expected[6] = 4;
  return expected;
}

}  // namespace settings_values
