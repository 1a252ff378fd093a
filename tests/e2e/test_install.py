"""The release packages as a Windows user gets them: the zip's contents, and the installer
and uninstaller run silently in a private prefix of 32-bit Windows and of 64-bit Windows:
where the files land, what the list of programs shows, which screen saver is selected
before, during and after; and a release signed with a certificate made here."""

import json
import os
import re
import shutil
import subprocess
import zipfile
from pathlib import Path
from types import SimpleNamespace

import pytest

from harness import SCR, SETTINGS_KEY, Wine, driver, wait_for
from saver_run import wait_for_saver_window

VERSION = os.environ["LUMERIN_VERSION"]
SETUP = Path(os.environ["LUMERIN_SETUP"])
ZIP = Path(os.environ["LUMERIN_ZIP"])
CHM = Path(os.environ["LUMERIN_CHM"])
SCR64 = Path(os.environ["LUMERIN_SCR64"])
WIN32_DIR = Path(os.environ["LUMERIN_BUILD"])
WIN64_DIR = Path(os.environ["LUMERIN_WIN64_DIR"])
WINE64 = os.environ["LUMERIN_WINE64"]
ROOT = Path(__file__).resolve().parents[2]

# Emulated, a 32-bit process takes about 50 s to start, and a 32-bit prefix never boots:
# there the 64-bit Windows case runs, with few 32-bit starts and patient waits.
EMULATED = os.environ.get("LUMERIN_WINE32_MODE") == "emulated"
RUN_32 = 400 if EMULATED else 60  # seconds for a 32-bit program to run to its end
on_32bit_windows = pytest.mark.skipif(
    EMULATED, reason="32-bit code runs only emulated here, where a 32-bit prefix does not "
    "boot; the installer's 64-bit Windows case runs instead")

UNINSTALL_PATH = r"Microsoft\Windows\CurrentVersion\Uninstall\Lumerin"
UNINSTALL_KEY = "HKLM\\Software\\" + UNINSTALL_PATH
# The same key of a 32-bit program on 64-bit Windows, as 64-bit programs see it.
UNINSTALL_KEY_WOW = "HKLM\\Software\\Wow6432Node\\" + UNINSTALL_PATH
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
INSTALLED_SCR = r"C:\windows\system32\Lumerin.scr"
PREVIOUS_SCR = r"C:\windows\system32\previous.scr"
EARLIER_SCR = r"C:\windows\syswow64\Lumerin.scr"
EARLIER_FOLDER = r"C:\Program Files (x86)\Lumerin"
SIGNER = "Lumerin test signer"


def host_path(wine, windows_path):
    """Where a C: path of the prefix lives on this machine."""
    assert windows_path[:3].upper() == "C:\\", windows_path
    return wine.prefix / "drive_c" / windows_path[3:].replace("\\", "/")


def desktop(wine):
    """The two desktop values that select the screen saver, None when missing."""
    values = wine.query(DESKTOP_KEY) or {}
    return {name: values[name][1] if name in values else None
            for name in ("SCRNSAVE.EXE", "ScreenSaveActive")}


def reg_line(name, value):
    """A value's line in a registry file: a string, a DWORD (int) or a deletion (None)."""
    if value is None:
        return f'"{name}"=-'
    if isinstance(value, int):
        return f'"{name}"=dword:{value:08x}'
    return '"{}"="{}"'.format(name, value.replace("\\", "\\\\").replace('"', '\\"'))


def set_desktop(wine, scrnsave, active):
    """Sets (a string) or deletes (None) the two desktop values."""
    wine.import_reg("[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
                    + reg_line("SCRNSAVE.EXE", scrnsave) + "\n"
                    + reg_line("ScreenSaveActive", active) + "\n")


def install(wine, *options, setup=SETUP):
    status, out = wine.run(setup, "/S", *options, timeout=RUN_32)
    assert status == 0, out


