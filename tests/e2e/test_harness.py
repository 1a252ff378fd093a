"""The harness itself: private prefixes, the registry round trip, exit codes, and the
per-program Windows version that the 95/98 tests rely on."""

from harness import SETTINGS_KEY, driver


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
