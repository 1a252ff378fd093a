"""The full-screen saver in the fixed mode: its window, and the figures it draws with
the user's colours, line width, start heading and background, pixel for pixel."""

import math

import pytest

from harness import driver, find_windows, wait_for
from saver_run import (BACKGROUND, DISTINCT_COLOURS, FULL_SCREEN_TITLE, close_with_key,
                       colours_in, fixed_settings, pixel, segment_misses,
                       start_full_screen, still_running_after)

# (entry, Angle, segments as (start, end, pen)) on an 800 x 600 screen: margin 48.
FIGURES = {
    "island": (6, 0, [((49, 552), (752, 552), 1), ((752, 552), (752, 49), 2),
                      ((752, 49), (49, 48), 3), ((49, 48), (48, 552), 4)]),
    # The Angle setting replaces the built-in start heading: the square starts upwards.
    "island_heading_90": (6, 90, [((752, 552), (752, 49), 1), ((752, 49), (49, 48), 2),
                                  ((49, 48), (48, 552), 3), ((48, 552), (752, 552), 4)]),
    "koch_snowflake": (7, 20, [((49, 552), (752, 377), 1), ((752, 377), (179, 48), 2),
                               ((179, 48), (48, 552), 3)]),
    "snowflake": (14, 10, [((401, 301), end, pen) for pen, end in enumerate(
        [(752, 254), (523, 48), (171, 95), (48, 347), (278, 552), (630, 506)], start=1)]),
}


def distance_to_segment(px, py, segment):
    (x0, y0), (x1, y1), _ = segment
    dx, dy = x1 - x0, y1 - y0
    t = max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (x0 + t * dx), py - (y0 + t * dy))


def background_misses(image, segments):
    """Grid points well away from every segment that are not the background colour."""
    misses = []
    for y in range(3, 600, 23):
        for x in range(3, 800, 29):
            if all(distance_to_segment(x, y, s) > 3 for s in segments):
                if pixel(image, x, y) != BACKGROUND:
                    misses.append((x, y, hex(pixel(image, x, y))))
    return misses


@pytest.mark.parametrize("name", [pytest.param(name, marks=pytest.mark.short_run)
                                  if name == "island" else name for name in FIGURES])
def test_first_generation_drawn_with_the_users_pens_and_background(wine, display, name):
    entry, angle, segments = FIGURES[name]
    wine.set_settings(fixed_settings(entry, 0, 0, angle))
    process = start_full_screen(wine)

    def complete():
        image = display.screenshot()
        return image if not segment_misses(image, segments) else None

    image = wait_for(complete, timeout=15, interval=0.2) or display.screenshot()
    assert segment_misses(image, segments) == []
    assert background_misses(image, segments) == []
    assert close_with_key(wine, process) == 0


def test_one_pixel_lines_leave_out_their_last_pixel(wine, display):
    wine.set_settings(fixed_settings(6, 0, 0, 0))
    process = start_full_screen(wine)
    pen1, pen2 = DISTINCT_COLOURS[1], DISTINCT_COLOURS[2]

    def drawn():
        image = display.screenshot()
        return image if pixel(image, 48, 300) == DISTINCT_COLOURS[4] else None

    image = wait_for(drawn, timeout=15, interval=0.2)
    assert image is not None
    # The bottom edge: x 49 .. 751 on row 552; 752 belongs to the next segment.
    assert {pixel(image, x, 552) for x in range(49, 752)} == {pen1}
    assert {pixel(image, 752, y) for y in range(50, 553)} == {pen2}
    # Because of the 3.1415 in the heading, the square ends one pixel short of its
    # start, and that last pixel is not drawn.
    assert pixel(image, 48, 552) == BACKGROUND
    assert pixel(image, 47, 552) == BACKGROUND
    assert close_with_key(wine, process) == 0


def test_pens_have_the_users_line_width(wine, display):
    wine.set_settings(fixed_settings(6, 0, 0, 0, LineWidth=3))
    process = start_full_screen(wine)
    pen1 = DISTINCT_COLOURS[1]
    image = wait_for(lambda: (lambda i: i if pixel(i, 400, 552) == pen1 else None)(
        display.screenshot()), timeout=15, interval=0.2)
    assert image is not None
    assert [pixel(image, 400, y) for y in range(549, 556)] == \
        [BACKGROUND, BACKGROUND, pen1, pen1, pen1, BACKGROUND, BACKGROUND]
    assert close_with_key(wine, process) == 0