def uninstall(wine, *options, key=UNINSTALL_KEY):
    """Runs the uninstall command that the list of programs holds, as Windows would. The
    uninstaller hands over to a copy of itself and returns at once; its last step removes
    its own folder, so that folder's disappearance marks the end."""
    entry = wine.query(key)
    command = entry["QuietUninstallString"][1]
    match = re.fullmatch(r'"([^"]+)"((?: +\S+)*)', command)
    assert match, command
    program, args = match.group(1), match.group(2).split()
    folder = host_path(wine, entry["InstallLocation"][1])
    status, out = wine.run(program, *args, *options, timeout=RUN_32)
    assert status == 0, out
    assert wait_for(lambda: not folder.exists(), timeout=RUN_32 + 30), \
        "the uninstaller did not finish"


def verify_signature(path, cert):
    """osslsigncode's verdict on a signed file, the test's own certificate trusted."""
    result = subprocess.run(["osslsigncode", "verify", "-CAfile", str(cert), "-in", str(path)],
                            capture_output=True, text=True, timeout=60)
    assert result.returncode == 0, f"{path.name}: {result.stdout}{result.stderr}"
    assert re.search(rf"Subject\s*:\s*/CN={SIGNER}\n", result.stdout), result.stdout


def assert_installed_saver_runs(wine, display):
    """The saver that SCRNSAVE.EXE names starts full screen and a key ends it with 0."""
    display.xdotool("mousemove", 400, 300)
    saver = wine.start(INSTALLED_SCR, "/s")
    # A key pressed before the window has the focus goes elsewhere.
    wait_for_saver_window(wine, saver, timeout=20)
    display.xdotool("key", "a")
    assert saver.wait(20) == 0


def run_binary_checks(tree, scr):
    """Runs the tree's checks of its Lumerin.scr (its scr.* tests) on another file; returns
    how many ran."""
    listing = subprocess.run([os.environ["LUMERIN_CTEST"], "--test-dir", str(tree), "-R",
                              r"^scr\.", "--show-only=json-v1"],
                             capture_output=True, text=True, check=True, timeout=60).stdout
    tests = json.loads(listing)["tests"]
    for test in tests:
        properties = {p["name"]: p["value"] for p in test.get("properties", [])}
        env = dict(os.environ)
        env.update(item.split("=", 1) for item in properties.get("ENVIRONMENT", []))
        env["LUMERIN_SCR"] = str(scr)
        result = subprocess.run(test["command"], env=env, capture_output=True, text=True,
                                cwd=properties.get("WORKING_DIRECTORY", tree), timeout=300)
        assert result.returncode == 0, f"{test['name']} on {scr}:\n{result.stdout}{result.stderr}"
    return len(tests)


@pytest.fixture(scope="module")
def signed(tmp_path_factory):
    """The release as make dist packs it when given a certificate: one made here, as
    PKCS#12 with a password (the PEM files stay for the other form)."""
    root = tmp_path_factory.mktemp("signed")
    key, cert, pkcs12 = root / "key.pem", root / "cert.pem", root / "signer.p12"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", f"/CN={SIGNER}", "-addext", "extendedKeyUsage=codeSigning",
                    "-keyout", str(key), "-out", str(cert)], check=True, capture_output=True)
    subprocess.run(["openssl", "pkcs12", "-export", "-in", str(cert), "-inkey", str(key),
                    "-out", str(pkcs12), "-passout", "pass:test password"], check=True,
                   capture_output=True)
    env = {name: value for name, value in os.environ.items()
           if not name.startswith("LUMERIN_SIGN_")}
    env.update(LUMERIN_SIGN_PKCS12=str(pkcs12), LUMERIN_SIGN_PASSWORD="test password")
    result = subprocess.run([os.environ["LUMERIN_CMAKE"],
                             "-DSETTINGS=" + os.environ["LUMERIN_PACKAGE_SETTINGS"],
                             "-DRELEASE=ON", f"-DOUT={root / 'dist'}", f"-DSTAGE={root / 'stage'}",
                             "-P", str(ROOT / "cmake" / "make-packages.cmake")],
                            env=env, capture_output=True, text=True, timeout=300)
    assert result.returncode == 0, result.stdout + result.stderr
    programs = root / "programs"
    with zipfile.ZipFile(root / "dist" / ZIP.name) as archive:
        archive.extractall(programs)
    return SimpleNamespace(root=root, key=key, cert=cert, setup=root / "dist" / SETUP.name,
                           scr32=programs / "32-bit" / "Lumerin.scr",
                           scr64=programs / "64-bit" / "Lumerin.scr", log=result.stdout)


