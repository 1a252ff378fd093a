#include "wayland/battery_wayland.h"

#include <systemd/sd-bus.h>
#include <time.h>

#include <cstdint>
#include <cstring>

namespace {

constexpr char kService[] = "org.freedesktop.UPower";
constexpr char kPath[] = "/org/freedesktop/UPower";

// The boolean of a variant, which the reader stands on; false when it holds another type.
bool ReadBoolVariant(sd_bus_message* message, bool* value) {
  if (sd_bus_message_enter_container(message, 'v', "b") <= 0) return false;
  int read = 0;
  const bool good = sd_bus_message_read(message, "b", &read) > 0;
  sd_bus_message_exit_container(message);
  if (good) *value = read != 0;
  return good;
}

}  // namespace

BatteryWatch::~BatteryWatch() { Disconnect(); }

void BatteryWatch::Disconnect() {
  if (bus_ != nullptr) sd_bus_flush_close_unref(bus_);
  bus_ = nullptr;
  owner_.clear();
}

void BatteryWatch::Start() {
  if (sd_bus_open_system(&bus_) < 0) {
    bus_ = nullptr;
    return;
  }
  const int owner = sd_bus_add_match_async(
      bus_, nullptr,
      "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
      "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='org.freedesktop.UPower'",
      OnOwnerChanged, nullptr, this);
  const int changes = sd_bus_add_match_async(
      bus_, nullptr,
      "type='signal',path='/org/freedesktop/UPower',interface='org.freedesktop.DBus.Properties',"
      "member='PropertiesChanged',arg0='org.freedesktop.UPower'",
      OnPropertiesChanged, nullptr, this);
  if (owner < 0 || changes < 0) {
    Disconnect();
    return;
  }
  AskOnBattery();
}

void BatteryWatch::AskOnBattery() {
  if (sd_bus_call_method_async(bus_, nullptr, kService, kPath, "org.freedesktop.DBus.Properties",
                               "Get", OnOnBattery, this, "ss", kService, "OnBattery") < 0)
    Disconnect();
}

int BatteryWatch::OnOnBattery(sd_bus_message* message, void* data, sd_bus_error*) {
  BatteryWatch& watch = *static_cast<BatteryWatch*>(data);
  watch.answered_ = true;
  // An error (no UPower on the bus) leaves mains power.
  if (sd_bus_message_is_method_error(message, nullptr)) return 0;
  bool value = false;
  if (!ReadBoolVariant(message, &value)) return 0;
  const char* sender = sd_bus_message_get_sender(message);
  watch.owner_ = sender != nullptr ? sender : "";
  watch.onBattery_ = value;
  return 0;
}

int BatteryWatch::OnOwnerChanged(sd_bus_message* message, void* data, sd_bus_error*) {
  BatteryWatch& watch = *static_cast<BatteryWatch*>(data);
  const char *name = nullptr, *before = nullptr, *after = nullptr;
  if (sd_bus_message_read(message, "sss", &name, &before, &after) < 0 ||
      std::strcmp(name, kService) != 0)
    return 0;
  // UPower went (mains power from now on) or came (asked at once).
  watch.owner_.clear();
  watch.onBattery_ = false;
  if (after != nullptr && after[0] != '\0') watch.AskOnBattery();
  return 0;
}

int BatteryWatch::OnPropertiesChanged(sd_bus_message* message, void* data, sd_bus_error*) {
  BatteryWatch& watch = *static_cast<BatteryWatch*>(data);
  // Only UPower's own signals count, so that no other client of the bus can pause the
  // figures with a signal on UPower's path.
  const char* sender = sd_bus_message_get_sender(message);
  if (watch.owner_.empty() || sender == nullptr || watch.owner_ != sender) return 0;
  const char* interface = nullptr;
  if (sd_bus_message_read(message, "s", &interface) < 0 ||
      sd_bus_message_enter_container(message, 'a', "{sv}") < 0)
    return 0;
  while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
    const char* name = nullptr;
    if (sd_bus_message_read(message, "s", &name) < 0) return 0;
    bool value = false;
    if (std::strcmp(name, "OnBattery") == 0 && ReadBoolVariant(message, &value)) {
      watch.onBattery_ = value;
    } else if (sd_bus_message_skip(message, "v") < 0) {
      return 0;
    }
    sd_bus_message_exit_container(message);
  }
  sd_bus_message_exit_container(message);
  // A property said to have changed without its value is asked for.
  if (sd_bus_message_enter_container(message, 'a', "s") > 0) {
    const char* name = nullptr;
    while (sd_bus_message_read(message, "s", &name) > 0) {
      if (std::strcmp(name, "OnBattery") == 0) watch.AskOnBattery();
    }
  }
  return 0;
}

int BatteryWatch::fd() const { return bus_ != nullptr ? sd_bus_get_fd(bus_) : -1; }

short BatteryWatch::events() const {
  if (bus_ == nullptr) return 0;
  const int events = sd_bus_get_events(bus_);
  return static_cast<short>(events > 0 ? events : 0);
}

int BatteryWatch::timeoutMs() const {
  uint64_t until = 0;
  if (bus_ == nullptr || sd_bus_get_timeout(bus_, &until) < 0 || until == UINT64_MAX) return -1;
  timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t nowUs =
      static_cast<uint64_t>(now.tv_sec) * 1000000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
  if (until <= nowUs) return 0;
  const uint64_t ms = (until - nowUs + 999) / 1000;
  return ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(ms);
}

bool BatteryWatch::Dispatch() {
  const bool before = onBattery_;
  while (bus_ != nullptr) {
    const int handled = sd_bus_process(bus_, nullptr);
    if (handled < 0) {
      // The bus went away: nothing tells of the battery any more.
      Disconnect();
      onBattery_ = false;
    }
    if (handled <= 0) break;
  }
  return onBattery_ != before;
}
