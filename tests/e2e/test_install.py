"""The release packages as a Windows user gets them: the zip's contents, and the installer
and uninstaller run silently in a private prefix of 32-bit Windows and of 64-bit Windows:
where the files land, what the list of programs shows, which screen saver is selected
before, during and after, and that a silent install opens no window and starts no program;
a release signed with a certificate made here; and the winget and Scoop manifests of a
release, held to the rules their schemas state."""

import hashlib
import json
import os
import re
import shutil
import subprocess
import threading
import time
import zipfile
from pathlib import Path
from types import SimpleNamespace

import pytest
import yaml

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


# Wine's own programs, which start with a prefix's first program or on demand, and the
# loaders that start a program (the shell runs scripts/wine-start).
WINE_PROGRAMS = {"explorer.exe", "plugplay.exe", "rpcss.exe", "services.exe", "svchost.exe",
                 "wineboot.exe", "winedevice.exe", "winemenubuilder.exe", "start.exe",
                 "conhost.exe", "wineserver", "wineserver64"}
LOADERS = {"sh", "wine-start", "qemu-i386-static", "wine", "wine64", "wine-preloader",
           "wine64-preloader"}


def program_names(wine):
    """The file names of the Windows programs of the prefix running now, their loaders passed
    over."""
    names = set()
    for pid in wine.running(""):
        try:
            args = [a.decode(errors="replace").strip()
                    for a in Path(f"/proc/{pid}/cmdline").read_bytes().split(b"\0") if a]
        except OSError:
            continue
        while args and re.split(r"[\\/]", args[0])[-1].lower() in LOADERS:
            args.pop(0)
        # Wine shows a Windows program's whole command line as its first argument; what is
        # not a Windows program (a helper of Wine's own launchers, as uname) is passed over.
        program = re.match(r'"?(.+?\.(?:exe|scr|com|cpl))\b', args[0] if args else "",
                           re.IGNORECASE)
        if program:
            names.add(re.split(r"[\\/]", program.group(1))[-1].lower())
    return names


def visible_windows(display):
    return set(display.xdotool("search", "--onlyvisible", "--name", "").stdout.split())


def install(wine, *options, setup=SETUP):
    """Runs the installer silently, as a package manager does. It ends with 0, and while it
    runs it opens no window and starts no program: an unattended install that opened the
    screen saver settings would be turned down by winget's repository."""
    before = visible_windows(wine.display)
    seen = {"windows": set(), "programs": set()}
    finished = threading.Event()

    def watch():
        while True:
            seen["windows"] |= visible_windows(wine.display) - before
            seen["programs"] |= program_names(wine)
            if finished.wait(0.1):
                return

    watcher = threading.Thread(target=watch)
    watcher.start()
    try:
        status, out = wine.run(setup, "/S", *options, timeout=RUN_32)
        time.sleep(0.5)  # a program started as it ended is still there to be seen
    finally:
        finished.set()
        watcher.join()
    assert status == 0, out
    assert seen["windows"] == set(), "the silent install showed a window"
    assert seen["programs"] - WINE_PROGRAMS - {setup.name.lower()} == set()


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


# The package managers' manifests -------------------------------------------------------
#
# The rules below are those the schemas state (winget's manifest schemas 1.12.0 and Scoop's
# app manifest schema), written out as data: "type", "pattern" (a full match), "enum",
# "const", "min"/"max" (lengths of text, counts of lists), "fields" (the only names an
# object may have, each with its rule), "required", "items" (the rule of each element),
# "any" (one of several rules) and "one_of_required" (exactly one of these names present).
# winget's validator also refuses a field its schema does not name, and so do these rules.

RELEASE_URL = "https://downloads.example.org/lumerin/" + VERSION
IDENTIFIER = {"type": str, "max": 128, "pattern": (r'[^.\s\\/:*?"<>|\x01-\x1f]{1,32}'
                                                     r'(\.[^.\s\\/:*?"<>|\x01-\x1f]{1,32}){1,7}')}
PACKAGE_VERSION = {"type": str, "max": 128, "pattern": r'[^\\/:*?"<>|\x01-\x1f]+'}
LOCALE = {"type": str, "max": 20,
          "pattern": r"([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*"}
