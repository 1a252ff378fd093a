"""Screen-saver passwords on the 95/98 family, with stand-ins for the system's password
libraries in the system directory: the check before closing, the quiet time after a
refused password, the screen-saver-running state, the password change (/a), libraries
planted outside the system directory, and a fault inside the running saver.

The stand-ins log to calls.log: "attach <path>" when loaded, "detach free" when freed,
"detach exit" when the process ends with them loaded; the checker "verify ..." when asked
and "end ..." when it answers what the file "answer" says (standins/password_cpl.cpp);
the change library "change ..." for each call.
The screen-saver-running state lives in the wineserver, which is kept running for the
whole file so that the state survives between processes."""

import re
import shutil
import time
from pathlib import Path

import pytest

from harness import DRIVERS, SCR, driver, wait_for, windows_path
from saver_run import fixed_settings, still_running_after, wait_exit, wait_for_saver_window

DESKTOP_KEY = r"HKEY_CURRENT_USER\Control Panel\Desktop"
VERSION_KEY = r"HKEY_CURRENT_USER\Software\Wine\AppDefaults\Lumerin.scr"
STANDINS = DRIVERS / "standins"
REFUSED = 255  # -1, as the exit status arrives
ACCESS_VIOLATION = 0xC0000005
# Enough time for a posted close to have come back through the message loop, and more
# than the 200 ms during which a refused password is not asked for again.
SETTLE_SECONDS = 0.7


class PasswordPrefix:
    """The file's prefix: the saver reports the 95/98 family, the stand-in checker sits in
    the system directory, and the stand-ins log to a folder of the test's own."""

    def __init__(self, wine):
        self.wine = wine
        # The screen-saver-running state is the wineserver's, which lives as long as the
        # prefix (the harness starts it), so it holds for the whole file.
        self.standin_dir = wine.root / "standin"
        self.standin_dir.mkdir()
        wine.set_settings(fixed_settings(6, 0, 0, 0))
        self.system_dir, self.windows_system_dir = self.find_system_dir()
        self.set_family("95_98")
        self.install_checker()

    def find_system_dir(self):
        """The system directory that a 95/98 program sees: its Unix folder and its
        Windows path."""
        self.wine.set_windows_version("password_probe.exe", "win98")
        status, out = self.wine.run(driver("password_probe"), "sysdir")
        match = re.match(r"^([A-Za-z]):\\(.*)$", out.strip())
        assert status == 0 and match and match.group(1).upper() == "C", out
        return (self.wine.prefix / "drive_c" / Path(*match.group(2).split("\\")),
                out.strip())

    def set_family(self, family):
        if family == "95_98":
            self.wine.set_windows_version("Lumerin.scr", "win98")
        else:
            self.wine.import_reg(f"[-{VERSION_KEY}]\n")

    def replace_system_file(self, name, source):
        # The prefix shares its files with the template through hard links: unlink, then copy.
        target = self.system_dir / name
        for existing in self.system_dir.iterdir():
            if existing.name.lower() == name.lower():
                existing.unlink()
        if source is not None:
            shutil.copyfile(source, target)

    def install_checker(self, source=STANDINS / "PASSWORD.CPL"):
        self.replace_system_file("PASSWORD.CPL", source)

    def set_use_password(self, line):
        """Sets "ScreenSaveUsePassword" from a REGEDIT4 data text (dword:..., hex:...,
        "text"), or removes it when line is None."""
        data = "-" if line is None else line
        self.wine.import_reg(f"[{DESKTOP_KEY}]\n\"ScreenSaveUsePassword\"={data}\n")

    def answer(self, text):
        (self.standin_dir / "answer").write_text(text + "\n")

    def clear_log(self):
        (self.standin_dir / "calls.log").unlink(missing_ok=True)

    def log(self):
        path = self.standin_dir / "calls.log"
        return path.read_text().splitlines() if path.exists() else []

    def lines(self, kind):
        return [line for line in self.log() if line.split()[0] == kind]

    def verify_lines(self):
        return self.lines("verify")

    def end_lines(self):
        return self.lines("end")

    def attach_line(self, name):
        """The log line of `name` loaded from the system directory."""
        return f"attach {self.windows_system_dir}\\{name}"

    def loaded_from_system_dir_and_freed(self, name="PASSWORD.CPL"):
        """Whether the log starts with the library's load from the system directory and
        ends with its free before the process ended."""
        log = self.log()
        return (len(log) >= 2 and log[0].lower() == self.attach_line(name).lower()
                and log[-1] == "detach free")

    def env(self, extra=None):
        overrides = self.wine.env()["WINEDLLOVERRIDES"]
        return {"LUMERIN_STANDIN_DIR": windows_path(self.standin_dir),
                "WINEDLLOVERRIDES": f"{overrides};mpr=n,b", **(extra or {})}

    def start_saver(self, program=SCR, cwd=None):
        self.wine.display.xdotool("mousemove", 400, 300)
        process = self.wine.start(program, "/s", env=self.env(), cwd=cwd)
        wait_for_saver_window(self.wine, process)
        return process

    def run(self, program, *args, env=None, cwd=None):
        return self.wine.run(program, *args, env=self.env(env), cwd=cwd, timeout=30)

    def running_state(self):
        status, out = self.wine.run(driver("password_probe"), "running")
        assert status == 0, out
        return int(out.split()[1])

    def set_running_state(self, on):
        status, out = self.wine.run(driver("password_probe"), "setrunning", int(on))
        assert status == 0, out

    def cursor_handle(self):
        status, out = self.wine.run(driver("password_probe"), "cursor")
        assert status == 0, out
        return int(out.split()[4])

    def key(self, name="a"):
        self.wine.display.xdotool("key", name)

    def wait_for_ends(self, count, timeout=10):
        assert wait_for(lambda: len(self.end_lines()) >= count, timeout), self.log()


