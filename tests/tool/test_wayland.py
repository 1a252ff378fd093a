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
import struct
import subprocess
import tempfile
import time
from pathlib import Path

import pytest

from wayland_session import SWAY, as_user, compositor, log, wait_for

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


def end_quietly(process, logged=False):
    """SIGTERM ends it with 0 and, unless it logs its protocol (`logged`), not a word."""
    assert process.poll() is None, log(process)
    signalled = time.monotonic()
    process.send_signal(signal.SIGTERM)
    assert (process.wait(5), "" if logged else log(process)) == (0, "")
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


# A line of the protocol log of a process started with WAYLAND_DEBUG=client: a request
# ("[  123.456]  -> wl_surface@3.commit()") or an event ("[  123.456] wl_output@4.done()").
# libwayland 1.21 writes wl_output@4; 1.23 writes wl_output#4 and may put the queue's name,
# "{Default Queue}", before the arrow or the event.
PROTOCOL_LINE = re.compile(r"^\[[^]]*\]\s+(?:\{[^}]*\}\s+)?(-> )?\s*(\w+)[@#](\d+)\.(\w+)\((.*)\)$")


def messages(process, name, sent):
    """(object id, arguments) of every `name` message (as "wl_output.mode") in the protocol
    log of `process`: the requests it sent, or the events it received."""
    interface, message = name.split(".")
    found = []
    for line in log(process).splitlines():
        match = PROTOCOL_LINE.match(line)
        if match and bool(match[1]) == sent and (match[2], match[4]) == (interface, message):
            found.append((int(match[3]), match[5]))
    return found


def requests(process, name):
    return messages(process, name, sent=True)


def objects_named(process, name):
    """The ids of the wl_output and zxdg_output_v1 objects the compositor named `name`."""
    return {(interface, number) for interface in ("wl_output", "zxdg_output_v1")
            for number, argument in messages(process, f"{interface}.name", sent=False)
            if argument == f'"{name}"'}


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
        # In the pause, one buffer for each output: the one it shows.
        assert wait_for(lambda: buffers(paper) == 2, 2)
        assert end_quietly(paper) < 0.5


def test_an_output_added_while_it_runs_gets_a_figure_and_a_removed_one_is_freed(
        shared_sway, nested_sway):
    with running(nested_sway.start("wallpaper", *KOCH, "--pause", "50",
                                   env={"WAYLAND_DEBUG": "client"})) as paper:
        assert wait_for(lambda: all(figure_drawn(nested_sway, o) for o in ("WL-1", "WL-2")), 5)
        # Grown (in a second), each shows its figure from one buffer through the pause.
        assert wait_for(lambda: buffers(paper) == 2, 3)
        nested_sway.run("swaymsg", "create_output").check_returncode()
        assert wait_for(lambda: figure_drawn(nested_sway, "WL-3"), 5)
        assert wait_for(lambda: buffers(paper) == 3, 3)
        # Closing its window unplugs WL-2: its surface, buffers and proxies go, the others
        # stay.
        removed = objects_named(paper, "WL-2")
        assert removed
        shared_sway.run("swaymsg", '[title="WL-2"] kill').check_returncode()
        assert wait_for(lambda: buffers(paper) == 2, 2)
        assert all(figure_drawn(nested_sway, o) for o in ("WL-1", "WL-3"))
        assert wait_for(lambda: removed <= {(interface, id) for interface, name in (
            ("wl_output", "wl_output.release"), ("zxdg_output_v1", "zxdg_output_v1.destroy"))
            for id, _ in requests(paper, name)}, 2)
        end_quietly(paper, logged=True)


def test_only_the_outputs_named_get_a_figure(shared_sway):
    background = (0x20, 0x40, 0x60)
    # A launcher may leave WAYLAND_SOCKET set and empty: WAYLAND_DISPLAY still names the
    # compositor.
    with running(shared_sway.start("wallpaper", *KOCH, "--output", "HEADLESS-2",
                                   "--background", "204060", env={"WAYLAND_SOCKET": ""})) as paper:
        assert wait_for(lambda: figure_drawn(shared_sway, "HEADLESS-2", background), 5)
        assert background not in colours(shared_sway.shot("HEADLESS-1"))
        assert 1 <= buffers(paper) <= 2
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
        binds = [line for line in log(paper).splitlines() if ".bind(" in line]
        assert any('"zwlr_layer_shell_v1"' in line for line in binds)
        assert not any('"wl_seat"' in line for line in binds)