MANIFEST_VERSION = {"type": str, "const": "1.12.0"}  # what the repository's validation takes
URL = {"type": str, "max": 2048, "pattern": r"[Hh][Tt][Tt][Pp][Ss]?://.+"}
SHA256 = {"type": str, "pattern": r"[A-Fa-f0-9]{64}"}


def text(shortest, longest):
    return {"type": str, "min": shortest, "max": longest}


def listing(item, most, unique=True):
    return {"type": list, "items": item, "max": most, "unique": unique}


ARCHITECTURES = ["x86", "x64", "arm", "arm64", "neutral"]
INSTALLER_TYPES = ["msix", "msi", "appx", "exe", "zip", "inno", "nullsoft", "wix", "burn",
                   "pwa", "portable", "font"]
INSTALLER_COMMON = {
    "InstallerType": {"type": str, "enum": INSTALLER_TYPES},
    "Scope": {"type": str, "enum": ["user", "machine"]},
    "InstallModes": listing({"type": str, "enum": ["interactive", "silent",
                                                   "silentWithProgress"]}, 3),
    "InstallerSwitches": {"type": dict, "fields": {
        name: text(1, 512) for name in ("Silent", "SilentWithProgress", "Interactive",
                                        "InstallLocation", "Log", "Upgrade", "Repair")}},
    "UpgradeBehavior": {"type": str, "enum": ["install", "uninstallPrevious", "deny"]},
    "ElevationRequirement": {"type": str, "enum": ["elevationRequired", "elevationProhibited",
                                                   "elevatesSelf"]},
    "AppsAndFeaturesEntries": listing({"type": dict, "fields": {
        "DisplayName": text(1, 256), "Publisher": text(1, 256),
        "DisplayVersion": text(1, 128)}}, 128),
    "MinimumOSVersion": {"type": str, "pattern": r"\d+(\.\d+){0,3}"},
}
WINGET_RULES = {
    "version": {"type": dict, "fields": {
        "PackageIdentifier": IDENTIFIER, "PackageVersion": PACKAGE_VERSION,
        "DefaultLocale": LOCALE, "ManifestType": {"type": str, "const": "version"},
        "ManifestVersion": MANIFEST_VERSION},
        "required": ["PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType",
                     "ManifestVersion"]},
    "installer": {"type": dict, "fields": {
        "PackageIdentifier": IDENTIFIER, "PackageVersion": PACKAGE_VERSION, **INSTALLER_COMMON,
        "Installers": {"type": list, "min": 1, "max": 1024, "items": {"type": dict, "fields": {
            "Architecture": {"type": str, "enum": ARCHITECTURES}, "InstallerUrl": URL,
            "InstallerSha256": SHA256, **INSTALLER_COMMON},
            "required": ["Architecture", "InstallerUrl", "InstallerSha256"]}},
        "ManifestType": {"type": str, "const": "installer"},
        "ManifestVersion": MANIFEST_VERSION},
        "required": ["PackageIdentifier", "PackageVersion", "Installers", "ManifestType",
                     "ManifestVersion"]},
    "defaultLocale": {"type": dict, "fields": {
        "PackageIdentifier": IDENTIFIER, "PackageVersion": PACKAGE_VERSION,
        "PackageLocale": LOCALE, "Publisher": text(2, 256), "PublisherUrl": URL,
        "PublisherSupportUrl": URL, "PrivacyUrl": URL, "Author": text(2, 256),
        "PackageName": text(2, 256), "PackageUrl": URL, "License": text(3, 512),
        "LicenseUrl": URL, "Copyright": text(3, 512), "CopyrightUrl": URL,
        "ShortDescription": text(3, 256), "Description": text(3, 10000),
        "Moniker": text(1, 40), "Tags": listing(text(1, 40), 16),
        "ReleaseNotes": text(1, 10000), "ReleaseNotesUrl": URL,
        "InstallationNotes": text(1, 10000),
        "ManifestType": {"type": str, "const": "defaultLocale"},
        "ManifestVersion": MANIFEST_VERSION},
        "required": ["PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher",
                     "PackageName", "License", "ShortDescription", "ManifestType",
                     "ManifestVersion"]},
}

SCOOP_HASH = {"type": str, "pattern": (r"[a-fA-F0-9]{64}|(sha1|sha256|sha512|md5):([a-fA-F0-9]"
                                       r"{32}|[a-fA-F0-9]{40}|[a-fA-F0-9]{64}|[a-fA-F0-9]{128})")}