def end_fields(line):
    """The numbers of an "end" line as a dict."""
    words = line.split()
    return {words[i]: int(words[i + 1]) for i in range(0, len(words) - 1, 2)}


@pytest.fixture(scope="module")
def prefix(shared_wine):
    return PasswordPrefix(shared_wine)


@pytest.fixture
def password(prefix):
    """Each test starts with a password in use, the checker in place, the 95/98 family,
    an empty log and the screen-saver-running state off."""
    prefix.set_family("95_98")
    prefix.install_checker()
    prefix.set_use_password("dword:00000001")
    prefix.answer("1")
    prefix.clear_log()
    prefix.set_running_state(False)
    yield prefix
    prefix.set_running_state(False)


def test_a_refused_password_keeps_the_saver_and_a_request_right_after_asks_nothing(password):
    # The checker shows the arrow cursor while it asks, refuses, and posts the saver a key
    # press just before it answers: that key arrives within 200 ms of the check's end.
    password.answer("0 0 1 1")
    process = password.start_saver()
    assert password.running_state() == 1
    password.key()
    password.wait_for_ends(1)
    assert still_running_after(process, SETTLE_SECONDS)
    assert len(password.verify_lines()) == 1, password.log()
    assert end_fields(password.end_lines()[0])["key_after"] == 1
    assert password.cursor_handle() == 0  # the refusal hid the checker's arrow again

    # Later than 200 ms after the check: asked again; accepted, the saver ends.
    password.answer("1")
    password.key()
    assert wait_exit(process) == 0
    assert len(password.verify_lines()) == 2, password.log()
    window = {line.split()[3] for line in password.verify_lines()}
    assert len(window) == 1  # asked about the saver window each time
    assert password.running_state() == 0
    # Loaded once, by full path, and freed after the saver window was gone.
    assert password.loaded_from_system_dir_and_freed(), password.log()
    assert len(password.lines("attach")) == 1


def test_input_during_the_check_posts_nothing_and_the_pointer_is_measured_afresh(wine):
    # A prefix of its own: the pointer ends this test away from where savers start.
    password = PasswordPrefix(wine)
    password.set_use_password("dword:00000001")
    password.answer("0 1500")  # refuse after a second and a half of handling messages
    process = password.start_saver()
    password.key()
    assert wait_for(lambda: password.verify_lines(), 10), password.log()
    password.key("b")
    wine.display.xdotool("click", "1")
    wine.display.xdotool("mousemove_relative", "50", "40")
    password.wait_for_ends(1)
    end = end_fields(password.end_lines()[0])
    assert end["inputs"] >= 2, end  # the input reached the saver during the check...
    assert end["pending_close"] == 0, end  # ...and asked for no close
    assert still_running_after(process, SETTLE_SECONDS)

    # The refusal took the pointer's new place as the reference: 3 pixels from it close
    # nothing, though the pointer is 93 pixels from where the saver started.
    wine.display.xdotool("mousemove_relative", "3", "0")
    assert still_running_after(process, SETTLE_SECONDS)
    assert len(password.verify_lines()) == 1, password.log()
    password.answer("1")
    wine.display.xdotool("mousemove_relative", "5", "0")
    assert wait_exit(process) == 0
    assert len(password.verify_lines()) == 2, password.log()


@pytest.mark.parametrize("value, in_use", [
    ("dword:00000001", True),
    ("dword:00000100", True),       # any nonzero byte of the four
    ("hex:01,00", True),            # two bytes: the low bytes of the number
    ("hex:00,01", True),
    ('"1"', True),                  # any type: the text "1" is the bytes 0x31 0x00
    ("dword:00000000", False),
    (None, False),                  # no value
    ("hex:00,00", False),
    ('""', False),                  # an empty text is one zero byte
    ("hex:01,00,00,00,00", False),  # longer than four bytes: not read
], ids=["dword_1", "dword_256", "binary_01_00", "binary_00_01", "text_1", "dword_0",
        "missing", "binary_00_00", "empty_text", "binary_five_bytes"])
def test_the_desktop_setting_decides_whether_a_password_is_asked(password, value, in_use):
    password.set_use_password(value)
    # Without a password the state must stay as it was: start it on to see that too.
    password.set_running_state(not in_use)
    process = password.start_saver()
    assert password.running_state() == 1
    password.key()
    assert wait_exit(process) == 0
    if in_use:
        assert len(password.verify_lines()) == 1, password.log()
        assert password.loaded_from_system_dir_and_freed(), password.log()
        assert password.running_state() == 0
    else:
        assert password.log() == []  # the checker was never even loaded
        assert password.running_state() == 1


