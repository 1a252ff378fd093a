"""The harness itself: private prefixes, the registry round trip, exit codes, the
per-program Windows version that the 95/98 tests rely on, the exact key dump and the
resource counts that the long runs rely on."""

from harness import SETTINGS_KEY, driver, find_windows, wait_for
from saver_run import saver_resources


def test_exit_codes_arrive_modulo_256(wine):
    assert wine.run(driver("winprobe"), "exit", "7")[0] == 7
    assert wine.run(driver("winprobe"), "exit", "-1")[0] == 255


def test_registry_round_trip_stays_in_this_prefix(wine):
    assert wine.settings() is None
    wine.set_settings({"NumFractal": 4, "Background": 0x123456})
    assert wine.settings() == {"NumFractal": 4, "Background": 0x123456}
    wine.set_settings({"TimeOut": 3})
    assert wine.settings() == {"TimeOut": 3}


def test_windows_version_per_program(wine):
    assert wine.run(driver("winprobe"), "version")[1].startswith("platform 2 ")
    wine.set_windows_version("winprobe.exe", "win98")
    status, out = wine.run(driver("winprobe"), "version")
    assert status == 0
    assert out.startswith("platform 1 version 4.10"), out


def test_key_dump_shows_values_exactly_as_stored(wine):
    assert wine.dump_key() is None
    wine.set_settings({"NumFractal": "hex(4):01,02", "TimeOut": 5, "Angle": '"90"',
                       "iterTo": "hex(b):07,00,00,00,00,00,00,00"})
    assert sorted(wine.dump_key().splitlines()) == [
        "Angle type 1 size 3: 39 30 00",
        "NumFractal type 4 size 2: 01 02",
        "TimeOut type 4 size 4: 05 00 00 00",
        "iterTo type 11 size 8: 07 00 00 00 00 00 00 00"]


def test_a_running_programs_gdi_objects_and_memory_are_counted(wine):
    wine.start(driver("winprobe"), "window", "20")  # ended with the prefix
    # The process is seen before it has made its window: count once the window is up.
    assert wait_for(lambda: find_windows(wine.display, "Probe"))
    assert wait_for(lambda: wine.run(driver("procstat"), "winprobe.exe")[0] == 0)
    figures = {}

    def counted():
        figures.update(saver_resources(wine, "winprobe.exe"))
        # A window holds at least the stock objects and its class brush.
        return figures["gdi"] > 0

    assert wait_for(counted, timeout=10), figures
    assert figures["private"] > 0, figures


def test_programs_start_with_the_same_address_space_layout_every_time(wine):
    # A heap placed at random may cover the address Wine must map at start-up.
    wine.start(driver("winprobe"), "window", "20")  # ended with the prefix
    assert wait_for(lambda: find_windows(wine.display, "Probe"))
    pids = wine.running("winprobe.exe")
    assert pids
    for pid in pids:
        personality = int(open(f"/proc/{pid}/personality").read(), 16)
        assert personality & 0x0040000, f"{pid} runs with its address space randomised"


def test_the_prefix_server_stays_in_the_folder_the_prefix_was_given(wine):
    # A server that moves to a folder of its own leaves a program that read the first
    # name looking for it where it is not, and that program ends with status 1.
    assert wine.run(driver("winprobe"), "exit", "0")[0] == 0
    assert (wine.prefix / "wineserver").read_text() == wine.server_root.name
    assert [p.name.startswith("server-") for p in wine.server_root.iterdir()] == [True]
