"""lumerin wallpaper and lumerin saver on Wayland, against a real compositor: Debian's sway,
headless, with two outputs (one at scale 2), looked at with grim and typed at with wtype.
Outputs come and go in a second sway nested in the first, whose outputs are windows there:
closing a window unplugs its output. weston, which has no layer shell, stands for GNOME.
sway refuses to run as root: when the test runs as root, the compositors run as the
unprivileged user nobody, and the tool connects to them as root."""
import contextlib
import os
import re
import signal
import socket
import subprocess
import tempfile
import time
from pathlib import Path

import pytest

from wayland_session import SWAY, compositor, wait_for

# Palette 1 ("Autumn"), the first run's: pen i is (25 + 25 i, 200, 100).
AUTUMN = {(25 + 25 * i, 200, 100) for i in range(10)}
ISLAND = ["--fractal", "6", "--from", "1", "--to", "1"]  # a rectangle along the margin
KOCH = ["--fractal", "7", "--from", "4", "--to", "4"]
TWO_OUTPUTS = """\
output HEADLESS-1 resolution 640x480 position 0 0
output HEADLESS-2 resolution 800x600 position 640 0 scale 2
"""
SIZES = {"HEADLESS-1": (640, 480), "HEADLESS-2": (800, 600)}
NO_LAYER_SHELL = ("lumerin: this Wayland compositor offers no layer shell (zwlr_layer_shell_v1), "
                  "which Lumerin draws on; GNOME has none: there, open Lumerin's web page "
                  "(index.html) in a browser instead\n")


def tool():
    return os.environ["LUMERIN_TOOL"]


@pytest.fixture(scope="module")
def shared_sway():
    with compositor(["sway", "-c", "{config}"], "wayland-1",
                    {**SWAY, "WLR_BACKENDS": "headless", "WLR_HEADLESS_OUTPUTS": "2"},
                    TWO_OUTPUTS) as sway:
        yield sway


@pytest.fixture
def nested_sway(shared_sway):
    """A sway for a test that changes its outputs or ends it: its outputs WL-1 and WL-2 are
    windows of the shared sway. WL-2 is added once WL-1 is there: sway 1.10 started with two
    commits the second window before the shared sway has configured it, which then cuts the
    nested sway off."""
    outer = str(shared_sway.folder / shared_sway.env["WAYLAND_DISPLAY"])
    with compositor(["sway", "-c", "{config}"], "wayland-1",
                    {**SWAY, "WLR_BACKENDS": "wayland", "WLR_WL_OUTPUTS": "1",
                     "WAYLAND_DISPLAY": outer},
                    outputs="output WL-1 resolution 320x240\noutput WL-2 resolution 320x240\n"
                    ) as sway:
        sway.run("swaymsg", "create_output").check_returncode()
        assert wait_for(lambda: '"WL-2"' in sway.run("swaymsg", "-t", "get_outputs").stdout, 5)
        yield sway


@contextlib.contextmanager
def running(process):
    """Kills what a failed test left running."""
    try:
        yield process
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


def end_quietly(process):
    assert process.poll() is None, process.stderr.read()
    signalled = time.monotonic()
    process.send_signal(signal.SIGTERM)
    assert (process.wait(5), process.stderr.read()) == (0, "")
    return time.monotonic() - signalled


def colours(image):
    return set(image.getdata())


def figure_drawn(wayland, output, background=(0, 0, 0)):
    """Whether the output shows a figure and nothing else: pen colours and the background.
    A test on the shared compositor gives its program a background of its own, which no
    earlier test's surfaces (on their way out) show."""
    seen = colours(wayland.shot(output))
    return bool(seen & AUTUMN) and seen - AUTUMN == {background}


