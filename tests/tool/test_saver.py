"""lumerin saver, the Linux display mode: bad input, its option file, drawing into a
window it is given, and the real XScreenSaver daemon starting and ending it."""
import os
import re
import pwd
import shutil
import signal
import subprocess
import tempfile
import time
import xml.etree.ElementTree as ElementTree
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
OPTION_FILE = ROOT / "packaging" / "lumerin.xml"
# Palette 1 ("Autumn"), the first run's: pen i is (25 + 25 i, 200, 100).
AUTUMN = [(25 + 25 * i, 200, 100) for i in range(10)]
ISLAND = 6  # generation 0 (shown as 1) is four lines along the margin
NO_DISPLAY = "lumerin: cannot open the X display\n"


def tool():
    return os.environ["LUMERIN_TOOL"]


def run(*args, display=None, extra_env=None):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "XSCREENSAVER_WINDOW")}
    if display:
        env["DISPLAY"] = display
    env.update(extra_env or {})
    return subprocess.run([tool(), *map(str, args)], env=env, capture_output=True, text=True,
                          timeout=30)


def segments(entry, generation, width, height):
    """The drawing pass's lines as (pen, start, end), from lumerin render --ops."""
    ops = run("render", entry, generation, "--size", f"{width}x{height}", "--angle", "0", "--ops")
    lines, at = [], None
    for words in map(str.split, ops.stdout.splitlines()):
        if words[0] == "move":
            at = (int(words[1]), int(words[2]))
        else:
            end = (int(words[2]), int(words[3]))
            lines.append((int(words[1]), at, end))
            at = end
    return lines


def wait_for(condition, seconds, step=0.02):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(step)
    return condition()


@pytest.fixture(scope="module")
def display():
    """A private Xvfb on the first free display of 60 .. 79."""
    for number in range(60, 80):
        if Path(f"/tmp/.X{number}-lock").exists():
            continue
        server = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "800x600x24",
                                   "-nolisten", "tcp", "-noreset"], stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                  start_new_session=True)
        socket = Path(f"/tmp/.X11-unix/X{number}")
        if wait_for(lambda: socket.exists() or server.poll() is not None, 10) and \
                server.poll() is None:
            yield f":{number}"
            server.terminate()
            server.wait(10)
            return
    pytest.fail("no free X display in 60 .. 79")


@pytest.fixture
def xlib(display):
    from Xlib import display as xdisplay
    connection = xdisplay.Display(display)
    yield connection
    connection.close()


def colour_at(window, x, y):
    from Xlib import X
    data = window.get_image(x, y, 1, 1, X.ZPixmap, 0xFFFFFFFF).data
    return data[2], data[1], data[0]


def shows(window, lines):
    """Whether each line's first pixel has its pen's colour (1-pixel pens draw it)."""
    return all(colour_at(window, *start) == AUTUMN[pen] for pen, start, _ in lines)


# Bad input --------------------------------------------------------------------------------
@pytest.mark.parametrize("args, message", [
    (["saver", "--bogus"], "unknown option '--bogus' (try 'lumerin saver --help')"),
    (["saver", "7"], "unexpected argument '7'"),
    (["saver", "--pause"], "--pause needs a value"),
    (["saver", "--fractal", "16"], "bad --fractal '16' (expected 0 to 15)"),
    (["saver", "--fractal", "-1"], "bad --fractal '-1' (expected 0 to 15)"),
    (["saver", "--pause", "5x"], "bad --pause '5x' (expected 0 to 50)"),
    (["saver", "--width", "0"], "bad --width '0' (expected 1 to 5)"),
    (["saver", "--width", "6"], "bad --width '6' (expected 1 to 5)"),
    (["saver", "--angle", "361"], "bad --angle '361' (expected 0 to 360)"),
    (["saver", "--palette", "5"], "bad --palette '5' (expected 0 to 4)"),
    (["saver", "--background", "12345G"], "bad --background '12345G' (expected RRGGBB)"),
    (["saver", "--from", "0"], "bad --from '0' (expected 1 to 16)"),
    (["saver", "--fractal", "2", "--to", "5"],
     "bad --to '5' (fractal 2 has generations 1 to 4)"),
    (["saver", "--to", "17"], "bad --to '17' (expected 1 to 16)"),
    (["saver", "--fractal", "4", "--from", "3", "--to", "2"], "--from 3 is after --to 2"),
    (["saver", "--window-id", "0x12G"],
     "bad --window-id '0x12G' (expected a window id, decimal or 0x hexadecimal, not 0)"),
    (["saver", "--window-id", "4294967296"],
     "bad --window-id '4294967296' (expected a window id, decimal or 0x hexadecimal, not 0)"),
    (["saver", "--root", "--window-id", "5"], "--root and --window-id exclude each other"),
    (["saver", "--slideshow", "--fractal", "1"], "--slideshow and --fractal exclude each other"),
    (["--root", "--width", "9"], "bad --width '9' (expected 1 to 5)"),
])
def test_bad_input_is_one_line_and_exit_2_before_any_display_is_opened(args, message):
    # No DISPLAY: had the program got as far as X, it would have said so instead.
    result = run(*args)
    assert (result.returncode, result.stderr, result.stdout) == (2, f"lumerin: {message}\n", "")


