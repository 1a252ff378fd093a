"""Whose the configuration dialog is: the window after "C:", else the foreground window;
without any switch, nobody's. Cancel ends the mode with exit code 0."""

import pytest

from harness import SCR, driver, windows_path


@pytest.fixture(scope="module")
def prefix(shared_wine):
    return shared_wine


def owner_report(wine, tail):
    status, out = wine.run(driver("config_owner"), windows_path(SCR), tail, timeout=60)
    assert status == 0, out
    return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)


@pytest.mark.parametrize("tail, owner", [
    (" /c:{hwnd}", "owner_window"),
    (" /C:{hwnd}", "owner_window"),
    (" /c {hwnd}", "front_window"),  # a number without ":" is not read
    (" /c:", "front_window"),
    (" /c:3", "front_window"),       # not a window
    (" /c:abc", "front_window"),
    ("", None),                      # no switch: no owner
    (" / -", None),
])
def test_dialog_owner_and_exit_code(prefix, tail, owner):
    report = owner_report(prefix, tail)
    assert report["foreground"] == report["front_window"]
    assert report["dialog"] == "1", report
    assert report["owner"] == (report[owner] if owner else "0")
    assert report["exit"] == "0"