def top_line_width(image, background):
    """The width of the top line of a figure whose top is a nearly flat line across the
    middle: its fewest lit pixels in the upper half of a middle column."""
    width, height = image.size
    return min(sum(image.getpixel((x, y)) != background for y in range(height // 2))
               for x in range(width // 3, 2 * width // 3))


def buffers(process):
    """How many of its shared-memory buffers the process has mapped."""
    maps = Path(f"/proc/{process.pid}/maps").read_text()
    return sum("/memfd:lumerin" in line for line in maps.splitlines())


# The wallpaper ----------------------------------------------------------------------------
def test_wallpaper_draws_a_figure_on_each_output_at_its_scale(shared_sway):
    background = (0x10, 0x20, 0x30)
    with running(shared_sway.start("wallpaper", *ISLAND, "--width", "2", "--pause", "50",
                                   "--background", "102030")) as paper:
        # A figure in pen colours on the background, and nothing else.
        assert wait_for(lambda: all(figure_drawn(shared_sway, o, background) for o in SIZES), 5)
        for output, size in SIZES.items():
            image = shared_sway.shot(output)
            assert image.size == size, output
            # Fitted to its own output, inside the margin of 6 % of its width.
            middle = [image.getpixel((x, size[1] // 2)) for x in range(size[0])]
            left = next(x for x, pixel in enumerate(middle) if pixel != background)
            assert abs(left - size[0] * 6 // 100) <= 2, (output, left)
        # Width 2 is 2 pixels at scale 1 and 4 at scale 2, as at 96 and 192 DPI on Windows.
        assert [top_line_width(shared_sway.shot(o), background) for o in SIZES] == [2, 4]
        assert buffers(paper) == 4  # two for each output
        assert end_quietly(paper) < 0.5


def test_an_output_added_while_it_runs_gets_a_figure_and_a_removed_one_is_freed(
        shared_sway, nested_sway):
    with running(nested_sway.start("wallpaper", *KOCH, "--pause", "50")) as paper:
        assert wait_for(lambda: all(figure_drawn(nested_sway, o) for o in ("WL-1", "WL-2")), 5)
        assert wait_for(lambda: buffers(paper) == 4, 2)
        nested_sway.run("swaymsg", "create_output").check_returncode()
        assert wait_for(lambda: figure_drawn(nested_sway, "WL-3"), 5)
        assert wait_for(lambda: buffers(paper) == 6, 2)
        # Closing its window unplugs WL-2: its surface and buffers go, the others stay.
        shared_sway.run("swaymsg", '[title="WL-2"] kill').check_returncode()
        assert wait_for(lambda: buffers(paper) == 4, 2)
        assert all(figure_drawn(nested_sway, o) for o in ("WL-1", "WL-3"))
        end_quietly(paper)


def test_only_the_outputs_named_get_a_figure(shared_sway):
    background = (0x20, 0x40, 0x60)
    with running(shared_sway.start("wallpaper", *KOCH, "--output", "HEADLESS-2",
                                   "--background", "204060")) as paper:
        assert wait_for(lambda: figure_drawn(shared_sway, "HEADLESS-2", background), 5)
        assert background not in colours(shared_sway.shot("HEADLESS-1"))
        assert buffers(paper) == 2
        end_quietly(paper)


def test_a_nested_compositors_socket_is_taken_and_no_seat_is_bound(shared_sway):
    # What swaylock-plugin does: it hands the program a connected socket in WAYLAND_SOCKET.
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
        connection.connect(str(shared_sway.folder / "wayland-1"))
        fd = connection.fileno()
        env = {"WAYLAND_SOCKET": str(fd), "WAYLAND_DISPLAY": "", "WAYLAND_DEBUG": "client"}
        paper = shared_sway.start("wallpaper", *KOCH, "--background", "302010", env=env,
                                  pass_fds=[fd])
    with running(paper):
        background = (0x30, 0x20, 0x10)
        assert wait_for(lambda: all(figure_drawn(shared_sway, o, background) for o in SIZES), 5)
        paper.send_signal(signal.SIGTERM)
        assert paper.wait(5) == 0
        binds = [line for line in paper.stderr.read().splitlines() if ".bind(" in line]
        assert any('"zwlr_layer_shell_v1"' in line for line in binds)
        assert not any('"wl_seat"' in line for line in binds)


def test_the_wallpaper_ends_quietly_when_the_compositor_goes(nested_sway):
    with running(nested_sway.start("wallpaper", *KOCH)) as paper:
        assert wait_for(lambda: figure_drawn(nested_sway, "WL-1"), 5)
        nested_sway.process.terminate()
        assert (paper.wait(5), paper.stderr.read()) == (0, "")


# Fractional scales -------------------------------------------------------------------------
# HEADLESS-1 at scale 1.5 and HEADLESS-2 at scale 1, both 800 x 600 logical.
FRACTIONAL = """\
output HEADLESS-1 resolution 1200x900 position 0 0 scale 1.5
output HEADLESS-2 resolution 800x600 position 800 0
"""


def sway_offers_fractional_scale():
    """sway offers wp-fractional-scale-v1 from 1.9 on (Debian 13 has 1.10); before it (Debian
    12 has 1.7) it gives an output at scale 1.5 the whole scale 2, and its clients draw at 2."""
    version = subprocess.run(["sway", "--version"], capture_output=True, text=True).stdout
    return tuple(map(int, re.search(r"(\d+)\.(\d+)", version).groups())) >= (1, 9)


def created_buffers(log, start=0):
    """The sizes of the buffers a client made, from its WAYLAND_DEBUG lines past `start`
    (libwayland 1.21 writes wl_shm_pool@5, 1.23 wl_shm_pool#5)."""
    text = log.read_text()[start:]
    return [(int(w), int(h)) for w, h in re.findall(
        r"wl_shm_pool[@#]\d+\.create_buffer\(new id wl_buffer[@#]\d+, \d+, (\d+), (\d+),", text)]


@contextlib.contextmanager
def fractional_wallpaper(tmp_path):
    """A sway with the two outputs above and a wallpaper on it whose Wayland requests go to
    a file (a pipe left unread would stop it)."""
    log = tmp_path / "wayland.log"
    with compositor(["sway", "-c", "{config}"], "wayland-1",
                    {**SWAY, "WLR_BACKENDS": "headless", "WLR_HEADLESS_OUTPUTS": "2"},
                    FRACTIONAL) as sway, open(log, "w") as debug:
        paper = subprocess.Popen(
            [tool(), "wallpaper", *ISLAND, "--width", "2", "--pause", "50",
             "--background", "103020"], env={**sway.env, "WAYLAND_DEBUG": "client"},
            stdout=subprocess.DEVNULL, stderr=debug)
        with running(paper):
            assert wait_for(lambda: all(figure_drawn(sway, o, (0x10, 0x30, 0x20))
                                        for o in ("HEADLESS-1", "HEADLESS-2")), 5)
            time.sleep(0.5)  # the rectangle's last segments
            yield sway, paper, log


def end_quietly_to_file(process):
    process.send_signal(signal.SIGTERM)
    assert process.wait(5) == 0


def test_an_output_at_scale_one_and_a_half_gets_a_buffer_of_its_own_pixels(tmp_path):
    background = (0x10, 0x30, 0x20)
    fractional = sway_offers_fractional_scale()
    with fractional_wallpaper(tmp_path) as (sway, paper, log):
        binds = [line for line in log.read_text().splitlines() if ".bind(" in line]
        assert any("wp_fractional_scale_manager_v1" in line for line in binds) == fractional
        scaled, plain = sway.shot("HEADLESS-1"), sway.shot("HEADLESS-2")
        assert (scaled.size, plain.size) == ((1200, 900), (800, 600))
        if fractional:
            # 1200 x 900 pixels through the viewport, drawn by the program itself: only its
            # pens and background (the compositor's resampling would mix colours), and
            # lines 1.5 times as wide, width 2 being 3 pixels.
            assert sorted(set(created_buffers(log))) == [(800, 600), (1200, 900)]
            assert colours(scaled) - AUTUMN == {background}
            assert [top_line_width(i, background) for i in (scaled, plain)] == [3, 2]
            lit = [sum(p != background for p in i.getdata()) for i in (scaled, plain)]
            assert 1.8 <= lit[0] / lit[1] <= 3, lit
        else:
            # Drawn at scale 2 and scaled down by the compositor.
            assert sorted(set(created_buffers(log))) == [(800, 600), (1600, 1200)]
        end_quietly_to_file(paper)


def test_a_scale_changed_while_it_runs_gets_its_buffer_and_one_new_fit(tmp_path):
    background = (0x10, 0x30, 0x20)
    fractional = sway_offers_fractional_scale()
    with fractional_wallpaper(tmp_path) as (sway, paper, log):
        before = len(log.read_text())
        sway.run("swaymsg", "output HEADLESS-1 resolution 1000x750 scale 1.25").check_returncode()
        assert wait_for(lambda: sway.shot("HEADLESS-1").size == (1000, 750), 5)
        time.sleep(1.0)  # a new drawing's segments, and any second fit that would follow
        if fractional:
            # One new pair of buffers at the new scale, one drawing fitted to it.
            assert created_buffers(log, before) == [(1000, 750)] * 2
            image = sway.shot("HEADLESS-1")
            assert colours(image) - AUTUMN == {background}
            middle = [image.getpixel((x, 375)) for x in range(1000)]
            left = next(x for x, pixel in enumerate(middle) if pixel != background)
            assert abs(left - 60) <= 2, left
        else:
            # sway 1.7 changes the resolution before the scale, so the output is 666 x 500
            # logical for a moment; then the whole scale 2 of 800 x 600 again.
            assert created_buffers(log, before)[-2:] == [(1600, 1200)] * 2
        end_quietly_to_file(paper)


# The saver --------------------------------------------------------------------------------
def test_the_saver_covers_every_output_and_a_key_ends_it(shared_sway):
    # wtype's keyboard comes first, as the user's does: a keyboard that appears after the
    # saver's start would get its first key to the saver before the saver listens to it.
    # Its key comes 3 s later, long after the saver shows.
    typist = subprocess.Popen(["wtype", "-s", "3000", "-k", "Escape"], env=shared_sway.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with running(typist), running(shared_sway.start("saver", *KOCH,
                                                    "--background", "402060")) as saver:
        background = (0x40, 0x20, 0x60)
        # Every pixel of every output is the saver's: its background or a pen.
        assert wait_for(lambda: all(figure_drawn(shared_sway, o, background) for o in SIZES), 2.5)
        assert typist.poll() is None, "the key came before the saver showed"
        # The output at scale 2, in its own pixels, is the README's picture.
        folder = os.environ.get("LUMERIN_SCREENSHOTS")
        if folder:
            time.sleep(1.0)  # the 192 segments take a second
            shared_sway.shot("HEADLESS-2").save(os.path.join(folder, "wayland.png"))
        assert (saver.wait(5), saver.stderr.read()) == (0, "")


def savers_of(group):
    """The lumerin processes of process group `group`."""
    found = subprocess.run(["pgrep", "-g", str(group), "-x", "lumerin"], capture_output=True,
                           text=True).stdout.split()
    return [int(pid) for pid in found]


def test_swayidle_starts_the_saver_after_its_timeout(shared_sway):
    background = (0x60, 0x20, 0x40)
    command = " ".join([tool(), "saver", *KOCH, "--background", "602040"])
    # The keyboard first, its key after the saver has shown (see the test above).
    typist = subprocess.Popen(["wtype", "-s", "4000", "-k", "Escape"], env=shared_sway.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    idle = subprocess.Popen(["swayidle", "-w", "timeout", "2", command], env=shared_sway.env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    started = time.monotonic()
    try:
        assert wait_for(lambda: all(figure_drawn(shared_sway, o, background) for o in SIZES), 4)
        assert time.monotonic() - started >= 2, "the saver came before the idle time"
        assert savers_of(idle.pid) and typist.poll() is None
        typist.wait(10)
        # The key ends it; swayidle would start another only after two more idle seconds.
        assert wait_for(lambda: not savers_of(idle.pid), 1.5)
    finally:
        with contextlib.suppress(ProcessLookupError):
            os.killpg(idle.pid, signal.SIGTERM)
        idle.wait(10)
        if typist.poll() is None:
            typist.kill()
            typist.wait()


# Bad input and faults ---------------------------------------------------------------------
@pytest.mark.parametrize("args, status, message", [
    (["wallpaper", "--output", "HEADLESS-9"], 2,
     "lumerin: no output 'HEADLESS-9' (the outputs: HEADLESS-1, HEADLESS-2)\n"),
    (["wallpaper", "--output"], 2, "lumerin: --output needs a value\n"),
    (["wallpaper", "--root"], 2,
     "lumerin: unknown option '--root' (try 'lumerin wallpaper --help')\n"),
    (["wallpaper", "-width", "9"], 2, "lumerin: bad -width '9' (expected 1 to 5)\n"),
    (["saver", "--output", "HEADLESS-1"], 2,
     "lumerin: unknown option '--output' (try 'lumerin saver --help')\n"),
    # A window named keeps the saver in X, even in a Wayland session.
    (["saver", "--root"], 1, "lumerin: cannot open the X display\n"),
    (["-window-id", "0x5"], 1, "lumerin: cannot open the X display\n"),
])
def test_bad_input_in_a_wayland_session(shared_sway, args, status, message):
    result = shared_sway.run(tool(), *args)
    assert (result.returncode, result.stderr) == (status, message)


@pytest.mark.parametrize("command, named", [
    ("wallpaper", "wayland-none"), ("wallpaper", None), ("saver", "wayland-none")])
def test_no_wayland_display_is_said(command, named):
    # A runtime folder with no compositor's socket in it; without WAYLAND_DISPLAY the
    # wallpaper looks for wayland-0 there.
    with tempfile.TemporaryDirectory(prefix="lumerin-wayland-") as empty:
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET")}
        env["XDG_RUNTIME_DIR"] = empty
        if named:
            env["WAYLAND_DISPLAY"] = named
        result = subprocess.run([tool(), command], env=env, capture_output=True, text=True,
                                timeout=30)
    assert (result.returncode, result.stderr) == (
        1, "lumerin: cannot connect to a Wayland display\n")


@pytest.mark.parametrize("command", ["wallpaper", "saver"])
def test_a_compositor_without_the_layer_shell_is_named_and_the_web_page_offered(command):
    with compositor(["weston", "--backend=headless-backend.so", "--socket=wayland-1",
                     "--idle-time=0"], "wayland-1", {}, "") as weston:
        result = weston.run(tool(), command)
    assert (result.returncode, result.stderr) == (1, NO_LAYER_SHELL)