def test_the_wallpaper_ends_quietly_when_the_compositor_goes(nested_sway):
    with running(nested_sway.start("wallpaper", *KOCH)) as paper:
        assert wait_for(lambda: figure_drawn(nested_sway, "WL-1"), 5)
        nested_sway.process.terminate()
        assert (paper.wait(5), log(paper)) == (0, "")


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
            # Buffers at the new scale alone (one, or two while the figure grows), the
            # figure fitted to it once.
            created = created_buffers(log, before)
            assert set(created) == {(1000, 750)} and 1 <= len(created) <= 2, created
            image = sway.shot("HEADLESS-1")
            assert colours(image) - AUTUMN == {background}
            middle = [image.getpixel((x, 375)) for x in range(1000)]
            left = next(x for x, pixel in enumerate(middle) if pixel != background)
            assert abs(left - 60) <= 2, left
        else:
            # sway 1.7 takes scale 1.25 as the whole scale 2: 800 x 600 logical at scale 2,
            # as before, so the buffer it has stays, and none of another size is made (the
            # fit waits for the new logical size rather than drawing at 666 x 500).
            assert set(created_buffers(log, before)) <= {(1600, 1200)}
            assert sway.shot("HEADLESS-1").size == (1000, 750)
        end_quietly_to_file(paper)


