// Loading and saving the settings record through a store of named 32-bit values: the
// registry in the program, a store made up in memory in tests.
// Writes Settings (and colors); runs on the window's thread, before any drawing thread.
#pragma once

#include <cstdint>

// The value type a settings value must have to be taken, the registry's REG_DWORD.
constexpr uint32_t kSettingsValueType = 4;
constexpr uint32_t kSettingsValueBytes = 4;

// One settings key, opened or created by the store itself and closed by Close.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // Opens the existing key with full access; false when it is missing or refused.
  virtual bool OpenExisting() = 0;
  // Creates the key (or opens it when it exists already); false when that fails.
  virtual bool Create() = 0;
  // Reads value `name` into `data` and never writes past its four bytes. True when the
  // store delivered the whole value; `type` and `size` report what it holds.
  virtual bool Read(const char* name, uint8_t (&data)[kSettingsValueBytes], uint32_t& type,
                    uint32_t& size) = 0;
  // Writes `value` as a four-byte value of kSettingsValueType, little-endian.
  virtual void WriteDword(const char* name, uint32_t value) = 0;
  virtual void Close() = 0;
};

// Fills Settings from the store's key. A value that is missing, of another type or of a
// size other than four bytes leaves its field at the first-run default. When the key
// does not open, the first-run defaults are set and, if the key can be created, written
// into it. What was read is then brought into range (SanitizeSettings); the store keeps
// what it holds.
void LoadSettingsFrom(SettingsStore& store);

// Writes the twenty values of Settings into the store's key if the key exists; a
// missing key is neither created nor written.
void SaveSettingsTo(SettingsStore& store);