def test_zip_holds_both_editions_their_help_and_a_windows_read_me():
    with zipfile.ZipFile(ZIP) as archive:
        assert sorted(archive.namelist()) == [
            "32-bit/Lumerin.chm", "32-bit/Lumerin.scr", "64-bit/Lumerin.chm",
            "64-bit/Lumerin.scr", "ReadMe.txt"]
        for edition, built in (("32-bit", SCR), ("64-bit", SCR64)):
            assert archive.read(f"{edition}/Lumerin.scr") == built.read_bytes(), edition
            assert archive.read(f"{edition}/Lumerin.chm") == CHM.read_bytes(), edition
        readme = archive.read("ReadMe.txt")
    assert readme.count(b"\n") > 20
    assert readme.count(b"\n") == readme.count(b"\r\n"), "every line ends in CR LF"
    text = readme.decode("ascii")
    assert f"Version {VERSION}" in text
    assert f"LumerinSetup-{VERSION}.exe /S /NOACTIVE" in text
    assert "/REMOVESETTINGS" in text
    assert '"Install"' in text
    assert "@" not in text, "a placeholder was left unreplaced"
    # Which folder goes where, and the trap of the 32-bit programs' view of System32.
    for words in (r"64-bit Windows, the folder 64-bit", r"Windows, the folder 32-bit",
                  r"C:\Windows\System32", "SysWOW64"):
        assert words in " ".join(text.split()), words


def test_a_release_is_signed_throughout_and_its_programs_pass_their_checks(signed, tmp_path):
    assert "Signed 64-bit/Lumerin.scr" in signed.log and "unsigned" not in signed.log
    for program in (signed.scr32, signed.scr64, signed.setup):
        verify_signature(program, signed.cert)
    # Signing adds to each program: the built ones, unsigned, pass no verification.
    assert subprocess.run(["osslsigncode", "verify", "-CAfile", str(signed.cert), "-in",
                           str(SCR)], capture_output=True).returncode != 0
    assert run_binary_checks(WIN32_DIR, signed.scr32) >= 1
    assert run_binary_checks(WIN64_DIR, signed.scr64) >= 1

    # The other form of certificate and key: PEM files.
    pem_signed = tmp_path / "Lumerin.scr"
    shutil.copyfile(SCR64, pem_signed)
    env = {name: value for name, value in os.environ.items()
           if not name.startswith("LUMERIN_SIGN_")}
    env.update(LUMERIN_SIGN_CERT=str(signed.cert), LUMERIN_SIGN_KEY=str(signed.key))
    subprocess.run([ROOT / "scripts" / "sign-file", pem_signed], env=env, check=True,
                   capture_output=True, timeout=60)
    verify_signature(pem_signed, signed.cert)


