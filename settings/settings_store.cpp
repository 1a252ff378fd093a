#include "settings/settings_store.h"

#include "settings/settings.h"

namespace {

// The stored form is little-endian whatever the host's byte order.
uint32_t DecodeLittleEndian(const uint8_t (&data)[kSettingsValueBytes]) {
  return uint32_t{data[0]} | uint32_t{data[1]} << 8 | uint32_t{data[2]} << 16 |
         uint32_t{data[3]} << 24;
}

void WriteAll(SettingsStore& store) {
  for (int i = 0; i < kSettingsValueCount; ++i)
    store.WriteDword(kSettingsValueNames[i], GetSettingsField(Settings, i));
}

}  // namespace

void LoadSettingsFrom(SettingsStore& store) {
  // Every field starts from its first-run default, so a value that cannot be taken falls
  // back to it.
  SetDefaultSettings();
  if (store.OpenExisting()) {
    for (int i = 0; i < kSettingsValueCount; ++i) {
      // The store reads into this buffer, never into the record: a value that is too long
      // or of another type cannot reach a field or its neighbours.
      uint8_t data[kSettingsValueBytes] = {};
      uint32_t type = 0;
      uint32_t size = 0;
      if (store.Read(kSettingsValueNames[i], data, type, size) && type == kSettingsValueType &&
          size == kSettingsValueBytes)
        SetSettingsField(Settings, i, DecodeLittleEndian(data));
    }
    store.Close();
  } else if (store.Create()) {
    WriteAll(store);
    store.Close();
  }
  SanitizeSettings();
}

void SaveSettingsTo(SettingsStore& store) {
  if (!store.OpenExisting()) return;
  WriteAll(store);
  store.Close();
}
