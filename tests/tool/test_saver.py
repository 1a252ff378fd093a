"""lumerin saver, the Linux display mode: bad input, its option file, drawing into a
window it is given, and the real hosts that run display modes (the XScreenSaver daemon,
xsecurelock, MATE's screensaver) starting and ending it."""
import functools
import itertools
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

from wayland_session import wait_for

ROOT = Path(__file__).resolve().parents[2]
OPTION_FILE = ROOT / "packaging" / "lumerin.xml"
# Palette 1 ("Autumn"), the first run's: pen i is (25 + 25 i, 200, 100).
AUTUMN = [(25 + 25 * i, 200, 100) for i in range(10)]
ISLAND = 6  # generation 0 (shown as 1) is four lines along the margin
HILBERT = 5  # a curve that never comes back to a point it has drawn
NO_DISPLAY = "lumerin: cannot open the X display\n"
# A folder without lumerin/config in it.
NO_CONFIG = "/nonexistent/lumerin-test-config"
# The hosts run display modes as this user when the test runs as root.
HOST_USER = "lumerin-test"


def tool():
    return os.environ["LUMERIN_TOOL"]


def run(*args, display=None, extra_env=None):
    # No Wayland session either: without a window named, the saver would draw there. No
    # configuration file of the user's either.
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "XSCREENSAVER_WINDOW", "WAYLAND_DISPLAY", "WAYLAND_SOCKET")}
    env["XDG_CONFIG_HOME"] = NO_CONFIG
    if display:
        env["DISPLAY"] = display
    env.update(extra_env or {})
    return subprocess.run([tool(), *map(str, args)], env=env, capture_output=True, text=True,
                          timeout=30)


@functools.lru_cache(maxsize=None)
def generations(entry):
    """How many generations catalogue entry `entry` has, from lumerin list."""
    rows = [line.split() for line in run("list").stdout.splitlines()[1:]]
    return {int(row[0]): int(row[-2]) for row in rows}[entry]


@functools.lru_cache(maxsize=None)
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
    return pixel_at(window, x, y)[:3]


def pixel_at(window, x, y):
    """Red, green, blue and the byte beside them (alpha at depth 32)."""
    from Xlib import X
    data = window.get_image(x, y, 1, 1, X.ZPixmap, 0xFFFFFFFF).data
    return data[2], data[1], data[0], data[3]


def shows(window, lines):
    """Whether each line's first pixel has its pen's colour (1-pixel pens draw it)."""
    from Xlib.error import XError
    try:
        return all(colour_at(window, *start) == AUTUMN[pen] for pen, start, _ in lines)
    except XError:  # not (or no longer) a window that can be read
        return False


