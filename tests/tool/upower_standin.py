"""A stand-in UPower on a private system bus: dbus-daemon with a configuration of its own,
and a service (python3-dbus) that owns org.freedesktop.UPower, answers for its property
OnBattery and says when it changes through PropertiesChanged, as UPower does. Programs
find the bus through DBUS_SYSTEM_BUS_ADDRESS (the `env` of the fixture).

Run as a program, this file is the service: the bus's address is its argument, and each
line "battery" or "mains" on its standard input changes the power source."""
import contextlib
import os
import subprocess
import sys
import tempfile
from pathlib import Path

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path={socket}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
"""


class StandIn:
    """The private bus's environment, and the stand-in UPower on it (None until started)."""

    def __init__(self, folder, address):
        self.folder = folder
        self.env = {"DBUS_SYSTEM_BUS_ADDRESS": address}
        self.address = address
        self.service = None

    def start_upower(self, on_battery=False):
        self.service = subprocess.Popen(
            [sys.executable, __file__, self.address, "battery" if on_battery else "mains"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        assert self.service.stdout.readline() == "ready\n"

    def set_on_battery(self, on_battery):
        self.service.stdin.write("battery\n" if on_battery else "mains\n")
        self.service.stdin.flush()
        assert self.service.stdout.readline() == "changed\n"

    def stop_upower(self):
        if self.service is not None and self.service.poll() is None:
            self.service.stdin.close()
            self.service.wait(10)
        self.service = None


@contextlib.contextmanager
def system_bus():
    """A system bus of the test's own, with no UPower on it until start_upower."""
    with tempfile.TemporaryDirectory(prefix="lumerin-bus-") as name:
        folder = Path(name)
        socket = folder / "system_bus_socket"
        (folder / "bus.conf").write_text(BUS_CONFIG.format(socket=socket))
        daemon = subprocess.Popen(["dbus-daemon", "--nofork", "--nosyslog", "--print-address",
                                   f"--config-file={folder / 'bus.conf'}"],
                                  stdout=subprocess.PIPE, text=True)
        address = daemon.stdout.readline().strip()
        standin = StandIn(folder, address)
        try:
            assert address.startswith("unix:"), address
            yield standin
        finally:
            standin.stop_upower()
            daemon.terminate()
            daemon.wait(10)


def serve(address, source):
    import dbus
    import dbus.service
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib

    interface, properties = "org.freedesktop.UPower", "org.freedesktop.DBus.Properties"

    class UPower(dbus.service.Object):
        def __init__(self, bus):
            super().__init__(bus, "/org/freedesktop/UPower")
            self.on_battery = source == "battery"

        @dbus.service.method(properties, in_signature="ss", out_signature="v")
        def Get(self, name, prop):
            if name != interface or prop != "OnBattery":
                raise dbus.exceptions.DBusException(
                    "no such property", name="org.freedesktop.DBus.Error.UnknownProperty")
            return dbus.Boolean(self.on_battery)

        @dbus.service.method(properties, in_signature="s", out_signature="a{sv}")
        def GetAll(self, name):
            return {"OnBattery": dbus.Boolean(self.on_battery)} if name == interface else {}

        @dbus.service.signal(properties, signature="sa{sv}as")
        def PropertiesChanged(self, name, changed, invalidated):
            pass

    loop = GLib.MainLoop()
    bus = dbus.bus.BusConnection(address, mainloop=DBusGMainLoop())
    upower = UPower(bus)
    owned = dbus.service.BusName(interface, bus)

    def on_line(stream, _condition):
        line = stream.readline()
        if not line:
            loop.quit()
            return False
        upower.on_battery = line.strip() == "battery"
        # Another property changes with it, as UPower's own signals carry several.
        upower.PropertiesChanged(interface, {"LidIsClosed": dbus.Boolean(False),
                                             "OnBattery": dbus.Boolean(upower.on_battery)},
                                 dbus.Array([], signature="s"))
        print("changed", flush=True)
        return True

    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, on_line)
    print("ready", flush=True)
    loop.run()
    del owned


if __name__ == "__main__":
    serve(sys.argv[1], sys.argv[2])