# The saver --------------------------------------------------------------------------------
def test_the_saver_covers_every_output_and_a_key_ends_it(shared_sway):
    # wtype's keyboard comes first, as the user's does: a keyboard that appears after the
    # saver's start would get its first key to the saver before the saver listens to it.
    # Its key A is held down before the saver starts (the key binding that started it) and
    # let go 3 s later, long after the saver shows; that is no input of the user's. Escape,
    # 2 s after, is.
    typist = subprocess.Popen(["wtype", "-P", "a", "-s", "3000", "-p", "a", "-s", "2000",
                               "-k", "Escape"], env=shared_sway.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    started = time.monotonic()
    with running(typist), running(shared_sway.start("saver", *KOCH,
                                                    "--background", "402060")) as saver:
        background = (0x40, 0x20, 0x60)
        # Every pixel of every output is the saver's: its background or a pen.
        assert wait_for(lambda: all(figure_drawn(shared_sway, o, background) for o in SIZES), 2.5)
        # The output at scale 2, in its own pixels, is the README's picture.
        folder = os.environ.get("LUMERIN_SCREENSHOTS")
        if folder:
            time.sleep(1.0)  # the 192 segments take a second
            shared_sway.shot("HEADLESS-2").save(os.path.join(folder, "wayland.png"))
        time.sleep(max(0.0, started + 4.0 - time.monotonic()))
        assert saver.poll() is None, "the release of a key held before the start ended it"
        assert typist.poll() is None, "Escape came before the saver was looked at"
        assert (saver.wait(5), log(saver)) == (0, "")


def test_the_saver_ends_when_no_output_is_left(shared_sway, nested_sway):
    # sway 1.7 cannot turn its outputs off ("Failed to commit output"): they go as they
    # do when unplugged, with their windows in the outer sway. A later sway closes the
    # surfaces of an output turned off, which ends them the same way.
    with running(nested_sway.start("saver", *KOCH)) as saver:
        assert wait_for(lambda: all(figure_drawn(nested_sway, o) for o in ("WL-1", "WL-2")), 5)
        shared_sway.run("swaymsg", '[title="WL-1"] kill').check_returncode()
        assert wait_for(lambda: buffers(saver) <= 2, 2)
        assert saver.poll() is None, "the saver ended with an output left"
        # A closed lid, the last output gone: nothing to cover, and the idle daemon that
        # started the saver sees it end.
        shared_sway.run("swaymsg", '[title="WL-2"] kill').check_returncode()
        assert (saver.wait(5), log(saver)) == (0, "")


def test_a_scale_change_is_fitted_once_at_the_new_size(nested_sway):
    with running(nested_sway.start("wallpaper", *KOCH, env={"WAYLAND_DEBUG": "client"})) as paper:
        assert wait_for(lambda: figure_drawn(nested_sway, "WL-1"), 5)
        made = len(requests(paper, "wl_shm_pool.create_buffer"))
        nested_sway.run("swaymsg", "output WL-1 scale 2").check_returncode()
        # A whole scale on sway 1.7; a preferred fractional scale, answered with new buffers
        # through a viewport, where sway offers it (1.9 on).
        assert wait_for(
            lambda: "2" in [a for _, a in requests(paper, "wl_surface.set_buffer_scale")]
            or len(requests(paper, "wl_shm_pool.create_buffer")) > made, 3)
        time.sleep(0.5)
        # Half the logical size at twice the scale: at most the output's pixels, never
        # twice as many. (The outer sway tiles the output's window: its mode is the
        # window's size.)
        sizes = [tuple(map(int, a.split(", ")[2:4]))
                 for _, a in requests(paper, "wl_shm_pool.create_buffer")]
        modes = [tuple(map(int, a.split(", ")[1:3]))
                 for _, a in messages(paper, "wl_output.mode", sent=False)]
        largest = (max(w for w, _ in modes), max(h for _, h in modes))
        assert all(w <= largest[0] and h <= largest[1] for w, h in sizes), (sizes, modes)
        # (An odd number of pixel rows leaves the last one to sway at scale 2.)
        assert colours(nested_sway.shot("WL-1")) & AUTUMN
        end_quietly(paper, logged=True)


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


def wayland_error(code, message):
    """wl_display.error about the display itself, as the compositor writes it."""
    text = message.encode() + b"\0"
    text += b"\0" * (-len(text) % 4)
    body = struct.pack("=III", 1, code, len(message) + 1) + text
    return struct.pack("=II", 1, (8 + len(body)) << 16 | 0) + body


@pytest.mark.parametrize("answer, status, message", [
    # A compositor that hangs: SIGTERM still ends the program, which waits on its socket.
    (None, 0, ""),
    # One that sends a protocol error and closes the connection, before or while the
    # program writes: the error is read, and said.
    (wayland_error(3, "no such request"), 1, "lumerin: the Wayland compositor ended the "
     "connection with a protocol error: wl_display@1: error 3: no such request\n"),
])
def test_a_compositor_that_hangs_or_fails_is_left_or_named(answer, status, message):
    with tempfile.TemporaryDirectory(prefix="lumerin-wayland-") as folder, \
            socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as server:
        server.bind(os.path.join(folder, "wayland-9"))
        server.listen(1)
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_SOCKET")}
        env.update(XDG_RUNTIME_DIR=folder, WAYLAND_DISPLAY="wayland-9")
        with open(os.path.join(folder, "stderr"), "w+") as errors, \
                running(subprocess.Popen([tool(), "wallpaper"], env=env, stderr=errors)) as paper:
            connection, _ = server.accept()
            with connection:
                if answer is not None:
                    connection.sendall(answer)
                    connection.shutdown(socket.SHUT_RDWR)
                else:
                    time.sleep(1.0)
                    assert paper.poll() is None
                    paper.send_signal(signal.SIGTERM)
                assert paper.wait(5) == status
            errors.seek(0)
            # The program says it in libwayland's words, which name the object
            # wl_display@1 up to 1.22 and wl_display#1 from 1.23.
            assert errors.read().replace("wl_display#1", "wl_display@1") == message


@pytest.mark.parametrize("command", ["wallpaper", "saver"])
def test_a_compositor_without_the_layer_shell_is_named_and_the_web_page_offered(command):
    with compositor(["weston", "--backend=headless-backend.so", "--socket=wayland-1",
                     "--idle-time=0"], "wayland-1", {}, "") as weston:
        result = weston.run(tool(), command)
    assert (result.returncode, result.stderr) == (1, NO_LAYER_SHELL)


# The battery, as UPower on a system bus of the test's own tells it --------------------------
def test_power_follows_upower_and_counts_no_bus_or_no_upower_as_mains():
    from upower_standin import system_bus

    def power(*args, env):
        return subprocess.run([tool(), "power", *args], env={**os.environ, **env},
                              capture_output=True, text=True, timeout=30)

    no_bus = {"DBUS_SYSTEM_BUS_ADDRESS": "unix:path=/nonexistent/system_bus_socket"}
    assert (power(env=no_bus).stdout, power(env=no_bus).stderr) == ("mains\n", "")
    with system_bus() as bus:
        assert (power(env=bus.env).stdout, power(env=bus.env).returncode) == ("mains\n", 0)
        bus.start_upower(on_battery=True)
        assert power(env=bus.env).stdout == "battery\n"
        follower = subprocess.Popen([tool(), "power", "--follow"], env={**os.environ, **bus.env},
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        with running(follower):
            assert follower.stdout.readline() == "battery\n"
            for on_battery, line in ((False, "mains\n"), (True, "battery\n")):
                bus.set_on_battery(on_battery)
                assert follower.stdout.readline() == line
            # UPower gone: mains power; back again: asked at once.
            bus.stop_upower()
            assert follower.stdout.readline() == "mains\n"
            bus.start_upower(on_battery=True)
            assert follower.stdout.readline() == "battery\n"
            assert end_quietly(follower, logged=True) < 1
            assert follower.stderr.read() == ""


# The configuration file and the battery ---------------------------------------------------
def config_home(text):
    """A folder for XDG_CONFIG_HOME whose lumerin/config holds `text`."""
    folder = Path(tempfile.mkdtemp(prefix="lumerin-config-"))
    (folder / "lumerin").mkdir()
    (folder / "lumerin" / "config").write_text(text)
    return folder


def rewrite(home, text):
    """Writes the file anew and renames it over the old one, as editors do."""
    fresh = home / "lumerin" / "config.new"
    fresh.write_text(text)
    fresh.rename(home / "lumerin" / "config")


def test_the_file_and_its_sections_give_each_output_its_settings_and_are_taken_live(
        shared_sway):
    home = config_home("# every output\nfractal = 6\nfrom = 1\nto = 1\npause = 50\n"
                       "background = 102030\n[output HEADLESS-2]\nbackground = 304050\n")
    env = {"XDG_CONFIG_HOME": str(home)}
    with running(shared_sway.start("wallpaper", env=env)) as paper:
        assert wait_for(lambda: figure_drawn(shared_sway, "HEADLESS-1", (0x10, 0x20, 0x30)) and
                        figure_drawn(shared_sway, "HEADLESS-2", (0x30, 0x40, 0x50)), 5)
        rewrite(home, "fractal = 6\nfrom = 1\nto = 1\npause = 50\nbackground = 203040\n")
        assert wait_for(lambda: all(figure_drawn(shared_sway, o, (0x20, 0x30, 0x40))
                                    for o in SIZES), 3)
        # A bad value: everything stays as it was, and the line is named.
        rewrite(home, "fractal = 6\npause = 50\npalette = 9\n")
        assert wait_for(lambda: "config:3: " in log(paper), 3), log(paper)
        assert "drawing on as before" in log(paper)
        time.sleep(0.5)
        assert all(figure_drawn(shared_sway, o, (0x20, 0x30, 0x40)) for o in SIZES)
        assert end_quietly(paper, logged=True) < 0.5
    # The command line wins over the file; a bad file stops the start, naming its line.
    with running(shared_sway.start("wallpaper", "--background", "405060", env=env)) as paper:
        rewrite(home, "fractal = 6\nfrom = 1\nto = 1\npause = 50\nbackground = 203040\n")
        assert wait_for(lambda: all(figure_drawn(shared_sway, o, (0x40, 0x50, 0x60))
                                    for o in SIZES), 5)
        assert end_quietly(paper) < 0.5
    rewrite(home, "fractal = 6\n\npalette = 9\n")
    result = subprocess.run([tool(), "wallpaper"], env={**shared_sway.env, **env},
                            capture_output=True, text=True, timeout=30)
    assert result.returncode == 2
    assert f"{home}/lumerin/config:3: " in result.stderr


def test_on_battery_each_figure_stands_still_and_grows_again_on_mains(shared_sway):
    from upower_standin import system_bus

    def attaches(process):
        return len(requests(process, "wl_surface.attach"))

    with system_bus() as bus:
        bus.start_upower(on_battery=True)
        env = {**bus.env, "XDG_CONFIG_HOME": "/nonexistent", "WAYLAND_DEBUG": "client"}
        with running(shared_sway.start("wallpaper", *KOCH, "--pause", "0",
                                       "--background", "102030", env=env)) as paper:
            # Whole at once, and then not one picture more, though the pause is 0.
            assert wait_for(lambda: all(figure_drawn(shared_sway, o, (0x10, 0x20, 0x30))
                                        for o in SIZES), 3)
            still = attaches(paper)
            time.sleep(3)
            assert attaches(paper) == still
            assert "wl_surface.frame" not in log(paper).split("wl_surface.attach")[-1]
            bus.set_on_battery(False)
            assert wait_for(lambda: attaches(paper) > still + 10, 3)
            assert end_quietly(paper, logged=True) < 0.5
        # --battery draw keeps drawing.
        with running(shared_sway.start("wallpaper", *KOCH, "--pause", "0", "--battery", "draw",
                                       env=env)) as paper:
            bus.set_on_battery(True)
            assert wait_for(lambda: attaches(paper) > 20, 3)
            before = attaches(paper)
            assert wait_for(lambda: attaches(paper) > before + 10, 3)
            assert end_quietly(paper, logged=True) < 0.5


# The lock -----------------------------------------------------------------------------------
LOCK_USER = "lumerin-lock"
LOCK_PASSWORD = "Lumerin9secret"
BLUE = (0, 0, 255)


def sway_offers_session_lock():
    """sway offers ext-session-lock-v1 from 1.8 on (Debian 13 has 1.10, Debian 12 1.7)."""
    version = subprocess.run(["sway", "--version"], capture_output=True, text=True).stdout
    return tuple(map(int, re.search(r"(\d+)\.(\d+)", version).groups())) >= (1, 8)


def make_lock_user():
    """A user of the test's own with a password, as the lock checks it through PAM."""
    if subprocess.run(["id", LOCK_USER], capture_output=True).returncode != 0:
        subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin",
                        LOCK_USER], check=True)
    subprocess.run(["chpasswd"], input=f"{LOCK_USER}:{LOCK_PASSWORD}\n", text=True, check=True)
    return LOCK_USER


