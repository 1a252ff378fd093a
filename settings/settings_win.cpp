#include "settings/settings_win.h"

#include "settings/settings.h"

bool RegistrySettingsStore::OpenExisting() {
  Close();
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
    return false;
  key_ = key;
  return true;
}

bool RegistrySettingsStore::Create() {
  Close();
  HKEY key = nullptr;
  if (RegCreateKeyA(HKEY_CURRENT_USER, kSettingsKeyPath, &key) != ERROR_SUCCESS) return false;
  key_ = key;
  return true;
}

bool RegistrySettingsStore::Read(const char* name, uint8_t (&data)[kSettingsValueBytes],
                                 uint32_t& type, uint32_t& size) {
  DWORD valueType = REG_NONE;
  DWORD valueSize = sizeof data;
  const bool read = key_ != nullptr && RegQueryValueExA(key_, name, nullptr, &valueType, data,
                                                        &valueSize) == ERROR_SUCCESS;
  type = valueType;
  size = valueSize;
  return read;
}

void RegistrySettingsStore::WriteDword(const char* name, uint32_t value) {
  if (key_ == nullptr) return;
  const BYTE data[4] = {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
  RegSetValueExA(key_, name, 0, REG_DWORD, data, sizeof data);
}

void RegistrySettingsStore::Close() {
  if (key_ == nullptr) return;
  RegCloseKey(key_);
  key_ = nullptr;
}

void LoadSettings() {
  RegistrySettingsStore store;
  LoadSettingsFrom(store);
}

void SaveSettings() {
  RegistrySettingsStore store;
  SaveSettingsTo(store);
}