def test_a_bad_window_from_xscreensaver_is_refused():
    result = run("saver", "--root", extra_env={"XSCREENSAVER_WINDOW": "window"})
    assert (result.returncode, result.stderr) == (
        2, "lumerin: bad $XSCREENSAVER_WINDOW 'window' "
           "(expected a window id, decimal or 0x hexadecimal, not 0)\n")


def test_a_window_id_that_names_no_window_is_refused(xlib, display):
    unused = xlib.screen().root.create_window(0, 0, 10, 10, 0, 0)
    unused.destroy()
    xlib.sync()
    result = run("saver", "--window-id", hex(unused.id), display=display)
    assert (result.returncode, result.stderr) == (2, f"lumerin: {hex(unused.id)} is not a window\n")


# The option file --------------------------------------------------------------------------
def option_file_arguments():
    """Every argument list xscreensaver-settings can make from the option file's widgets."""
    screensaver = ElementTree.parse(OPTION_FILE).getroot()
    command = [a for c in screensaver.iter("command") for a in c.get("arg").split()]
    choices = []
    for number in screensaver.iter("number"):
        for value in ("low", "default", "high"):
            choices.append(number.get("arg").replace("%", number.get(value)).split())
    for select in screensaver.iter("select"):
        choices += [o.get("arg-set").split() for o in select.iter("option") if o.get("arg-set")]
    return screensaver, command, choices


def test_option_file_offers_exactly_the_options_the_saver_reads():
    screensaver, command, choices = option_file_arguments()
    assert (screensaver.get("name"), screensaver.get("_label")) == ("lumerin", "Lumerin")
    assert screensaver.find("_description").text.strip()
    offered = {command[0]} | {choice[0] for choice in choices}
    # The slideshow is the default: the fractal list's first entry, which adds nothing.
    first = screensaver.find("select[@id='fractal']/option")
    assert (first.get("_label"), first.get("arg-set")) == ("Slideshow", None)
    offered.add("--slideshow")
    usage = run("saver", "--help").stdout
    accepted = set(re.findall(r"--[a-z-]+", usage))
    assert offered | {"--window-id", "--help"} == accepted


def test_every_value_the_option_file_can_give_is_accepted():
    _, command, choices = option_file_arguments()
    # Started as XScreenSaver starts it, by the program's name and options only. With no
    # display, an accepted command line gets as far as opening one.
    for choice in choices:
        result = run(*command, *choice)
        assert (result.returncode, result.stderr) == (1, NO_DISPLAY), choice


# A window made by someone else ------------------------------------------------------------
def test_draws_into_a_given_window_again_at_its_new_size_and_ends_on_sigterm(xlib, display):
    from Xlib import X
    window = xlib.screen().root.create_window(0, 0, 400, 300, 0, xlib.screen().root_depth,
                                              background_pixel=0, event_mask=X.ExposureMask)
    window.map()
    xlib.sync()
    saver = subprocess.Popen([tool(), "saver", "--window-id", str(window.id), "--fractal",
                              str(ISLAND), "--from", "1", "--to", "1", "--width", "1",
                              "--pause", "50"], env={**os.environ, "DISPLAY": display},
                             stderr=subprocess.PIPE, text=True)
    try:
        assert wait_for(lambda: shows(window, segments(ISLAND, 0, 400, 300)), 5)
        window.configure(width=600, height=500)
        xlib.sync()
        assert wait_for(lambda: shows(window, segments(ISLAND, 0, 600, 500)), 5)
        # The old figure is gone: its right edge lay inside the new one.
        _, _, (x, y) = segments(ISLAND, 0, 400, 300)[0]
        assert colour_at(window, x - 1, y) == (0, 0, 0)

        signalled = time.monotonic()
        saver.send_signal(signal.SIGTERM)
        status = saver.wait(5)
        assert status == 0 and time.monotonic() - signalled < 0.5
        assert saver.stderr.read() == ""
    finally:
        if saver.poll() is None:
            saver.kill()
            saver.wait()
        window.destroy()
        xlib.sync()