def drawn(window):
    """Whether anything but black shows in the window."""
    from Xlib import X
    from Xlib.error import XError
    try:
        size = window.get_geometry()
        data = bytearray(window.get_image(0, 0, size.width, size.height, X.ZPixmap,
                                          0xFFFFFFFF).data)
    except XError:
        return False
    data[3::4] = bytes(len(data) // 4)  # the byte beside blue, red and green
    return data.strip(b"\0") != b""


# Bad input --------------------------------------------------------------------------------
@pytest.mark.parametrize("args, message", [
    (["saver", "--bogus"], "unknown option '--bogus' (try 'lumerin saver --help')"),
    (["saver", "-bogus"], "unknown option '-bogus' (try 'lumerin saver --help')"),
    (["saver", "7"], "unexpected argument '7'"),
    (["saver", "--pause"], "--pause needs a value"),
    (["saver", "-visual"], "-visual needs a value"),
    (["saver", "--fractal", "16"], "bad --fractal '16' (expected 0 to 15)"),
    (["saver", "--fractal", "-1"], "bad --fractal '-1' (expected 0 to 15)"),
    (["saver", "--pause", "5x"], "bad --pause '5x' (expected 0 to 50)"),
    (["saver", "--pause", "51"], "bad --pause '51' (expected 0 to 50)"),
    (["saver", "--width", "0"], "bad --width '0' (expected 1 to 5)"),
    (["saver", "-width", "6"], "bad -width '6' (expected 1 to 5)"),
    (["saver", "--angle", "361"], "bad --angle '361' (expected 0 to 360)"),
    (["saver", "--palette", "5"], "bad --palette '5' (expected 0 to 4)"),
    (["saver", "--background", "12345G"], "bad --background '12345G' (expected RRGGBB)"),
    (["saver", "--from", "0"], "bad --from '0' (expected a generation from 1)"),
    (["saver", "-to", "two"], "bad -to 'two' (expected a generation from 1)"),
    (["saver", "--window-id", "0x12G"],
     "bad --window-id '0x12G' (expected a window id, decimal or 0x hexadecimal, not 0)"),
    (["saver", "-window-id", "4294967296"],
     "bad -window-id '4294967296' (expected a window id, decimal or 0x hexadecimal, not 0)"),
    (["-root", "-width", "9"], "bad -width '9' (expected 1 to 5)"),
])
def test_bad_input_is_one_line_and_exit_2_before_any_display_is_opened(args, message):
    # No DISPLAY: had the program got as far as X, it would have said so instead.
    result = run(*args)
    assert (result.returncode, result.stderr, result.stdout) == (2, f"lumerin: {message}\n", "")


def test_a_bad_window_from_the_host_is_refused_unless_another_is_named():
    named = {"XSCREENSAVER_WINDOW": "window"}
    result = run("saver", "--root", extra_env=named)
    assert (result.returncode, result.stderr) == (
        2, "lumerin: bad $XSCREENSAVER_WINDOW 'window' "
           "(expected a window id, decimal or 0x hexadecimal, not 0)\n")
    # --window-id wins over --root, and a window of its own needs no host's.
    for args in (["--root", "--window-id", "5"], ["-root", "-window"]):
        assert (run(*args, extra_env=named).stderr) == NO_DISPLAY, args


def test_a_window_id_that_names_no_window_is_refused(xlib, display):
    unused = xlib.screen().root.create_window(0, 0, 10, 10, 0, 0)
    unused.destroy()
    xlib.sync()
    result = run("saver", "--window-id", hex(unused.id), display=display)
    assert (result.returncode, result.stderr) == (2, f"lumerin: {hex(unused.id)} is not a window\n")


# The configuration file --------------------------------------------------------------------
@pytest.mark.parametrize("text, args, status, message", [
    ("fractal = 4\n# a comment\nbackground = 203040\n[output DP-1]\nbattery = draw\n", [], 1,
     NO_DISPLAY),
    (None, [], 1, NO_DISPLAY),  # no file is an empty one
    ("fractal = 4\n\npalette = 9\n", [], 2, "lumerin: {path}:3: bad palette '9' (expected 0 to 4)\n"),
    ("fractal = 4\n\ncolour = 1\n", [], 2, "lumerin: {path}:3: unknown key 'colour'\n"),
    ("folder", [], 2, "lumerin: {path}: cannot read it: Is a directory\n"),
    # The command line is read first, as it is spelt; --help whatever the file holds.
    ("palette = 9\n", ["--pause", "99"], 2, "lumerin: bad --pause '99' (expected 0 to 50)\n"),
    ("palette = 9\n", ["--help"], 0, ""),
])
@pytest.mark.parametrize("home", [False, True])
def test_the_configuration_file_is_read_at_the_start(tmp_path, text, args, status, message, home):
    # $XDG_CONFIG_HOME, else $HOME/.config.
    folder = tmp_path / ".config" if home else tmp_path
    path = folder / "lumerin" / "config"
    path.parent.mkdir(parents=True)
    if text == "folder":
        path.mkdir()
    elif text is not None:
        path.write_text(text)
    env = {"HOME": str(tmp_path)} if home else {"XDG_CONFIG_HOME": str(tmp_path)}
    result = run("saver", *args, extra_env={**env, "XDG_CONFIG_HOME": ""} if home else env)
    assert (result.returncode, result.stderr) == (status, message.format(path=path))


def test_a_changed_file_starts_the_figure_afresh_and_a_bad_one_changes_nothing(
        xlib, display, tmp_path):
    from Xlib import X
    window = xlib.screen().root.create_window(0, 0, 400, 300, 0, xlib.screen().root_depth,
                                              background_pixel=0, event_mask=X.ExposureMask)
    window.map()
    xlib.sync()
    path = tmp_path / "lumerin" / "config"
    path.parent.mkdir()
    path.write_text("background = 203040\npause = 50\n")
    # The island's rectangle runs along the margin: the middle shows the background.
    saver = subprocess.Popen([tool(), "saver", "--window-id", str(window.id), "--fractal",
                              str(ISLAND), "--from", "1", "--to", "1", "--width", "1"],
                             env={**os.environ, "DISPLAY": display, "XDG_CONFIG_HOME": str(tmp_path)},
                             stderr=subprocess.PIPE, text=True)
    try:
        assert wait_for(lambda: colour_at(window, 200, 150) == (0x20, 0x30, 0x40), 5)
        # As editors save: a new file renamed over the old one, in the 5-second pause.
        (tmp_path / "lumerin" / "config.new").write_text("background = 405060\npause = 50\n")
        (tmp_path / "lumerin" / "config.new").rename(path)
        assert wait_for(lambda: colour_at(window, 200, 150) == (0x40, 0x50, 0x60), 2)
        assert wait_for(lambda: shows(window, segments(ISLAND, 0, 400, 300)), 2)
        path.write_text("background = 405060\n\npalette = 9\n")
        time.sleep(1)
        assert colour_at(window, 200, 150) == (0x40, 0x50, 0x60)
        # In place, with no change the watch would see: SIGHUP has it read.
        saver.send_signal(signal.SIGHUP)
        time.sleep(0.5)
        saver.send_signal(signal.SIGTERM)
        assert saver.wait(5) == 0
        assert saver.stderr.read() == 2 * (
            f"lumerin: {path}:3: bad palette '9' (expected 0 to 4); drawing on as before\n")
    finally:
        clean_up(xlib, [saver], [window])


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
    assert offered <= set(re.findall(r"--[a-z-]+", usage))


def help_options():
    """Every option of 'lumerin saver --help', with a value where it takes one."""
    values = {"ID": "0x1", "N": "3", "G": "2", "TENTHS": "5", "PIXELS": "3",
              "DEGREES": "90", "RRGGBB": "102030", "NAME": "default"}
    # The options column: what a line that starts with an option holds before its text.
    columns = [line.strip().split("  ")[0] for line in run("saver", "--help").stdout.splitlines()
               if line.startswith("  --")]
    found = [o for column in columns for o in re.findall(r"(--[a-z-]+)(?: ([A-Z]+))?", column)]
    assert {"--root", "--visual", "--fps", "--no-fps", "--window"} <= {o for o, _ in found}
    return {option: [values[v]] if v else [] for option, v in found}


def test_every_option_of_the_help_is_taken_with_one_dash_or_two():
    for option, value in help_options().items():
        for spelling in (option, option[1:]):
            result = run(spelling, *value)
            expected = (0, "") if option == "--help" else (1, NO_DISPLAY)
            assert (result.returncode, result.stderr) == expected, (spelling, result.stderr)


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
        # Well inside the 5-second pause: the new drawing must not wait for its end.
        assert wait_for(lambda: shows(window, segments(ISLAND, 0, 600, 500)), 2.5)
        # The old figure is gone: its right edge lay inside the new one.
        _, _, (x, y) = segments(ISLAND, 0, 400, 300)[0]
        assert colour_at(window, x - 1, y) == (0, 0, 0)

        signalled = time.monotonic()
        saver.send_signal(signal.SIGTERM)
        status = saver.wait(5)
        assert status == 0 and time.monotonic() - signalled < 0.5
        assert saver.stderr.read() == ""
    finally:
        clean_up(xlib, [saver], [window])


def top_line_width(window):
    """The width of the top line of a figure whose top is a nearly flat line across the
    middle: its fewest lit pixels in the upper half of a middle column."""
    from Xlib import X
    size = window.get_geometry()
    data = window.get_image(0, 0, size.width, size.height, X.ZPixmap, 0xFFFFFFFF).data
    def lit(x, y):
        at = 4 * (y * size.width + x)
        return data[at:at + 3] != b"\0\0\0"
    return min(sum(lit(x, y) for y in range(size.height // 2))
               for x in range(size.width // 3, 2 * size.width // 3))


@pytest.mark.parametrize("dpi, pixels", [(None, 2), ("144", 3), ("192", 4)])
def test_line_widths_grow_with_the_dpi_the_desktop_states(xlib, display, dpi, pixels):
    from Xlib import Xatom
    root = xlib.screen().root
    resources = xlib.intern_atom("RESOURCE_MANAGER")
    if dpi:
        root.change_property(resources, Xatom.STRING, 8, f"Xft.dpi:\t{dpi}\n".encode())
    window = make_window(xlib, "plain")
    saver = subprocess.Popen([tool(), "saver", "--window-id", str(window.id), "--fractal",
                              str(ISLAND), "--from", "1", "--to", "1", "--width", "2",
                              "--pause", "50"], env={**os.environ, "DISPLAY": display},
                             stderr=subprocess.PIPE, text=True)
    try:
        # Island, generation 1: four lines along the margin, drawn in 20 ms.
        assert wait_for(lambda: drawn(window), 5)
        time.sleep(0.3)
        assert top_line_width(window) == pixels
        end_quietly([saver])
    finally:
        clean_up(xlib, [saver], [window])
        root.delete_property(resources)
        xlib.sync()


def make_window(xlib, kind, x=0, y=0, width=400, height=300):
    """A mapped window on black: plain, a window manager's virtual root, or of depth 32."""
    from Xlib import X, Xatom
    screen = xlib.screen()
    if kind == "argb":
        visual = next(v for d in screen.allowed_depths if d.depth == 32
                      for v in d.visuals if v.visual_class == X.TrueColor)
        colormap = screen.root.create_colormap(visual.visual_id, X.AllocNone)
        window = screen.root.create_window(x, y, width, height, 0, 32, X.InputOutput,
                                           visual.visual_id, background_pixel=0,
                                           border_pixel=0, colormap=colormap)
    else:
        window = screen.root.create_window(x, y, width, height, 0, screen.root_depth,
                                           background_pixel=0)
    if kind == "vroot":
        window.change_property(xlib.intern_atom("__SWM_VROOT"), Xatom.WINDOW, 32, [window.id])
    window.map()
    xlib.sync()
    return window


def clean_up(xlib, savers, windows=()):
    """Kills what a failed test left running and takes its windows down."""
    for saver in savers:
        if saver.poll() is None:
            saver.kill()
            saver.wait()
    for window in windows:
        window.destroy()
    xlib.sync()


def end_quietly(savers):
    """SIGTERM ends every saver at once, with status 0 and nothing on stderr."""
    assert [saver.poll() for saver in savers] == [None] * len(savers), "a saver had ended"
    for saver in savers:
        saver.send_signal(signal.SIGTERM)
    for saver in savers:
        assert (saver.wait(5), saver.stderr.read()) == (0, ""), saver.args


# Where the figure goes: what the case shows, the window the test makes, the options before
# the figure's, the environment. Every case draws the Hilbert curve's last generation:
# --from past it means it, and --to below it is lifted.
HILBERT_LAST = ["--fractal", str(HILBERT), "--from", "16", "--to", "3", "--width", "1",
                "--pause", "50"]


@pytest.mark.parametrize("kind, options, environment", [
    pytest.param("plain", ["--window-id", "{id}"], {}, id="window-id-decimal"),
    pytest.param("plain", ["--root", "--window-id", "{hex}"], {}, id="preview-root-then-id"),
    pytest.param("plain", ["-root"], {"XSCREENSAVER_WINDOW": "{id}"}, id="host-window-decimal"),
    pytest.param("plain", ["--root"], {"XSCREENSAVER_WINDOW": "{hex}"}, id="host-window-hex"),
    pytest.param("vroot", ["--root"], {}, id="virtual-root"),
    pytest.param("argb", ["--window-id", "{id}"], {}, id="depth-32-opaque"),
])
def test_draws_where_it_is_told(xlib, display, kind, options, environment):
    window = make_window(xlib, kind)
    names = {"id": str(window.id), "hex": hex(window.id)}
    options = [o.format(**names) for o in options]
    environment = {k: v.format(**names) for k, v in environment.items()}
    saver = subprocess.Popen([tool(), *options, *HILBERT_LAST],
                             env={**os.environ, "DISPLAY": display, **environment},
                             stderr=subprocess.PIPE, text=True)
    try:
        lines = segments(HILBERT, generations(HILBERT) - 1, 400, 300)[:40]
        assert wait_for(lambda: shows(window, lines), 5)
        if kind == "argb":
            # A compositing host blends by the alpha: the figure and its background opaque.
            _, start, _ = lines[0]
            assert pixel_at(window, *start)[3] == pixel_at(window, 1, 1)[3] == 0xFF
        end_quietly([saver])
    finally:
        clean_up(xlib, [saver], [window])


def first_generation_is_empty(options):
    """Whether the first drawing of a fixed fractal has no line: the generation --from
    names, or the fractal's last one when --from is past it."""
    if "--fractal" not in options:
        return False
    entry = int(options[options.index("--fractal") + 1])
    first = int(options[options.index("--from") + 1])
    return not segments(entry, min(first, generations(entry)) - 1, 80, 60)


def test_the_preview_draws_every_fractal_and_generation_the_option_file_offers(xlib, display):
    # As the settings program's preview runs it: the option file's command, the widgets'
    # arguments, then --window-id.
    screensaver, command, _ = option_file_arguments()
    fractals = [o.get("arg-set", "").split()
                for o in screensaver.find("select[@id='fractal']").iter("option")]
    spins = [sorted({number.get(v) for v in ("low", "default", "high")}, key=int)
             for number in (screensaver.find(f"*/number[@id='{n}']") for n in ("from", "to"))]
    assert spins == [["1", "16"], ["1", "16"]], spins
    cases = [(*fractal, "--from", first, "--to", final)
             for fractal, first, final in itertools.product(fractals, *spins)]
    assert len(cases) == 17 * 4
    windows, savers = [], []
    try:
        for n, case in enumerate(cases):  # a grid of small previews, none over another
            windows.append(make_window(xlib, "plain", n % 10 * 80, n // 10 * 60, 80, 60))
            savers.append(subprocess.Popen(
                [tool(), *command, *case, "--window-id", hex(windows[-1].id)],
                env={**os.environ, "DISPLAY": display}, stderr=subprocess.PIPE, text=True))
        # Generation 1 of the Hilbert curve is its axiom, which has no line: that preview
        # stays black, as the Windows saver's does; it must still run.
        waiting = {case: window for case, window in zip(cases, windows)
                   if not first_generation_is_empty(case)}
        assert len(waiting) == len(cases) - 2

        def all_drawn():
            for case, window in list(waiting.items()):
                if drawn(window):
                    del waiting[case]
            return not waiting

        assert wait_for(all_drawn, 20), f"nothing drawn for {sorted(waiting)}"
        end_quietly(savers)
    finally:
        clean_up(xlib, savers, windows)


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


# The real hosts ------------------------------------------------------------------------------
def processes_on(display, name=None):
    """The running processes (not yet reaped ones aside) started for `display`, named
    `name` when given, as {pid: environment}."""
    found = {}
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            stat = (entry / "stat").read_text()
            environ = (entry / "environ").read_bytes().decode(errors="replace")
        except OSError:
            continue
        comm, state = stat[stat.index("(") + 1:stat.rindex(")")], stat[stat.rindex(")") + 2]
        env = dict(v.split("=", 1) for v in environ.split("\0") if "=" in v)
        # XScreenSaver names the screen too (":60.0").
        on = re.sub(r"\.\d+$", "", env.get("DISPLAY", "")) == display
        if state != "Z" and on and name in (None, comm):
            found[int(entry.name)] = env
    return found


def host_window(xlib, display):
    """The window that a host named to the Lumerin it runs, or None."""
    for env in processes_on(display, "lumerin").values():
        if "XSCREENSAVER_WINDOW" in env:
            return xlib.create_resource_object("window", int(env["XSCREENSAVER_WINDOW"], 0))
    return None


def host_shows(xlib, display, lines):
    window = host_window(xlib, display)
    return window is not None and shows(window, lines)


def host_drawn(xlib, display):
    window = host_window(xlib, display)
    return window is not None and drawn(window)


@pytest.fixture(scope="module")
def host_user():
    """The unprivileged user the hosts run as when the test is root (they run no display
    mode for root), made when missing; None when the test already runs as another user."""
    if os.geteuid() != 0:
        return None
    try:
        return pwd.getpwnam(HOST_USER)
    except KeyError:
        pass
    subprocess.run(["useradd", "--system", "--user-group", "--no-create-home",
                    "--home-dir", "/nonexistent", "--shell", "/usr/sbin/nologin", HOST_USER],
                   capture_output=True)
    try:
        return pwd.getpwnam(HOST_USER)  # made here, or by a run beside this one
    except KeyError:
        pytest.skip(f"useradd could not make the unprivileged user {HOST_USER}")


def as_host(user, environment, *command):
    """The command as the host's user, with only `environment`."""
    drop = [] if user is None else [
        "setpriv", f"--reuid={user.pw_uid}", f"--regid={user.pw_gid}", "--clear-groups"]
    return [*drop, "env", "-i", *(f"{k}={v}" for k, v in environment.items()), *command]


def readable(top):
    """Every folder and file under `top` readable by every user, whatever the umask."""
    for folder, _, files in os.walk(top):
        os.chmod(folder, 0o755)
        for name in files:
            path = Path(folder, name)
            if not path.is_symlink():
                path.chmod(path.stat().st_mode | 0o444)


@pytest.fixture(scope="module")
def installed():
    """The build installed into a folder every user can read."""
    prefix = Path(tempfile.mkdtemp(prefix="lumerin-hosts-"))
    prefix.chmod(0o755)
    subprocess.run(["cmake", "--install", str(Path(tool()).parent), "--prefix", str(prefix)],
                   check=True, capture_output=True)
    readable(prefix)
    yield prefix
    shutil.rmtree(prefix, ignore_errors=True)


@pytest.fixture
def home(installed, host_user):
    """An empty home (and runtime folder) of the host's user's own."""
    path = Path(tempfile.mkdtemp(prefix="home-", dir=installed))
    if host_user:
        os.chown(path, host_user.pw_uid, host_user.pw_gid)
    return path


@pytest.fixture
def host(display):
    """Starts one host process group as asked, and ends what is left of it afterwards."""
    started = []

    def start(command, **options):
        started.append(subprocess.Popen(command, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, start_new_session=True,
                                        **options))
        return started[-1]

    assert not processes_on(display), "something runs on this display already"
    yield start
    for process in started:
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGTERM)
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
    # What a failing host left behind on this test's own display (a mode in a process
    # group of its own) must not spoil the tests after it.
    for pid in processes_on(display):
        os.kill(pid, signal.SIGKILL)


def write_xscreensaver_file(home, user, program):
    """~/.xscreensaver with `program` its only display mode, as XScreenSaver writes it."""
    path = home / ".xscreensaver"
    path.write_text("timeout:\t0:30:00\nlock:\tFalse\nsplash:\tFalse\nfade:\tFalse\n"
                    "unfade:\tFalse\nmode:\tone\nselected:\t0\n"
                    f"programs:\t\\\n\t\t{program} \\n\\\n\n")
    if user:
        os.chown(path, user.pw_uid, user.pw_gid)


def screenshot(display, name):
    """With LUMERIN_SCREENSHOTS=DIR, the screen as DIR/NAME.png, once the figure has grown
    for LUMERIN_SCREENSHOT_SECONDS (default 0)."""
    folder = os.environ.get("LUMERIN_SCREENSHOTS")
    if folder:
        time.sleep(float(os.environ.get("LUMERIN_SCREENSHOT_SECONDS", "0")))
        subprocess.run(["import", "-window", "root", str(Path(folder) / f"{name}.png")],
                       env={**os.environ, "DISPLAY": display}, check=True)


def require(program):
    if shutil.which(program) is None:
        pytest.fail(f"{program} is not installed (scripts/bootstrap installs it)")


ISLAND_LINES = (ISLAND, 0, 800, 600)  # generation 1 of Island on the whole screen


def test_xscreensaver_runs_the_fixed_figure_and_deactivation_ends_it(
        installed, home, host_user, host, display, xlib):
    require("xscreensaver")
    write_xscreensaver_file(home, host_user, f"lumerin --root --fractal {ISLAND} --from 1 "
                                             "--to 1 --width 1 --pause 50")
    env = {"HOME": str(home), "DISPLAY": display,
           "PATH": f"{installed}/libexec/xscreensaver:/usr/bin:/bin"}
    host(as_host(host_user, env, "xscreensaver", "--no-splash"), stdin=subprocess.DEVNULL)

    def command(*args):
        return subprocess.run(["xscreensaver-command", *args], env={**os.environ, **env},
                              capture_output=True, timeout=10)

    assert wait_for(lambda: command("-time").returncode == 0, 10), "no daemon"
    assert command("-activate").returncode == 0
    # In the daemon's own window: a mode that drew on the root would not show there.
    assert wait_for(lambda: host_shows(xlib, display, segments(*ISLAND_LINES)), 10)
    screenshot(display, "xscreensaver")

    asked = time.monotonic()
    assert command("-deactivate").returncode == 0
    assert wait_for(lambda: not processes_on(display, "lumerin"), 1.0, 0.005), \
        "lumerin still running 1 s after deactivation"
    assert time.monotonic() - asked < 1.0


@pytest.mark.parametrize("program", [
    # No ~/.xscreensaver: every program of the hack folder, as NAME -root, the slideshow.
    pytest.param(None, id="hack-folder"),
    # XScreenSaver's own lists use the one-dash form.
    pytest.param(f"lumerin -root -fractal {ISLAND} -from 1 -to 1 -width 1 -pause 50",
                 id="programs-list"),
])
def test_xsecurelock_runs_lumerin_and_its_end_ends_it(
        installed, home, host_user, host, display, xlib, program):
    require("xsecurelock")
    if program:
        write_xscreensaver_file(home, host_user, program)
    env = {"HOME": str(home), "DISPLAY": display, "PATH": "/usr/bin:/bin",
           "XSECURELOCK_SAVER": "/usr/libexec/xsecurelock/saver_xscreensaver",
           # The installed hack folder, which holds Lumerin alone.
           "XSECURELOCK_XSCREENSAVER_PATH": f"{installed}/libexec/xscreensaver"}
    locker = host(as_host(host_user, env, "xsecurelock"), stdin=subprocess.DEVNULL)
    if program:
        assert wait_for(lambda: host_shows(xlib, display, segments(*ISLAND_LINES)), 10)
    else:
        # A figure no one can foretell, but something on the window's black.
        assert wait_for(lambda: host_drawn(xlib, display), 10)
    screenshot(display, f"xsecurelock-{'list' if program else 'folder'}")

    locker.send_signal(signal.SIGTERM)
    locker.wait(10)
    assert wait_for(lambda: not processes_on(display, "lumerin"), 2), "lumerin outlived it"


# Its one display mode, as MATE's screensaver runs it: in a session bus of its own.
MATE_SESSION = """
gsettings set org.mate.screensaver mode "'single'"
gsettings set org.mate.screensaver themes "['screensavers-lumerin']"
gsettings set org.mate.screensaver lock-enabled false
mate-screensaver --no-daemon &
tries=0
until mate-screensaver-command --query >/dev/null 2>&1; do
  tries=$((tries + 1)); [ $tries -lt 100 ] || exit 3; sleep 0.1
done
mate-screensaver-command --activate || exit 4
read -r _
mate-screensaver-command --exit || exit 5
wait
"""


def test_mate_screensaver_runs_lumerin_by_its_theme_file_and_exit_ends_it(
        installed, home, host_user, host, display, xlib):
    require("mate-screensaver")
    require("dbus-run-session")
    # MATE's screensaver runs only programs of its own folders: the build goes into
    # /usr/libexec/xscreensaver in a mount namespace of the test's own.
    if host_user is None or subprocess.run(
            ["unshare", "--mount", "--propagation", "private", "true"]).returncode != 0:
        pytest.skip("a private mount namespace, to put the build where MATE's screensaver "
                    "runs programs, needs root with the right to mount")
    # The theme file as it is installed, found through a data folder of the test's own.
    themes = installed / "xdg" / "applications" / "screensavers"
    themes.mkdir(parents=True)
    shutil.copy(ROOT / "packaging" / "lumerin.desktop", themes)
    # Its Exec, /usr/libexec/xscreensaver/lumerin, is the build, for this host alone.
    hacks = installed / "mate-hacks"
    hacks.mkdir()
    (hacks / "lumerin").symlink_to(installed / "bin" / "lumerin")
    readable(installed / "xdg")
    readable(hacks)
    env = {"HOME": str(home), "XDG_RUNTIME_DIR": str(home), "DISPLAY": display,
           "PATH": "/usr/bin:/bin", "XDG_DATA_DIRS": f"{installed}/xdg:/usr/share"}
    session = host(["unshare", "--mount", "--propagation", "private", "sh", "-c",
                    'mount --bind "$0" /usr/libexec/xscreensaver && exec "$@"', str(hacks),
                    *as_host(host_user, env, "dbus-run-session", "--", "sh", "-c",
                             MATE_SESSION)],
                   stdin=subprocess.PIPE, text=True)
    assert wait_for(lambda: host_drawn(xlib, display) or session.poll() is not None, 15)
    assert session.poll() is None, f"the session ended with {session.returncode}"
    screenshot(display, "mate-screensaver")

    session.stdin.write("\n")  # mate-screensaver-command --exit
    session.stdin.close()
    assert session.wait(10) == 0
    assert wait_for(lambda: not processes_on(display), 2), processes_on(display)