def test_a_repaint_leaves_the_class_background_until_the_next_drawing(wine, display):
    # The erase fills the user's background, then the default handling erases once more
    # with the class's black brush; the next drawing clears to the user's background.
    wine.set_settings(fixed_settings(6, 0, 0, 0, time_out=30))
    process = start_full_screen(wine)
    assert wait_for(lambda: pixel(display.screenshot(), 400, 552) == DISTINCT_COLOURS[1],
                    timeout=15, interval=0.2)
    status, out = wine.run(driver("poke"), "redraw")
    assert "redrawn=1" in out, out
    assert wait_for(lambda: pixel(display.screenshot(), 400, 300) == 0x000000,
                    timeout=2, interval=0.05)
    assert wait_for(lambda: pixel(display.screenshot(), 400, 300) == BACKGROUND,
                    timeout=10, interval=0.2)
    assert close_with_key(wine, process) == 0


def test_fixed_mode_repeats_its_generations(wine, display):
    # Generations 0 and 1 of "Island": 4 segments with pens 1 to 4, then 36 with all ten.
    wine.set_settings(fixed_settings(6, 0, 1, 0, time_out=8))
    process = start_full_screen(wine)
    first = {DISTINCT_COLOURS[p] for p in (1, 2, 3, 4)}
    seen = []

    def shows(generation):
        def check():
            colours = colours_in(display.screenshot(), step=1) & set(DISTINCT_COLOURS)
            kind = 0 if colours == first else 1 if colours == set(DISTINCT_COLOURS) else None
            if kind is not None and (not seen or seen[-1] != kind):
                seen.append(kind)
            return kind == generation
        return check

    for generation in (0, 1, 0, 1):
        assert wait_for(shows(generation), timeout=15, interval=0.1), seen
    assert close_with_key(wine, process) == 0


def test_window_is_a_topmost_popup_over_the_whole_screen(wine):
    wine.set_settings(fixed_settings(6, 0, 0, 0))
    process = start_full_screen(wine)
    status, out = wine.run(driver("poke"), "info")
    assert status == 0, out
    info = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    assert info["class"] == "WindowsScreenSaverClass"
    assert info["title"] == "Screen Saver"
    assert info["rect"] == "0,0,800,600"
    style = int(info["style"], 16)
    WS_POPUP, WS_VISIBLE, WS_CLIPSIBLINGS, WS_CLIPCHILDREN = (
        0x80000000, 0x10000000, 0x04000000, 0x02000000)
    assert style & (WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN) == \
        WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN
    assert int(info["exstyle"], 16) & 0x8  # WS_EX_TOPMOST
    assert int(info["classstyle"]) == 43
    assert close_with_key(wine, process) == 0


def test_title_never_changes_and_system_commands_to_switch_away_are_refused(wine):
    wine.set_settings(fixed_settings(6, 0, 0, 0))
    process = start_full_screen(wine)
    status, out = wine.run(driver("poke"), "settext", "Renamed")
    assert "result=0" in out and "title=Screen Saver" in out, out
    for command in (0xF140, 0xF040, 0xF050):  # SC_SCREENSAVE, SC_NEXTWINDOW, SC_PREVWINDOW
        status, out = wine.run(driver("poke"), "send", 0x0112, command, 0)
        assert "result=0" in out, out
    assert still_running_after(process, 0.5)
    assert close_with_key(wine, process) == 0


def test_a_second_full_screen_start_leaves_the_first_alone(wine, display):
    wine.set_settings(fixed_settings(6, 0, 0, 0))
    first = start_full_screen(wine)
    status, out = wine.run(wine_scr(), "/s")
    assert status == 0, out
    assert first.poll() is None
    assert len(find_windows(display, FULL_SCREEN_TITLE)) == 1
    status, out = wine.run(driver("poke"), "count")
    assert out.strip() == "count 1"
    assert close_with_key(wine, first) == 0


def wine_scr():
    from harness import SCR
    return SCR