def test_the_lock_shows_the_figures_and_only_the_users_password_unlocks(shared_sway):
    if not sway_offers_session_lock():
        # sway 1.7: named, and never 0, with --daemonize too.
        for daemonize in ([], ["--daemonize"]):
            result = subprocess.run([tool(), "lock", *daemonize], env=shared_sway.env,
                                    capture_output=True, text=True, timeout=30)
            assert result.returncode == 1, daemonize
            assert "no session lock (ext-session-lock-v1)" in result.stderr
        return
    if os.geteuid() != 0:
        pytest.skip("the lock's test makes a user with a password: it runs as root")
    lock_user = make_lock_user()
    background = (0x10, 0x20, 0x30)
    with compositor(["sway", "-c", "{config}"], "wayland-1",
                    {**SWAY, "WLR_BACKENDS": "headless", "WLR_HEADLESS_OUTPUTS": "2"},
                    TWO_OUTPUTS, user=lock_user) as sway:
        desktop = sway.start_as(lock_user, "swaybg", "-c", "#0000ff")
        assert wait_for(lambda: all(colours(sway.shot(o)) == {BLUE} for o in SIZES), 5)

        def lock():
            started = time.monotonic()
            result = subprocess.run(
                as_user(lock_user) + [tool(), "lock", "--daemonize", *KOCH, "--pause", "50",
                                      "--background", "102030"],
                env={**sway.env, "XDG_CONFIG_HOME": "/nonexistent"}, capture_output=True,
                text=True, timeout=30)
            assert (result.returncode, result.stderr) == (0, "")
            assert time.monotonic() - started < 5
            pids = subprocess.run(["pgrep", "-u", lock_user, "-f", f"{tool()} lock"],
                                  capture_output=True, text=True).stdout.split()
            assert len(pids) == 1, pids
            return int(pids[0])

        def locked_with_figures():
            return all(figure_drawn(sway, o, background) for o in SIZES)

        # --daemonize returns once locked: the figures, and nothing of the desktop.
        locker = lock()
        assert wait_for(locked_with_figures, 5)
        # One keyboard for the whole of it: a wrong password, then the right one.
        typing = sway.start_as(lock_user, "wtype", "wrong", "-k", "Return", "-s", "3000",
                               LOCK_PASSWORD, "-k", "Return")
        time.sleep(2)
        assert os.path.exists(f"/proc/{locker}")
        assert all(BLUE not in colours(sway.shot(o)) for o in SIZES)
        assert typing.wait(20) == 0
        assert wait_for(lambda: not os.path.exists(f"/proc/{locker}"), 10)
        assert wait_for(lambda: all(colours(sway.shot(o)) == {BLUE} for o in SIZES), 5)

        # A lock ended by SIGKILL leaves the session locked: the desktop never shows.
        locker = lock()
        assert wait_for(locked_with_figures, 5)
        os.kill(locker, signal.SIGKILL)
        time.sleep(1)
        assert all(BLUE not in colours(sway.shot(o)) for o in SIZES)
        desktop.kill()
