"""The release packages as a Windows user gets them: the zip's contents, and the installer
and uninstaller run silently in a private prefix: where the files land, what the list of
programs shows, which screen saver is selected before, during and after."""

import os
import re
import zipfile
from pathlib import Path

import pytest

from harness import SCR, SETTINGS_KEY, driver, find_windows, wait_for

VERSION = os.environ["LUMERIN_VERSION"]
SETUP = Path(os.environ["LUMERIN_SETUP"])
ZIP = Path(os.environ["LUMERIN_ZIP"])
CHM = Path(os.environ["LUMERIN_CHM"])

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumerin"
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
INSTALLED_SCR = r"C:\windows\system32\Lumerin.scr"
PREVIOUS_SCR = r"C:\windows\system32\previous.scr"


def host_path(wine, windows_path):
    """Where a C: path of the prefix lives on this machine."""
    assert windows_path[:3].upper() == "C:\\", windows_path
    return wine.prefix / "drive_c" / windows_path[3:].replace("\\", "/")


def desktop(wine):
    """The two desktop values that select the screen saver, None when missing."""
    values = wine.query(DESKTOP_KEY) or {}
    return {name: values[name][1] if name in values else None
            for name in ("SCRNSAVE.EXE", "ScreenSaveActive")}


def set_desktop(wine, scrnsave, active):
    """Sets (a string) or deletes (None) the two desktop values."""
    def line(name, value):
        if value is None:
            return f'"{name}"=-'
        return '"{}"="{}"'.format(name, value.replace("\\", "\\\\"))
    wine.import_reg("[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
                    + line("SCRNSAVE.EXE", scrnsave) + "\n" + line("ScreenSaveActive", active)
                    + "\n")


def install(wine, *options):
    status, out = wine.run(SETUP, "/S", *options)
    assert status == 0, out


def uninstall(wine, *options):
    """Runs the uninstall command that the list of programs holds, as Windows would. The
    uninstaller hands over to a copy of itself and returns at once; its last step removes
    its own folder, so that folder's disappearance marks the end."""
    entry = wine.query(UNINSTALL_KEY)
    command = entry["QuietUninstallString"][1]
    match = re.fullmatch(r'"([^"]+)"((?: +\S+)*)', command)
    assert match, command
    program, args = match.group(1), match.group(2).split()
    folder = host_path(wine, entry["InstallLocation"][1])
    status, out = wine.run(program, *args, *options)
    assert status == 0, out
    assert wait_for(lambda: not folder.exists(), timeout=30), "the uninstaller did not finish"


def test_zip_holds_the_saver_its_help_and_a_windows_read_me():
    with zipfile.ZipFile(ZIP) as archive:
        assert sorted(archive.namelist()) == ["Lumerin.chm", "Lumerin.scr", "ReadMe.txt"]
        assert archive.read("Lumerin.scr") == SCR.read_bytes()
        assert archive.read("Lumerin.chm") == CHM.read_bytes()
        readme = archive.read("ReadMe.txt")
    assert readme.count(b"\n") > 20
    assert readme.count(b"\n") == readme.count(b"\r\n"), "every line ends in CR LF"
    text = readme.decode("ascii")
    assert f"Version {VERSION}" in text
    assert f"LumerinSetup-{VERSION}.exe /S /NOACTIVE" in text
    assert "/REMOVESETTINGS" in text
    assert '"Install"' in text
    assert "@" not in text, "a placeholder was left unreplaced"


