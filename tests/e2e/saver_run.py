"""Starting and stopping the real saver in the tests' prefix, and reading its drawings."""

import random
import re
import time
from pathlib import Path

from harness import SCR, driver, find_windows, patience, pixel_colour, wait_for

FULL_SCREEN_TITLE = "Screen Saver"

# Ten colours far apart from each other and from the background, as COLORREFs.
DISTINCT_COLOURS = [0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF,
                    0xFFFF00, 0x0080FF, 0x80FF00, 0xFF8000, 0x8000FF]
BACKGROUND = 0x203040


def colour_settings(colours=DISTINCT_COLOURS):
    return {f"Color{i}": c for i, c in enumerate(colours)}


def fixed_settings(entry, generation_from, generation_to, angle, time_out=50, **more):
    values = {"NumFractal": entry, "DefaultMode": 0, "CurPalette": 1, "TimeOut": time_out,
              "LineWidth": 1, "iterFrom": generation_from, "iterTo": generation_to,
              "Angle": angle, "Background": BACKGROUND, **colour_settings()}
    values.update(more)
    return values


def focused_saver_window(display):
    """The saver's X window once it exists and has the keyboard focus, else None.
    Keys pressed before that would go elsewhere."""
    windows = find_windows(display, FULL_SCREEN_TITLE)
    if not windows:
        return None
    focus = display.xdotool("getwindowfocus", "-f").stdout.strip()
    return focus.isdigit() and int(focus) in windows and int(focus)


def wait_for_saver_window(wine, process, timeout=30):
    """Waits until `process` (the saver or a program that starts it) shows the focused
    full-screen window; fails when it ends first or nothing comes."""
    found = wait_for(lambda: process.poll() is not None or focused_saver_window(wine.display),
                     timeout)
    assert found and process.poll() is None, \
        f"no saver window (exit {process.poll()}): {wine.output(process)}"


def start_full_screen(wine, *args, timeout=30):
    """Starts the full-screen saver with the pointer at (400, 300) and waits for its
    window. Returns the process."""
    wine.display.xdotool("mousemove", 400, 300)
    process = wine.start(SCR, *(args or ("/s",)))
    wait_for_saver_window(wine, process, timeout)
    return process


def wait_exit(process, timeout=15):
    """The exit status, or None when the process is still running after `timeout` (scaled
    by TIME_SCALE)."""
    try:
        return process.wait(patience(timeout))
    except Exception:
        return None


def close_with_key(wine, process):
    wine.display.xdotool("key", "a")
    return wait_exit(process)


def still_running_after(process, seconds):
    time.sleep(seconds)
    return process.poll() is None


def colours_in(image, step=1):
    """The set of COLORREFs in an image, sampling every `step` pixels."""
    width, height = image.size
    pixels = image.load()
    seen = set()
    for y in range(0, height, step):
        for x in range(0, width, step):
            r, g, b = pixels[x, y]
            seen.add(r | g << 8 | b << 16)
    return seen


def drawn_pixel_count(image, background, step=2):
    width, height = image.size
    pixels = image.load()
    target = (background & 0xFF, background >> 8 & 0xFF, background >> 16 & 0xFF)
    return sum(1 for y in range(0, height, step) for x in range(0, width, step)
               if pixels[x, y] != target)


def pixel(image, x, y):
    return pixel_colour(image, x, y)


def segment_misses(image, segments, seen=lambda x, y: True):
    """Sample points along each segment (ends left out, where segments meet) that have
    no pixel of the segment's pen colour within one pixel; only points for which
    `seen(x, y)` holds are looked at."""
    misses = []
    for (x0, y0), (x1, y1), pen in segments:
        colour = DISTINCT_COLOURS[pen]
        for i in range(2, 19):
            t = i / 20
            x, y = round(x0 + t * (x1 - x0)), round(y0 + t * (y1 - y0))
            if not seen(x, y):
                continue
            near = {pixel(image, x + dx, y + dy) for dx in (-1, 0, 1) for dy in (-1, 0, 1)}
            if colour not in near:
                misses.append((pen, x, y, sorted(near)))
    return misses


# Two kinds of run for starting and closing at random moments.
START_STOP_MODES = {
    # "Peano curve" generation 2: 81 segments (about 0.4 s), then a 0.3 s pause.
    "fixed": fixed_settings(10, 2, 2, 45, time_out=3),
    # Figures of seconds each, one after the other; the pens are rebuilt between them.
    "slideshow": {"DefaultMode": 1, "TimeOut": 0, "NumFractal": 0, "LineWidth": 2,
                  "iterFrom": 0, "iterTo": 0, "Angle": 0, "CurPalette": 1, "Background": 0},
}


def start_and_close_at_random_moments(wine, mode, cycles, seed=None):
    """Starts the saver in `mode` and closes it with a key after a random 0 .. 1.2 s,
    `cycles` times: every run must end with 0 and leave no window and no process."""
    wine.set_settings(START_STOP_MODES[mode])
    seed = seed if seed is not None else f"start-stop-{mode}"
    chance = random.Random(seed)
    for cycle in range(cycles):
        process = start_full_screen(wine)
        time.sleep(chance.uniform(0.0, 1.2))
        wine.display.xdotool("key", "a")
        status = wait_exit(process)
        assert status == 0, f"seed {seed} cycle {cycle}: exit {status}: {wine.output(process)}"
        assert find_windows(wine.display, FULL_SCREEN_TITLE) == [], f"seed {seed} cycle {cycle}"
    assert wine.running("Lumerin.scr") == [], f"seed {seed}"


def saver_resources(wine, program="Lumerin.scr"):
    """What a running program (the saver unless told) holds: its GDI objects, as the
    procstat driver counted them, and its private memory in bytes. Wine reports no
    PrivateUsage, so that is then the Linux process's resident anonymous memory."""
    status, out = wine.run(driver("procstat"), program)
    assert status == 0, f"no {program} process: {out}"
    words = out.split()
    figures = dict(zip(words[0::2], words[1::2]))
    result = {"gdi": int(figures["gdi"]), "gdi_source": figures["by"],
              "private": int(figures["private"]), "private_source": "PrivateUsage"}
    if result["private"] == 0:
        pids = wine.running(program)
        assert pids, f"no {program} process"
        status_text = Path(f"/proc/{pids[0]}/status").read_text()
        kilobytes = re.search(r"^RssAnon:\s+(\d+) kB", status_text, re.M).group(1)
        result.update(private=int(kilobytes) * 1024, private_source="Linux RssAnon")
    return result
