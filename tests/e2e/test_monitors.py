"""The full-screen saver on three monitors of different sizes, one of them left of the
primary (at negative coordinates): where each Monitors setting puts the figures, and line
widths at 192 DPI. Wine sees the monitors as an X server's RandR outputs (harness.Monitors),
32-bit Wine only with the 32-bit RandR library (libxrandr2:i386) installed; it gives every
monitor the one DPI of LogPixels."""

import os
import re
import shutil
import subprocess
import time

import pytest

from harness import DRIVERS, SCR, Monitors, Wine, driver, wait_for, windows_path
from saver_run import (BACKGROUND, DISTINCT_COLOURS, close_with_key, drawn_pixel_count,
                       fixed_settings, pixel, segment_misses, start_full_screen,
                       wait_for_saver_window)

pytestmark = pytest.mark.skipif(not SCR.is_file(), reason="Lumerin.scr is not built")

# The heads as X lays them out, left to right: (left, top, width, height). Head 1 is
# the primary output, so Windows sees head 0 at -640, 0 and the window's client area, the
# virtual screen, starts there: X's root coordinates are the window's client coordinates.
HEADS = [(0, 0, 640, 480), (640, 0, 400, 300), (1040, 0, 320, 240)]
PRIMARY = 1
WINDOW = "-640,0,720,480"
BLACK = 0x000000


def shown_heads(wine):
    """The heads that the saver's X window covers. Wine 8 shows the window as Windows has
    it, over every head. Wine 10 gives the X window of a window that covers its nearest
    monitor (the one it overlaps most) that monitor's rectangle alone, whatever else the
    window covers, and shows there the top left of the window's picture: seen right only
    where that monitor is the top left one, head 0 here, the largest."""
    tree = subprocess.run(["xwininfo", "-root", "-tree"], env={**os.environ, **wine.display.env()},
                          capture_output=True, text=True, timeout=30).stdout
    found = re.search(r'"Screen Saver": .*?(\d+)x(\d+)\+(-?\d+)\+(-?\d+)', tree)
    assert found, tree
    width, height, left, top = map(int, found.groups())
    heads = [head for head in HEADS if left <= head[0] and top <= head[1] and
             head[0] + head[2] <= left + width and head[1] + head[3] <= top + height]
    assert heads in (HEADS, [HEADS[0]]), (found.group(0), heads)
    return heads


def square(left, top, width, height):
    """Generation 0 of "Island" fitted to an area, as its segments (start, end, pen)."""
    m = width * 6 // 100
    x0, x1, y0, y1 = left + m, left + width - m, top + m, top + height - m
    return [((x0 + 1, y1), (x1, y1), 1), ((x1, y1), (x1, y0 + 1), 2),
            ((x1, y0 + 1), (x0 + 1, y0), 3), ((x0 + 1, y0), (x0, y1), 4)]


def on_a_head(x, y, heads=HEADS):
    return any(l <= x < l + w and t <= y < t + h for l, t, w, h in heads)


def black_pixels_missing(image, head):
    left, top, width, height = head
    return [(x, y) for y in range(top, top + height, 7) for x in range(left, left + width, 7)
            if pixel(image, x, y) != BLACK]


@pytest.fixture(scope="module")
def monitors():
    display = Monitors([f"{w}x{h}" for _, _, w, h in HEADS], primary=PRIMARY)
    wine = Wine(display)
    yield wine
    wine.close()
    display.close()


def run_until(wine, settings, complete):
    """Starts the saver with `settings`, checks its one window covers every monitor, and
    returns the first screenshot for which `complete(image, heads)`, over the heads Wine
    shows, is empty (else the last) and what it found there."""
    wine.set_settings(settings)
    process = start_full_screen(wine)
    status, out = wine.run(driver("poke"), "info")
    # One monitor at 0, 0 means Wine read no RandR outputs: 32-bit Wine finds them only
    # through the 32-bit library (libxrandr2:i386).
    assert f"rect={WINDOW}" in out, f"Wine sees one monitor, not three: {out}"
    heads = shown_heads(wine)
    found = {}

    def done():
        found["image"] = wine.display.screenshot()
        found["misses"] = complete(found["image"], heads)
        return not found["misses"]

    wait_for(done, timeout=15, interval=0.2)
    assert close_with_key(wine, process) == 0
    return found["image"], found["misses"]