def test_silent_install_runs_the_saver_and_uninstall_restores_the_previous_one(wine, display):
    set_desktop(wine, PREVIOUS_SCR, "0")
    wine.set_settings({"NumFractal": 4})
    install(wine)

    # Both files where the program computes them: the system directory, as Help does.
    for name, built in (("Lumerin.scr", SCR), ("Lumerin.chm", CHM)):
        status, out = wine.run(driver("sysfile"), name)
        assert status == 0, out
        assert out.strip().lower() == rf"c:\windows\system32\{name}".lower()
        assert host_path(wine, out.strip()).read_bytes() == built.read_bytes()

    entry = wine.query(UNINSTALL_KEY)
    assert entry is not None
    folder = entry["InstallLocation"][1]
    assert {name: entry[name] for name in ("DisplayName", "DisplayVersion", "Publisher",
                                           "UninstallString", "QuietUninstallString",
                                           "DisplayIcon", "NoModify", "NoRepair")} == {
        "DisplayName": ("REG_SZ", "Lumerin screen saver"),
        "DisplayVersion": ("REG_SZ", VERSION),
        "Publisher": ("REG_SZ", "Veltrona"),
        "UninstallString": ("REG_SZ", f'"{folder}\\Uninstall.exe"'),
        "QuietUninstallString": ("REG_SZ", f'"{folder}\\Uninstall.exe" /S'),
        "DisplayIcon": ("REG_SZ", INSTALLED_SCR + ",0"),
        "NoModify": ("REG_DWORD", "0x1"),
        "NoRepair": ("REG_DWORD", "0x1"),
    }
    assert host_path(wine, folder + r"\Uninstall.exe").is_file()
    installed = [SCR, CHM] + [host_path(wine, folder + "\\" + name)
                              for name in ("Uninstall.exe", "ReadMe.txt")]
    size_kb = -(-sum(path.stat().st_size for path in installed) // 1024)
    assert int(entry["EstimatedSize"][1], 16) == size_kb

    assert desktop(wine) == {"SCRNSAVE.EXE": INSTALLED_SCR, "ScreenSaveActive": "1"}
    # Installing again while Lumerin is selected must not take it for the previous saver.
    install(wine)
    assert desktop(wine) == {"SCRNSAVE.EXE": INSTALLED_SCR, "ScreenSaveActive": "1"}

    # The installed program runs as the system would start it, and a key ends it.
    display.xdotool("mousemove", 400, 300)
    saver = wine.start(INSTALLED_SCR, "/s")
    assert wait_for(lambda: find_windows(display, "Screen Saver"), timeout=20), \
        wine.output(saver)
    display.xdotool("key", "a")
    assert saver.wait(20) == 0

    uninstall(wine)
    for name in ("Lumerin.scr", "Lumerin.chm"):
        assert wine.run(driver("sysfile"), name)[0] == 1
    assert wine.query(UNINSTALL_KEY) is None
    assert desktop(wine) == {"SCRNSAVE.EXE": PREVIOUS_SCR, "ScreenSaveActive": "0"}
    kept = wine.settings()
    assert kept is not None and kept["NumFractal"] == 4


def test_noactive_keeps_the_current_choice_and_uninstall_can_remove_settings(wine):
    set_desktop(wine, None, None)
    install(wine, "/NOACTIVE")
    assert wine.run(driver("sysfile"), "Lumerin.scr")[0] == 0
    assert desktop(wine) == {"SCRNSAVE.EXE": None, "ScreenSaveActive": None}

    # An update with the option on selects it; with nothing before, uninstall clears it.
    install(wine)
    assert desktop(wine) == {"SCRNSAVE.EXE": INSTALLED_SCR, "ScreenSaveActive": "1"}
    wine.set_settings({"NumFractal": 4})
    uninstall(wine, "/REMOVESETTINGS")
    assert desktop(wine) == {"SCRNSAVE.EXE": None, "ScreenSaveActive": None}
    assert wine.settings() is None
    assert wine.query(r"HKCU\Software\Veltrona") is None
    assert wine.query(UNINSTALL_KEY) is None


def test_a_saver_chosen_after_installing_survives_the_uninstall(wine):
    set_desktop(wine, PREVIOUS_SCR, "1")
    install(wine)
    other = r"C:\windows\system32\other.scr"
    set_desktop(wine, other, "1")
    uninstall(wine)
    assert desktop(wine) == {"SCRNSAVE.EXE": other, "ScreenSaveActive": "1"}
    assert wine.run(driver("sysfile"), "Lumerin.scr")[0] == 1
