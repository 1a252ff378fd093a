"""Starting and stopping the real saver in the tests' prefix, and reading its drawings."""

import time

from harness import SCR, find_windows, pixel_colour, wait_for

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
    """The exit status, or None when the process is still running after `timeout`."""
    try:
        return process.wait(timeout)
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