def figures_of(setting):
    """What is missing of the figures that `setting` draws, in a screenshot, on the heads
    shown: generation 0 of "Island" across all monitors, on each, or on the primary with
    the others black."""
    if setting == 0:
        # One figure over the heads' bounding box, as far as the heads show it.
        def complete(image, heads):
            return segment_misses(image, square(0, 0, 1360, 480),
                                  lambda x, y: on_a_head(x, y, heads))
    elif setting == 1:
        def complete(image, heads):
            return [miss for head in heads for miss in segment_misses(image, square(*head))]
    else:
        def complete(image, heads):
            primary = HEADS[PRIMARY]
            figure = segment_misses(image, square(*primary)) if primary in heads else []
            return figure + [("not black", head) for head in heads
                             if head != primary and black_pixels_missing(image, head)]
    return complete


SETTINGS = pytest.mark.parametrize("setting", [0, 1, 2],
                                   ids=["across all", "on each", "primary only"])


@SETTINGS
def test_each_setting_puts_the_figures_where_its_monitors_are(monitors, setting):
    complete = figures_of(setting)
    image, misses = run_until(monitors, {**fixed_settings(6, 0, 0, 0), "Monitors": setting},
                              complete)
    assert misses == []
    if setting == 1:
        # Not the one figure: its top edge, 81 pixels down, crosses no head's square.
        assert segment_misses(image, square(0, 0, 1360, 480)[2:3], on_a_head) != []


@pytest.mark.parametrize("setting", [0, 1], ids=["across all", "on each"])
def test_at_192_dpi_the_window_keeps_physical_pixels_and_widths_double(monitors, setting):
    monitors.import_reg("[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
                        '"LogPixels"=dword:000000c0\n')
    monitors.restart_server()
    try:
        left, top, width, height = HEADS[0] if setting == 1 else (0, 0, 1360, 480)
        bottom = top + height - width * 6 // 100
        column = 300
        pen1 = DISTINCT_COLOURS[1]

        def thickness(image):
            return sum(pixel(image, column, y) == pen1 for y in range(bottom - 8, bottom + 9))

        image, misses = run_until(
            monitors, {**fixed_settings(6, 0, 0, 0, LineWidth=2), "Monitors": setting},
            lambda image, heads: [] if thickness(image) else ["no line yet"])
        assert misses == []
        assert thickness(image) == 4
    finally:
        monitors.import_reg("[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
                            '"LogPixels"=dword:00000060\n')
        monitors.restart_server()


def test_a_change_of_monitors_lays_the_figures_out_again(monitors):
    # Generation 2 of "Island", 324 segments on each monitor: long enough to be seen
    # growing again, short enough to end well inside the 5-second pause, within which
    # nothing but the change can start the figures again.
    monitors.set_settings({**fixed_settings(6, 2, 2, 0), "Monitors": 1})
    process = start_full_screen(monitors)
    left, top, width, height = HEADS[0]

    def drawn(image):
        return drawn_pixel_count(image.crop((left, top, left + width, top + height)),
                                 BACKGROUND, step=1)

    def settled():
        first = drawn(monitors.display.screenshot())
        second = drawn(monitors.display.screenshot())
        return first == second and first > 0 and first

    complete = wait_for(settled, timeout=15, interval=0.3)
    assert complete
    WM_DISPLAYCHANGE = 0x007E
    status, out = monitors.run(driver("poke"), "send", WM_DISPLAYCHANGE, 24,
                               1360 | 480 << 16)
    assert status == 0, out
    assert wait_for(lambda: drawn(monitors.display.screenshot()) < complete // 2, timeout=2,
                    interval=0.05), "the figures were not started again"
    assert wait_for(lambda: drawn(monitors.display.screenshot()) == complete, timeout=10,
                    interval=0.2), "the figure did not grow back whole"
    image = monitors.display.screenshot()
    status, out = monitors.run(driver("poke"), "info")
    assert f"rect={WINDOW}" in out, out
    heads = shown_heads(monitors)
    assert close_with_key(monitors, process) == 0
    # Every monitor shown has its own figure again.
    for head in heads:
        assert drawn_pixel_count(image.crop((head[0], head[1], head[0] + head[2],
                                             head[1] + head[3])), BACKGROUND) > 0, head


