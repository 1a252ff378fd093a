// Whether the machine runs on battery, as UPower (org.freedesktop.UPower on the system
// bus, its property OnBattery) says and then follows through its PropertiesChanged
// signals, for the wallpaper's event loop to poll. Speaks D-Bus through sd-bus
// (libsystemd). No system bus, no UPower, or a bus that goes away means mains power, with
// no message. Used by the main thread only.
#pragma once

#include <systemd/sd-bus.h>

#include <string>

class BatteryWatch {
 public:
  BatteryWatch() = default;
  ~BatteryWatch();
  BatteryWatch(const BatteryWatch&) = delete;
  BatteryWatch& operator=(const BatteryWatch&) = delete;

  // Connects to the system bus ($DBUS_SYSTEM_BUS_ADDRESS, else the standard one) and asks
  // UPower. Never waits for the answer: until it comes the machine counts as on mains.
  void Start();

  // What to poll: the bus connection's descriptor (-1 without a bus, which poll skips),
  // the events it waits for, and the longest wait in milliseconds (-1 for no limit).
  int fd() const;
  short events() const;
  int timeoutMs() const;

  // After the poll (whatever it found): handles what arrived. True when onBattery changed.
  bool Dispatch();

  bool onBattery() const { return onBattery_; }
  // Whether the first question had its answer (or could not be asked): until then
  // onBattery is only the guess of mains power.
  bool answered() const { return answered_ || bus_ == nullptr; }

 private:
  static int OnOwnerChanged(sd_bus_message* message, void* data, sd_bus_error* error);
  static int OnPropertiesChanged(sd_bus_message* message, void* data, sd_bus_error* error);
  static int OnOnBattery(sd_bus_message* message, void* data, sd_bus_error* error);
  void AskOnBattery();
  void Disconnect();

  sd_bus* bus_ = nullptr;
  std::string owner_;  // UPower's unique name on the bus, empty while none is known
  bool onBattery_ = false;
  bool answered_ = false;
};