@pytest.mark.parametrize("checker", ["missing", "without_entry"])
def test_without_a_usable_checker_the_first_key_closes(password, checker):
    # A library without "VerifyScreenSavePwd" is freed again and the state is not touched.
    password.install_checker(None if checker == "missing" else STANDINS / "MPR.DLL")
    password.set_running_state(True)
    process = password.start_saver()
    # The library without the entry was freed again before the saver window came.
    loaded_and_freed = [] if checker == "missing" else [password.attach_line("PASSWORD.CPL"),
                                                        "detach free"]
    assert [line.lower() for line in password.log()] == [l.lower() for l in loaded_and_freed]
    password.key()
    assert wait_exit(process) == 0
    assert [line.lower() for line in password.log()] == [l.lower() for l in loaded_and_freed]
    assert password.running_state() == 1


def test_a_checker_planted_beside_the_program_or_in_the_current_directory_is_never_run(
        password, tmp_path):
    password.install_checker(None)
    program_dir, current_dir = tmp_path / "program", tmp_path / "current"
    for folder in (program_dir, current_dir):
        folder.mkdir()
        shutil.copyfile(STANDINS / "PASSWORD.CPL", folder / "PASSWORD.CPL")
    shutil.copyfile(SCR, program_dir / "Lumerin.scr")
    shutil.copyfile(driver("password_probe"), program_dir / "password_probe.exe")

    # A load by bare name would find either planted file.
    for program, cwd, found in [(driver("password_probe"), current_dir, current_dir),
                                (program_dir / "password_probe.exe", tmp_path, program_dir)]:
        status, out = password.run(program, "loadbare", "PASSWORD.CPL", cwd=cwd)
        expected = windows_path(found / "PASSWORD.CPL").lower()
        assert out.strip().lower() == f"loaded 1 {expected}", out
    password.clear_log()

    process = password.start_saver(program_dir / "Lumerin.scr", cwd=current_dir)
    password.key()
    assert wait_exit(process) == 0
    assert password.log() == []


def test_on_other_families_no_checker_is_loaded_and_the_first_key_closes(password):
    password.set_family("nt")
    password.set_running_state(True)
    process = password.start_saver()
    password.key()
    assert wait_exit(process) == 0
    assert password.log() == []
    assert password.running_state() == 1  # never touched


def test_the_autoplay_query_with_a_password_cancels_autoplay_and_asks(password):
    process = password.start_saver()
    status, out = password.run(driver("poke"), "autoplay")
    assert "result=1" in out, out  # a checker is loaded: cancel the AutoPlay
    assert wait_exit(process) == 0  # the close request that follows was accepted
    assert len(password.verify_lines()) == 1, password.log()


@pytest.fixture
def router(password):
    """The stand-in password-change library in the system directory."""
    password.replace_system_file("MPR.DLL", STANDINS / "MPR.DLL")
    return password


def test_the_password_change_is_handed_to_the_system_with_its_owner(router):
    owner = router.wine.start(driver("password_probe"), "owner", 20)
    assert wait_for(lambda: router.wine.output(owner).startswith("owner "), 10)
    handle = int(router.wine.output(owner).split()[1])

    status, out = router.run(SCR, "/a", handle)
    assert status == 0, out
    # A number that is no window: the foreground window, the owner program's, instead.
    status, out = router.run(SCR, "/a", 3)
    assert status == 0, out
    status, out = router.run(SCR, "/a")
    assert status == 0, out
    # Each run loads the library from the system directory, asks, and frees it again.
    run = [router.attach_line("MPR.DLL").lower(), f"change scrsave owner {handle} 0 0",
           "detach free"]
    assert [line.lower() for line in router.log()] == run * 3


def test_without_the_change_library_the_change_mode_still_ends_with_zero(router):
    status, out = router.run(SCR, "/a", 600, env={"WINEDLLOVERRIDES": "mscoree,mshtml=;winedbg.exe=d;mpr="})
    assert status == 0, out
    assert router.log() == []


def test_on_other_families_the_change_mode_is_refused(router):
    router.set_family("nt")
    status, out = router.run(SCR, "/a", 600)
    assert status == REFUSED, out
    assert router.log() == []


@pytest.mark.parametrize("ending", ["fault", "kill"])
def test_a_fault_in_the_saver_switches_the_running_state_off(password, ending):
    # "kill" ends the saver from outside without its knowledge: the state stays on, which
    # shows that the state seen after a fault is the saver's own doing.
    process = password.start_saver()
    assert password.running_state() == 1
    status, out = password.wine.run(driver("password_probe"), ending)
    assert status == 0, out
    code = wait_exit(process)
    if ending == "fault":
        assert code == ACCESS_VIOLATION & 0xFF  # the fault's code, as the exit status arrives
        assert password.running_state() == 0
    else:
        assert code is not None  # ended; Wine's report of an outside termination varies
        assert password.running_state() == 1
    assert password.verify_lines() == []