def test_a_dpi_library_planted_beside_the_program_or_in_the_current_directory_is_never_run(
        monitors):
    # Windows before 8.1 has no shcore.dll: a load by bare name would go on to the
    # program's folder and the current directory. The stand-in logs its every load; Wine
    # takes a native library of that name only when told to.
    planted = monitors.root / "planted"  # removed with the prefix
    program_dir, current_dir, log_dir = (planted / name for name in ("program", "current", "log"))
    for folder in (program_dir, current_dir, log_dir):
        folder.mkdir(parents=True)
    for folder in (program_dir, current_dir):
        shutil.copyfile(DRIVERS / "standins" / "MPR.DLL", folder / "shcore.dll")
    shutil.copyfile(SCR, program_dir / "Lumerin.scr")
    overrides = monitors.env()["WINEDLLOVERRIDES"]
    env = {"LUMERIN_STANDIN_DIR": windows_path(log_dir),
           "WINEDLLOVERRIDES": f"{overrides};shcore=n,b"}

    # A figure on each monitor, which asks each monitor's DPI.
    monitors.set_settings({**fixed_settings(6, 0, 0, 0), "Monitors": 1})
    monitors.display.xdotool("mousemove", 400, 300)
    process = monitors.start(program_dir / "Lumerin.scr", "/s", env=env, cwd=current_dir)
    wait_for_saver_window(monitors, process)
    left, top, width, height = HEADS[0]
    assert wait_for(lambda: not segment_misses(monitors.display.screenshot(),
                                               square(left, top, width, height)),
                    timeout=15, interval=0.2)
    assert close_with_key(monitors, process) == 0
    assert not (log_dir / "calls.log").exists(), (log_dir / "calls.log").read_text()


@SETTINGS
def test_after_a_change_of_monitors_the_window_covers_them_all_and_the_figures_fit_them(
        monitors, setting):
    monitors.set_settings({**fixed_settings(6, 0, 0, 0), "Monitors": setting})
    process = start_full_screen(monitors)
    complete = figures_of(setting)
    try:
        # The window as it was made for the desktop before a monitor came: the primary alone.
        left, top, width, height = HEADS[PRIMARY]
        status, out = monitors.run(driver("poke"), "move", 0, 0, width, height)
        assert "moved=1" in out, out
        WM_DISPLAYCHANGE = 0x007E
        status, out = monitors.run(driver("poke"), "send", WM_DISPLAYCHANGE, 24,
                                   1360 | 480 << 16)
        assert status == 0, out
        covered = wait_for(lambda: f"rect={WINDOW}" in monitors.run(driver("poke"), "info")[1],
                           timeout=5, interval=0.2)
        heads = shown_heads(monitors)
        drawn = wait_for(lambda: not complete(monitors.display.screenshot(), heads),
                         timeout=15, interval=0.2)
    finally:
        closed = close_with_key(monitors, process)
    assert covered, "the window does not cover every monitor"
    assert drawn, complete(monitors.display.screenshot(), heads)
    assert closed == 0


# The program's erase fills through a device context of its own, and the default handling
# then erases the repainted region again in black. Posted alone, with no device context
# for the default handling, the erase shows what the program itself paints.
WM_ERASEBKGND = 0x0014


@pytest.mark.parametrize("poke", [("redraw",), ("redraw", 600, 0, 900, 200),
                                  ("post", WM_ERASEBKGND, 0, 0)],
                         ids=["repaint", "repaint across two", "erase alone"])
def test_an_erase_keeps_the_other_monitors_black_beside_the_primarys_figure(monitors, poke):
    monitors.set_settings({**fixed_settings(6, 0, 0, 0), "Monitors": 2})
    process = start_full_screen(monitors)
    complete = figures_of(2)
    primary = square(*HEADS[PRIMARY])
    try:
        heads = shown_heads(monitors)
        drawn = wait_for(lambda: not complete(monitors.display.screenshot(), heads),
                         timeout=15, interval=0.2)
        status, out = monitors.run(driver("poke"), *poke)
        assert status == 0, out
        if HEADS[PRIMARY] in heads:
            # The erase has run once it has wiped the primary's figure, which the 5-second
            # pause after it leaves alone.
            image = wait_for(lambda: (lambda i: i if segment_misses(i, primary) else None)(
                monitors.display.screenshot()), timeout=2, interval=0.05)
        else:
            # Only head 0 is seen (shown_heads): what the erase has left there after a second.
            time.sleep(1)
            image = monitors.display.screenshot()
    finally:
        closed = close_with_key(monitors, process)
    assert drawn
    assert image is not None, "the window was not erased"
    assert [head for head in heads
            if head != HEADS[PRIMARY] and black_pixels_missing(image, head)] == []
    assert closed == 0