# An address as Scoop downloads it: no "$", which only its autoupdate substitutes.
SCOOP_URI = {"type": str, "pattern": r"[A-Za-z][A-Za-z0-9+.-]*:[^\s$]+"}
SCOOP_TEMPLATE_URI = {"type": str, "pattern": r"[A-Za-z][A-Za-z0-9+.-]*:\S+"}
SCOOP_SCRIPT = {"any": [{"type": str}, {"type": list, "min": 1, "items": {"type": str}}]}
SCOOP_ARCHITECTURE = {"type": dict, "fields": {
    "url": SCOOP_URI, "hash": SCOOP_HASH, "extract_dir": SCOOP_SCRIPT, "bin": SCOOP_SCRIPT,
    "post_install": SCOOP_SCRIPT, "pre_install": SCOOP_SCRIPT, "uninstaller": None,
    "installer": None, "checkver": None, "shortcuts": None, "msi": SCOOP_SCRIPT}}
SCOOP_UPDATE_ARCHITECTURE = {"type": dict, "fields": {
    "url": SCOOP_TEMPLATE_URI, "extract_dir": {"type": str}, "hash": {"type": dict}}}
SCOOP_CHECKVER = {"any": [{"type": str, "min": 1}, {"type": dict, "fields": {
    "github": SCOOP_URI, "url": SCOOP_URI, "re": {"type": str}, "regex": {"type": str},
    "jp": {"type": str, "pattern": r"\$[.\[].*"},
    "jsonpath": {"type": str, "pattern": r"\$[.\[].*"}, "xpath": {"type": str},
    "reverse": {"type": bool}, "replace": {"type": str}, "useragent": {"type": str}}}]}
SCOOP_UNINSTALLER = {"type": dict, "fields": {"args": SCOOP_SCRIPT, "file": {"type": str},
                                               "script": SCOOP_SCRIPT},
                     "one_of_required": ["file", "script"]}
SCOOP_ARCHITECTURE["fields"].update(uninstaller=SCOOP_UNINSTALLER, checkver=SCOOP_CHECKVER)
SCOOP_RULES = {"type": dict, "fields": {
    "##": SCOOP_SCRIPT, "version": {"type": str, "pattern": r"[\w\-.+_]+"},
    "description": {"type": str, "min": 1}, "homepage": SCOOP_URI,
    "license": {"any": [{"type": str, "min": 1}, {"type": dict, "fields": {
        "identifier": {"type": str, "min": 1}, "url": SCOOP_URI}, "required": ["identifier"]}]},
    "notes": SCOOP_SCRIPT, "depends": SCOOP_SCRIPT, "suggest": {"type": dict},
    "url": SCOOP_URI, "hash": SCOOP_HASH, "extract_dir": SCOOP_SCRIPT,
    "architecture": {"type": dict, "fields": {"32bit": SCOOP_ARCHITECTURE,
                                              "64bit": SCOOP_ARCHITECTURE}},
    "pre_install": SCOOP_SCRIPT, "post_install": SCOOP_SCRIPT,
    "installer": {"type": dict}, "uninstaller": SCOOP_UNINSTALLER, "bin": SCOOP_SCRIPT,
    "shortcuts": {"type": list}, "persist": SCOOP_SCRIPT, "env_set": {"type": dict},
    "env_add_path": SCOOP_SCRIPT, "checkver": SCOOP_CHECKVER,
    "autoupdate": {"type": dict, "fields": {
        "architecture": {"type": dict, "fields": {"32bit": SCOOP_UPDATE_ARCHITECTURE,
                                                  "64bit": SCOOP_UPDATE_ARCHITECTURE}},
        "url": SCOOP_TEMPLATE_URI, "extract_dir": {"type": str}, "hash": {"type": dict},
        "note": SCOOP_SCRIPT}}},
    # Scoop's schema needs only the version; its buckets' reviewers want these as well.
    "required": ["version", "description", "homepage", "license"]}


