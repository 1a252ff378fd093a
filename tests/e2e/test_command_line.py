"""The command line as the system's screen-saver machinery writes it: which switch
starts which mode, and the exit codes of the lines that are refused."""

import pytest

from harness import SCR, driver, windows_path
from saver_run import fixed_settings, wait_exit, wait_for_saver_window

REFUSED = 255  # -1, as the exit status arrives


@pytest.fixture(scope="module")
def saver_prefix(shared_wine):
    shared_wine.set_settings(fixed_settings(6, 0, 0, 0))
    return shared_wine


def run_tail(wine, tail):
    """Runs the saver with the command line "<path>"<tail>; returns its exit status."""
    status, out = wine.run(driver("launch"), windows_path(SCR), tail, timeout=30)
    return status


@pytest.mark.parametrize("tail", [
    " /p",            # no parent number
    " /p:600",        # ":" is not skipped after P, so the number reads 0
    " /p 0",
    " /p abc",
    " /l",
    " /p\t600",       # a tab is not a blank: no number
    " /x",
    " /1",
    " -x /s",         # only the first switch counts
    " /\ts",
    " \u00e9",
    " /a",            # password change outside the 95/98 family
    " /a 600",
    "/a",
])
def test_refused_command_lines_end_with_minus_one(saver_prefix, tail):
    assert run_tail(saver_prefix, tail) == REFUSED


def test_preview_of_a_number_that_is_no_window_is_refused(saver_prefix):
    # Wine's window handles are even numbers well above 0x10000.
    assert run_tail(saver_prefix, " /p 3") == REFUSED
    assert run_tail(saver_prefix, " /p 4294967297") == REFUSED


@pytest.mark.parametrize("tail", [" /s", " -s", " s", " S", " --/s", " / s", "/s",
                                  "   /s   /p 5", " /S extra words"])
def test_switches_that_start_the_full_screen_saver(saver_prefix, tail):
    wine = saver_prefix
    wine.display.xdotool("mousemove", 400, 300)
    launcher = wine.start(driver("launch"), windows_path(SCR), tail)
    wait_for_saver_window(wine, launcher)
    wine.display.xdotool("key", "a")
    assert wait_exit(launcher) == 0


def test_password_change_on_the_95_98_family_ends_with_zero(shared_wine):
    shared_wine.set_windows_version("Lumerin.scr", "win98")
    try:
        status, out = shared_wine.run(SCR, "/a", "600", timeout=30)
        assert status == 0, out
    finally:
        shared_wine.import_reg(
            "[-HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\Lumerin.scr]\n")