def test_64bit_windows_gets_the_64bit_edition_in_place_of_an_earlier_32bit_copy(display,
                                                                                 signed):
    """An earlier version's install on 64-bit Windows (its 32-bit edition in SysWOW64,
    selected, recorded in the list of programs), then the signed release over it without
    touching the selection, then its uninstaller: three 32-bit process starts."""
    wine = Wine(display, template=WIN64_DIR / "wineprefix", loader=WINE64)
    try:
        windows = wine.prefix / "drive_c" / "windows"
        system32, syswow64 = windows / "system32", windows / "syswow64"
        shutil.copyfile(SCR, syswow64 / "Lumerin.scr")
        shutil.copyfile(CHM, syswow64 / "Lumerin.chm")
        earlier = host_path(wine, EARLIER_FOLDER)
        earlier.mkdir(parents=True)
        for name in ("ReadMe.txt", "Uninstall.exe"):
            (earlier / name).write_bytes(b"earlier version")
        record = {"DisplayName": "Lumerin screen saver", "DisplayVersion": "0.9",
                  "InstallLocation": EARLIER_FOLDER,
                  "QuietUninstallString": f'"{EARLIER_FOLDER}\\Uninstall.exe" /S',
                  "PreviousScreenSaver": PREVIOUS_SCR, "PreviousScreenSaveActive": "0",
                  "ReplacedScreenSaver": 1}
        wine.import_reg(f"[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\{UNINSTALL_PATH}]\n"
                        + "".join(reg_line(*item) + "\n" for item in record.items()))
        set_desktop(wine, EARLIER_SCR, "1")

        install(wine, "/NOACTIVE", setup=signed.setup)
        assert (system32 / "Lumerin.scr").read_bytes() == signed.scr64.read_bytes()
        assert (system32 / "Lumerin.chm").read_bytes() == CHM.read_bytes()
        assert sorted(p.name for p in syswow64.glob("Lumerin*")) == []
        # The selection follows the file even with /NOACTIVE: the earlier copy is gone.
        assert desktop(wine) == {"SCRNSAVE.EXE": INSTALLED_SCR, "ScreenSaveActive": "1"}
        entry = wine.query(UNINSTALL_KEY_WOW)
        assert {name: entry[name][1] for name in ("DisplayVersion", "InstallLocation",
                                                  "DisplayIcon", "PreviousScreenSaver")} == {
            "DisplayVersion": VERSION, "InstallLocation": EARLIER_FOLDER,
            "DisplayIcon": INSTALLED_SCR + ",0", "PreviousScreenSaver": PREVIOUS_SCR}
        installed = [system32 / "Lumerin.scr", system32 / "Lumerin.chm",
                     earlier / "ReadMe.txt", earlier / "Uninstall.exe"]
        size_kb = -(-sum(path.stat().st_size for path in installed) // 1024)
        assert int(entry["EstimatedSize"][1], 16) == size_kb
        assert wine.query(UNINSTALL_KEY) is None, "a second entry in the list of programs"
        verify_signature(earlier / "Uninstall.exe", signed.cert)

        # A 64-bit process finds and runs what the selection names, as the system would.
        assert_installed_saver_runs(wine, display)

        uninstall(wine, key=UNINSTALL_KEY_WOW)
        assert sorted(p.name for p in [*system32.glob("Lumerin*"),
                                       *syswow64.glob("Lumerin*")]) == []
        assert wine.query(UNINSTALL_KEY_WOW) is None
        # What was selected before the earlier version came back.
        assert desktop(wine) == {"SCRNSAVE.EXE": PREVIOUS_SCR, "ScreenSaveActive": "0"}
    finally:
        wine.close()


@on_32bit_windows
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
    assert_installed_saver_runs(wine, display)

    uninstall(wine)
    for name in ("Lumerin.scr", "Lumerin.chm"):
        assert wine.run(driver("sysfile"), name)[0] == 1
    assert wine.query(UNINSTALL_KEY) is None
    assert desktop(wine) == {"SCRNSAVE.EXE": PREVIOUS_SCR, "ScreenSaveActive": "0"}
    kept = wine.settings()
    assert kept is not None and kept["NumFractal"] == 4


@on_32bit_windows
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


@on_32bit_windows
def test_a_saver_chosen_after_installing_survives_the_uninstall(wine):
    set_desktop(wine, PREVIOUS_SCR, "1")
    install(wine)
    other = r"C:\windows\system32\other.scr"
    set_desktop(wine, other, "1")
    uninstall(wine)
    assert desktop(wine) == {"SCRNSAVE.EXE": other, "ScreenSaveActive": "1"}
    assert wine.run(driver("sysfile"), "Lumerin.scr")[0] == 1