def broken_rules(value, rule, where):
    """What in `value` breaks `rule`, as texts naming the place ("Installers[0].Scope")."""
    if rule is None:
        return []
    if "any" in rule:
        if any(not broken_rules(value, r, where) for r in rule["any"]):
            return []
        return [f"{where}: {value!r} has none of the allowed forms"]
    # YAML's bool is an int too; neither stands for a number or text here.
    if not isinstance(value, rule["type"]) or (isinstance(value, bool)
                                               and rule["type"] is not bool):
        return [f"{where}: {value!r} is not a {rule['type'].__name__}"]
    problems = []
    if "const" in rule and value != rule["const"]:
        problems.append(f"{where}: {value!r} is not {rule['const']!r}")
    if "enum" in rule and value not in rule["enum"]:
        problems.append(f"{where}: {value!r} is not one of {rule['enum']}")
    if "pattern" in rule and not re.fullmatch(rule["pattern"], value):
        problems.append(f"{where}: {value!r} does not match {rule['pattern']}")
    if "min" in rule and len(value) < rule["min"]:
        problems.append(f"{where}: shorter than {rule['min']}")
    if "max" in rule and len(value) > rule["max"]:
        problems.append(f"{where}: longer than {rule['max']}")
    if rule.get("unique") and len({json.dumps(v, sort_keys=True) for v in value}) < len(value):
        problems.append(f"{where}: an element twice")
    for index, item in enumerate(value if "items" in rule else []):
        problems += broken_rules(item, rule["items"], f"{where}[{index}]")
    if "fields" in rule:
        for name, item in value.items():
            if name not in rule["fields"]:
                problems.append(f"{where}.{name}: not a field of this object")
            else:
                problems += broken_rules(item, rule["fields"][name], f"{where}.{name}")
        problems += [f"{where}.{name}: missing" for name in rule.get("required", [])
                     if name not in value]
        present = [name for name in rule.get("one_of_required", []) if name in value]
        if "one_of_required" in rule and len(present) != 1:
            problems.append(f"{where}: needs exactly one of {rule['one_of_required']}")
    return problems