def test_a_destroyed_window_ends_the_saver_quietly(xlib, display):
    window = xlib.screen().root.create_window(0, 0, 300, 200, 0, xlib.screen().root_depth)
    window.map()
    xlib.sync()
    saver = subprocess.Popen([tool(), "--window-id", str(window.id), "--fractal", "4",
                              "--from", "16", "--to", "16"],
                             env={**os.environ, "DISPLAY": display}, stderr=subprocess.PIPE,
                             text=True)
    try:
        time.sleep(0.5)
        window.destroy()
        xlib.sync()
        assert saver.wait(5) == 0
        assert saver.stderr.read() == ""
    finally:
        if saver.poll() is None:
            saver.kill()
            saver.wait()


# The real daemon ---------------------------------------------------------------------------
def lumerin_processes(prefix):
    """Running (not yet reaped ones aside) processes named lumerin, of the copy installed in
    prefix: other test runs on the same machine may be running lumerin of their own."""
    found = []
    for entry in Path("/proc").iterdir():
        try:
            stat = (entry / "stat").read_text()
            name, state = stat[stat.index("(") + 1:stat.rindex(")")], stat[stat.rindex(")") + 2]
            if name != "lumerin" or state == "Z":
                continue
            if Path(os.readlink(entry / "exe")).is_relative_to(prefix.resolve()):
                found.append(int(entry.name))
        except (OSError, ValueError):
            continue
    return found


@pytest.fixture
def installed(tmp_path_factory):
    """The build installed into a folder every user can read."""
    prefix = Path(tempfile.mkdtemp(prefix="lumerin-xss-"))
    prefix.chmod(0o755)
    subprocess.run(["cmake", "--install", str(Path(tool()).parent), "--prefix", str(prefix)],
                   check=True, capture_output=True)
    yield prefix
    shutil.rmtree(prefix, ignore_errors=True)


def test_xscreensaver_runs_the_fixed_figure_and_deactivation_ends_it(installed, display, xlib):
    if shutil.which("xscreensaver") is None:
        pytest.fail("xscreensaver is not installed (scripts/bootstrap installs it)")
    assert not lumerin_processes(installed), "a lumerin is running: this test could not tell"
    # The daemon runs no display mode for root: run it as nobody when the test is root.
    as_user = []
    if os.geteuid() == 0:
        as_user = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]
    home = installed / "home"
    home.mkdir()
    (home / ".xscreensaver").write_text(
        "timeout:\t0:30:00\nlock:\tFalse\nsplash:\tFalse\nfade:\tFalse\nunfade:\tFalse\n"
        "mode:\tone\nselected:\t0\n"
        f"programs:\tlumerin --root --fractal {ISLAND} --from 1 --to 1 --width 1 --pause 50\n")
    if as_user:
        nobody = pwd.getpwnam("nobody")
        for path in (home, home / ".xscreensaver"):
            os.chown(path, nobody.pw_uid, nobody.pw_gid)
    env = {"HOME": str(home), "DISPLAY": display,
           "PATH": f"{installed}/libexec/xscreensaver:/usr/bin:/bin"}
    daemon = subprocess.Popen([*as_user, "env", "-i", *(f"{k}={v}" for k, v in env.items()),
                               "xscreensaver", "--no-splash"], stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                              start_new_session=True)

    def command(*args):
        return subprocess.run(["xscreensaver-command", *args], env={**os.environ, **env},
                              capture_output=True, timeout=10)

    try:
        assert wait_for(lambda: command("-time").returncode == 0, 10), "no daemon"
        assert command("-activate").returncode == 0
        root = xlib.screen().root
        lines = segments(ISLAND, 0, 800, 600)
        assert wait_for(lambda: lumerin_processes(installed) and shows(root, lines), 10)
        if os.environ.get("LUMERIN_SCREENSHOT"):
            subprocess.run(["import", "-window", "root", os.environ["LUMERIN_SCREENSHOT"]],
                           env={**os.environ, "DISPLAY": display}, check=True)

        asked = time.monotonic()
        assert command("-deactivate").returncode == 0
        assert wait_for(lambda: not lumerin_processes(installed), 1.0, 0.005), \
            "lumerin still running 1 s after deactivation"
        assert time.monotonic() - asked < 1.0
    finally:
        os.killpg(daemon.pid, signal.SIGTERM)
        try:
            daemon.wait(10)
        except subprocess.TimeoutExpired:
            os.killpg(daemon.pid, signal.SIGKILL)
            daemon.wait()
    assert not lumerin_processes(installed)
