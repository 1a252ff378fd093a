// The settings key in the current user's registry: LoadSettings and SaveSettings, and the
// store they use, which the tests also drive directly.
// Writes Settings; runs on the window's thread (saver window or dialog).
#pragma once

#include <windows.h>

#include "settings/settings_store.h"

// HKEY_CURRENT_USER\Software\Veltrona\Lumerin as a SettingsStore.
class RegistrySettingsStore final : public SettingsStore {
 public:
  RegistrySettingsStore() = default;
  RegistrySettingsStore(const RegistrySettingsStore&) = delete;
  RegistrySettingsStore& operator=(const RegistrySettingsStore&) = delete;
  ~RegistrySettingsStore() override { Close(); }

  bool OpenExisting() override;
  bool Create() override;
  bool Read(const char* name, uint8_t (&data)[kSettingsValueBytes], uint32_t& type,
            uint32_t& size) override;
  void WriteDword(const char* name, uint32_t value) override;
  void Close() override;

 private:
  HKEY key_ = nullptr;
};

// Fills Settings from the key; on the first run (no key) sets the defaults and creates
// the key holding them.
void LoadSettings();

// Writes Settings into the key if it exists; never creates it.
void SaveSettings();