def sha256(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


def winget_problems(folder):
    """What winget's validation would refuse in the manifests of `folder`, and what does not
    match this release: the versions, the files' addresses and hashes."""
    manifests = {}
    for path in sorted(folder.iterdir()):
        data = yaml.safe_load(path.read_text(encoding="utf-8"))
        kind = data.get("ManifestType") if isinstance(data, dict) else None
        if kind not in WINGET_RULES or kind in manifests:
            return [f"{path.name}: not one manifest of each kind ({kind!r})"]
        manifests[kind] = (path.name, data)
    if sorted(manifests) != sorted(WINGET_RULES):
        return [f"the kinds {sorted(manifests)}, not {sorted(WINGET_RULES)}"]
    problems = []
    for kind, (name, data) in manifests.items():
        problems += broken_rules(data, WINGET_RULES[kind], name)
    if problems:
        return problems
    version, installer, locale = (manifests[kind][1] for kind in ("version", "installer",
                                                                  "defaultLocale"))
    identifier = version["PackageIdentifier"]
    expected_names = {"version": f"{identifier}.yaml", "installer": f"{identifier}.installer.yaml",
                      "defaultLocale": f"{identifier}.locale.{version['DefaultLocale']}.yaml"}
    problems += [f"{name}: should be named {expected_names[kind]}"
                 for kind, (name, _) in manifests.items() if name != expected_names[kind]]
    for kind, (name, data) in manifests.items():
        if (data["PackageIdentifier"], data["PackageVersion"]) != (identifier, VERSION):
            problems.append(f"{name}: {data['PackageIdentifier']} {data['PackageVersion']}, "
                            f"not {identifier} {VERSION}")
    if locale["PackageLocale"] != version["DefaultLocale"]:
        problems.append("the default locale's manifest is not of the default locale")
    if (installer.get("InstallerType"), installer.get("Scope")) != ("nullsoft", "machine"):
        problems.append("the installer is not a machine-wide nullsoft one")
    entries = installer["Installers"]
    if sorted(e["Architecture"] for e in entries) != ["x64", "x86"]:
        problems.append("not one installer entry for x86 and one for x64")
    for entry in entries:
        if entry["InstallerUrl"] != f"{RELEASE_URL}/{SETUP.name}":
            problems.append(f"{entry['Architecture']}: the address {entry['InstallerUrl']}")
        if entry["InstallerSha256"].lower() != sha256(SETUP):
            problems.append(f"{entry['Architecture']}: not the installer's SHA-256")
    return problems


def scoop_problems(path):
    """What Scoop's schema refuses in the manifest at `path`, and what does not match this
    release: the zip's address, hash and folders, and the screen saver it selects."""
    data = json.loads(path.read_text(encoding="utf-8"))
    problems = broken_rules(data, SCOOP_RULES, path.name)
    if problems:
        return problems
    if data["version"] != VERSION:
        problems.append(f"version {data['version']}, not {VERSION}")
    architectures = data.get("architecture", {})
    if sorted(architectures) != ["32bit", "64bit"]:
        problems.append("not the 32-bit and the 64-bit edition")
    with zipfile.ZipFile(ZIP) as archive:
        names = archive.namelist()
    for name, edition in architectures.items():
        if edition.get("url") != f"{RELEASE_URL}/{ZIP.name}":
            problems.append(f"{name}: the address {edition.get('url')}")
        if str(edition.get("hash", "")).lower() != sha256(ZIP):
            problems.append(f"{name}: not the zip's SHA-256")
        if f"{edition.get('extract_dir')}/Lumerin.scr" not in names:
            problems.append(f"{name}: no Lumerin.scr in {edition.get('extract_dir')!r}")
        update = data.get("autoupdate", {}).get("architecture", {}).get(name, {})
        if (update.get("url", "").replace("$version", VERSION) != edition.get("url")
                or update.get("extract_dir") != edition.get("extract_dir")):
            problems.append(f"{name}: the autoupdate does not lead to this release's zip")
    if "checkver" not in data:
        problems.append("no checkver")
    script = "\n".join(data.get("post_install", []))
    if "SCRNSAVE.EXE" not in script or "$dir\\Lumerin.scr" not in script:
        problems.append("post_install does not select the installed Lumerin.scr")
    removal = "\n".join(data.get("uninstaller", {}).get("script", []))
    if not re.search(r"if \(.*-contains \$named\)[^}]*Remove-ItemProperty[^}]*SCRNSAVE\.EXE",
                     removal):
        problems.append("the uninstaller does not remove only its own SCRNSAVE.EXE")
    return problems


@pytest.fixture(scope="module")
def manifests(tmp_path_factory):
    """The manifests make dist RELEASE_URL=... writes, for this tree's packages."""
    dist = tmp_path_factory.mktemp("manifests")
    for package in (ZIP, SETUP):
        (dist / package.name).symlink_to(package)
    result = subprocess.run([os.environ["LUMERIN_CMAKE"],
                             "-DSETTINGS=" + os.environ["LUMERIN_PACKAGE_SETTINGS"],
                             f"-DDIST={dist}", f"-DRELEASE_URL={RELEASE_URL}/", "-P",
                             str(ROOT / "cmake" / "make-manifests.cmake")],
                            capture_output=True, text=True, timeout=60)
    assert result.returncode == 0, result.stdout + result.stderr
    return dist


def test_the_release_manifests_keep_the_schemas_rules_and_name_these_very_files(manifests):
    assert sorted(p.name for p in (manifests / "winget").iterdir()) == [
        "Veltrona.Lumerin.installer.yaml", "Veltrona.Lumerin.locale.en-US.yaml",
        "Veltrona.Lumerin.yaml"]
    assert winget_problems(manifests / "winget") == []
    assert scoop_problems(manifests / "scoop" / "lumerin.json") == []


VERSION_FILE = ("winget", "Veltrona.Lumerin.yaml")
INSTALLER_FILE = ("winget", "Veltrona.Lumerin.installer.yaml")
LOCALE_FILE = ("winget", "Veltrona.Lumerin.locale.en-US.yaml")
SCOOP_FILE = ("scoop", "lumerin.json")
# Manifests that a validator refuses or that would install something else, each with a
# word of the problem that must be found.
SPOILT = {
    "an identifier without its publisher": (
        *VERSION_FILE, lambda m: m.update(PackageIdentifier="Lumerin"),
        "PackageIdentifier"),
    "an identifier with a space": (
        *LOCALE_FILE,
        lambda m: m.update(PackageIdentifier="Veltrona.Lumerin Saver"), "PackageIdentifier"),
    "a version that YAML reads as a number": (
        *VERSION_FILE, lambda m: m.update(PackageVersion=1.5),
        "PackageVersion"),
    "another manifest version": (
        *VERSION_FILE, lambda m: m.update(ManifestVersion="1.10.0"),
        "ManifestVersion"),
    "an installer entry without its hash": (
        *INSTALLER_FILE,
        lambda m: m["Installers"][0].pop("InstallerSha256"), "InstallerSha256"),
    "a hash of 63 digits": (
        *INSTALLER_FILE,
        lambda m: m["Installers"][1].update(InstallerSha256="A" * 63), "InstallerSha256"),
    "a hash of another file": (
        *INSTALLER_FILE,
        lambda m: m["Installers"][1].update(InstallerSha256="A" * 64), "SHA-256"),
    "an address that is not http": (
        *INSTALLER_FILE,
        lambda m: m["Installers"][0].update(InstallerUrl="ftp://example.org/setup.exe"),
        "InstallerUrl"),
    "a scope the schema does not know": (
        *INSTALLER_FILE, lambda m: m.update(Scope="system"), "Scope"),
    "an installer type the schema does not know": (
        *INSTALLER_FILE, lambda m: m.update(InstallerType="nsis"), "InstallerType"),
    "the x64 entry gone": (
        *INSTALLER_FILE, lambda m: m["Installers"].pop(), "x86 and one for x64"),
    "a misspelt field": (
        *LOCALE_FILE, lambda m: m.update(Lisence="Freeware"),
        "Lisence"),
    "a licence of two letters": (
        *LOCALE_FILE, lambda m: m.update(License="PD"),
        "License"),
    "a short description past 256 characters": (
        *LOCALE_FILE,
        lambda m: m.update(ShortDescription="x" * 257), "ShortDescription"),
    "the same tag twice": (
        *LOCALE_FILE, lambda m: m["Tags"].append("fractal"),
        "Tags"),
    "no publisher": (
        *LOCALE_FILE, lambda m: m.pop("Publisher"),
        "Publisher"),
    "Scoop: no licence": (*SCOOP_FILE, lambda m: m.pop("license"), "license"),
    "Scoop: a version with a space": (
        *SCOOP_FILE, lambda m: m.update(version="1.1 beta"), "version"),
    "Scoop: a field of its own": (
        *SCOOP_FILE, lambda m: m.update(descripton="x"), "descripton"),
    "Scoop: a hash of another file": (
        *SCOOP_FILE, lambda m: m["architecture"]["64bit"].update(hash="0" * 64),
        "SHA-256"),
    "Scoop: a hash of 65 digits": (
        *SCOOP_FILE, lambda m: m["architecture"]["32bit"].update(hash="0" * 65),
        "hash"),
    "Scoop: a variable in a download address": (
        *SCOOP_FILE,
        lambda m: m["architecture"]["32bit"].update(url=RELEASE_URL + "/Lumerin-$version.zip"),
        "url"),
    "Scoop: the wrong edition's folder": (
        *SCOOP_FILE, lambda m: m["architecture"]["32bit"].update(extract_dir="x86"),
        "Lumerin.scr"),
    "Scoop: an uninstaller with a file and a script": (
        *SCOOP_FILE, lambda m: m["uninstaller"].update(file="remove.cmd"),
        "exactly one"),
    "Scoop: an uninstaller that always removes the screen saver": (
        *SCOOP_FILE,
        lambda m: m["uninstaller"].update(script=[
            "Remove-ItemProperty -Path 'HKCU:\\Control Panel\\Desktop' -Name 'SCRNSAVE.EXE'"]),
        "only its own"),
    "Scoop: an empty post_install": (
        *SCOOP_FILE, lambda m: m.update(post_install=[]), "post_install"),
}


@pytest.mark.parametrize("what", SPOILT)
def test_a_manifest_a_validator_refuses_fails_the_checks(manifests, tmp_path, what):
    tool, name, spoil, word = SPOILT[what]
    copy_ = tmp_path / "copy"
    shutil.copytree(manifests / tool, copy_)
    path = copy_ / name
    if tool == "winget":
        data = yaml.safe_load(path.read_text(encoding="utf-8"))
        spoil(data)
        path.write_text(yaml.safe_dump(data, sort_keys=False), encoding="utf-8")
        problems = winget_problems(copy_)
    else:
        data = json.loads(path.read_text(encoding="utf-8"))
        spoil(data)
        path.write_text(json.dumps(data, indent=4), encoding="utf-8")
        problems = scoop_problems(path)
    assert any(word in problem for problem in problems), problems

