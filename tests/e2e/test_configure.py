"""The configuration dialog of the real program (`Lumerin.scr /c`), driven from another
program as a user's clicks reach it: what it shows, what it greys, what OK and Cancel
leave in the registry, the swatches on screen, the About box and the help file."""

import pytest

from dialogs import (BUILD, ABOUT, ANGLE, ANGLE_TEXT, BACKGROUND, CANCEL, FIXED_FRACTAL_GROUP,
                     FRACTAL, FROM, HELP, OK, PALETTE, PAUSE, PAUSE_TEXT, SLIDESHOW, SWATCHES,
                     TB_THUMBTRACK, TO, VK_ESCAPE, WEBSITE, WIDTH, WIDTH_TEXT, MONITORS,
                     ConfigureMode,
                     about_title, enabled, numbers, text, title, web_address)
from harness import SCR, SETTINGS_KEY, driver, find_windows, pixel_colour, wait_for

# The program exists once its entry is built; until then there is nothing to drive.
pytestmark = pytest.mark.skipif(not SCR.is_file(), reason="Lumerin.scr is not built")

# Every value in range and none at its default; colours unlike any built-in palette.
STORED = {"NumFractal": 4, "DefaultMode": 0, "CurPalette": 2, "TimeOut": 37, "LineWidth": 3,
          "iterFrom": 2, "iterTo": 9, "Angle": 275, "Background": 0x336699,
          **{f"Color{i}": 0x102030 + 0x0A0B0C * i for i in range(10)}, "Monitors": 2}

# Built-in palette 3, "White gradient", colour 0 first.
WHITE_GRADIENT = [0x646464, 0x737373, 0x828282, 0x919191, 0xA0A0A0, 0xB9B9B9, 0xC8C8C8,
                  0xD7D7D7, 0xE6E6E6, 0xFAFAFA]


def test_opening_in_slideshow_mode_greys_exactly_the_fixed_fractal_group(wine):
    wine.set_settings({**STORED, "DefaultMode": 1})
    dialog = ConfigureMode(wine)
    state = dialog.state()
    assert state["caption"] == title()
    assert state["slideshow"] == 1
    for control, on in enabled(state).items():
        assert on == (control not in FIXED_FRACTAL_GROUP), control
    # Frames, group boxes and labels without an id stay as they are.
    assert all(c["enabled"] for c in state["controls"] if c["id"] == -1)
    assert {OK, CANCEL, 2000, ABOUT, SLIDESHOW, PAUSE, BACKGROUND} <= {
        c for c, on in enabled(state).items() if on}


def test_dialog_shows_the_stored_settings_and_follows_the_user(wine):
    wine.set_settings(STORED)
    dialog = ConfigureMode(wine)
    state = dialog.state()
    assert state["lists"][str(FROM)] == {"selection": 2, "items": numbers(1, 16)}
    assert state["lists"][str(TO)]["selection"] == 9
    assert state["lists"][str(FRACTAL)]["selection"] == 4
    assert len(state["lists"][str(FRACTAL)]["items"]) == 16
    assert state["lists"][str(PALETTE)] == {
        "selection": 2,
        "items": ["Blue", "Autumn", "Raspberry palette", "White gradient", "New Year"]}
    assert (text(state, PAUSE_TEXT), text(state, WIDTH_TEXT), text(state, ANGLE_TEXT)) == \
        ("3.7", "3", "275")
    assert state["tracks"] == {str(PAUSE): 37, str(WIDTH): 3, str(ANGLE): 275}
    assert state["lists"][str(MONITORS)] == {
        "selection": 2,
        "items": ["One figure across all", "A figure on each", "Primary monitor only"]}

    # Entry 2 offers four generations and starts at 90 degrees.
    state = dialog.state("select", FRACTAL, 2)
    assert state["lists"][str(FROM)] == {"selection": 0, "items": numbers(1, 4)}
    assert state["lists"][str(TO)] == {"selection": 3, "items": numbers(1, 4)}
    assert state["tracks"][str(ANGLE)] == 90
    assert text(state, ANGLE_TEXT) == "90"
    assert state["tracks"][str(PAUSE)] == 37  # the pause is left alone

    # Back to entry 4 (16 generations): each end of the range drags the other along.
    state = dialog.state("select", FRACTAL, 4, "select", TO, 2, "select", FROM, 4)
    assert (state["lists"][str(FROM)]["selection"], state["lists"][str(TO)]["selection"]) == (4, 4)
    state = dialog.state("select", FROM, 3, "select", TO, 1)
    assert (state["lists"][str(FROM)]["selection"], state["lists"][str(TO)]["selection"]) == (1, 1)

    # The pause label while the thumb is dragged.
    labels = {}
    for position in (0, 1, 10, 15, 50):
        labels[position] = text(dialog.state("slide", PAUSE, position, TB_THUMBTRACK), PAUSE_TEXT)
    assert labels == {0: "0.", 1: "0.1", 10: "1.", 15: "1.5", 50: "5."}

    # Nothing reached the registry yet.
    assert wine.settings() == STORED
    dialog.drive("click", CANCEL)
    assert dialog.finish() == 0


def swatch_colours(display, dialog):
    rects = dialog.rects(SWATCHES + [BACKGROUND])
    shot = display.screenshot()
    return {control: pixel_colour(shot, (r[0] + r[2]) // 2, (r[1] + r[3]) // 2)
            for control, r in rects.items()}


def test_loading_a_palette_repaints_the_ten_swatches_and_not_the_background(wine, display):
    wine.set_settings(STORED)
    dialog = ConfigureMode(wine)
    dialog.drive()  # the dialog is up
    before = wait_for(lambda: (lambda c: c if c[103] == STORED["Color0"] else None)(
        swatch_colours(display, dialog)))
    assert before, "the swatches never showed the stored colours"
    assert [before[c] for c in SWATCHES] == [STORED[f"Color{i}"] for i in range(10)]
    assert before[BACKGROUND] == STORED["Background"]

    dialog.drive("select", PALETTE, 3)
    after = wait_for(lambda: (lambda c: c if c[103] == WHITE_GRADIENT[0] else None)(
        swatch_colours(display, dialog)))
    assert after, "the swatches never showed the palette"
    assert [after[c] for c in SWATCHES] == WHITE_GRADIENT
    assert after[BACKGROUND] == STORED["Background"]
    display.screenshot().save(wine.root / "palette.png")


def test_ok_saves_all_twenty_values_as_shown(wine):
    wine.set_settings(STORED)
    dialog = ConfigureMode(wine)
    dialog.drive("select", FRACTAL, 2, "select", FROM, 1,
                 "slide", PAUSE, 15, TB_THUMBTRACK, "slide", WIDTH, 5, 7,
                 "select", PALETTE, 3, "press", SLIDESHOW, "select", MONITORS, 1)
    # Ticking the box greys the group; its values are saved all the same.
    state = dialog.state()
    assert state["slideshow"] == 1 and not enabled(state)[FRACTAL]
    dialog.drive("click", OK)
    assert dialog.finish() == 0
    assert wine.settings() == {
        **STORED, "NumFractal": 2, "DefaultMode": 1, "CurPalette": 3, "TimeOut": 15,
        "LineWidth": 5, "iterFrom": 1, "iterTo": 3, "Angle": 90, "Monitors": 1,
        **{f"Color{i}": WHITE_GRADIENT[i] for i in range(10)}}


@pytest.mark.parametrize("how", [
    pytest.param(["click", CANCEL], id="Cancel", marks=pytest.mark.short_run),
    pytest.param(["key", FRACTAL, VK_ESCAPE], id="Esc"),
    pytest.param(["close"], id="close box")])
def test_leaving_without_ok_keeps_the_registry_byte_for_byte(wine, how):
    wine.set_settings(STORED)
    before = wine.query(SETTINGS_KEY)
    dialog = ConfigureMode(wine)
    dialog.drive("select", FRACTAL, 7, "slide", ANGLE, 33, TB_THUMBTRACK,
                 "select", PALETTE, 0, "press", SLIDESHOW, "select", MONITORS, 0, *how)
    assert dialog.finish() == 0
    assert wine.query(SETTINGS_KEY) == before


def test_ticking_slideshow_twice_ends_enabled_and_the_mode_waits_for_ok(wine):
    wine.set_settings(STORED)
    dialog = ConfigureMode(wine)
    states = [dialog.state("press", SLIDESHOW), dialog.state("press", SLIDESHOW)]
    assert [s["slideshow"] for s in states] == [1, 0]
    assert not any(enabled(states[0])[c] for c in FIXED_FRACTAL_GROUP)
    assert all(enabled(states[1]).values())
    assert wine.settings()["DefaultMode"] == 0
    dialog.drive("click", OK)
    assert dialog.finish() == 0
    assert wine.settings() == STORED


def test_about_box_opens_over_the_dialog_and_closes_with_esc_and_ok(wine):
    wine.set_settings(STORED)
    opened = wine.root / "opened.txt"
    recorder = str(driver("recorder")).replace("\\", "\\\\")
    target = str(opened).replace("\\", "\\\\")
    # The web site opens in whatever handles https: here, a recorder.
    wine.import_reg("[HKEY_CLASSES_ROOT\\https\\shell\\open\\command]\n"
                    f'@="\\"Z:{recorder}\\" \\"Z:{target}\\" \\"%1\\""\n'.replace("/", "\\\\"))
    dialog = ConfigureMode(wine)

    lines = dialog.drive("click", ABOUT, "owner", about_title())
    assert lines[-1] == "owner 1 disabled 1"
    dialog.drive("click", WEBSITE, window=about_title())
    assert wait_for(lambda: opened.exists() and opened.read_text().strip(), timeout=20) == \
        web_address()
    # The box stays open after the web site was opened; Esc ends it.
    dialog.drive("key", OK, VK_ESCAPE, "gone", about_title(), window=about_title())
    dialog.drive("click", ABOUT, "find", about_title(), "click", OK, "gone", about_title())
    state = dialog.state()
    assert enabled(state)[OK]
    dialog.drive("click", CANCEL)
    assert dialog.finish() == 0


def test_screenshot_of_the_dialog_as_a_user_sees_it(wine, display):
    """Saves the dialog's picture (BUILD/configuration.png) for the documentation, after
    checking that the colours in it are those stored."""
    autumn = [0x64C819 + 0x19 * i for i in range(10)]
    wine.set_settings({**STORED, "NumFractal": 13, "iterFrom": 0, "iterTo": 4, "Angle": 90,
                       "CurPalette": 1, "TimeOut": 20, "LineWidth": 2, "Background": 0, "Monitors": 0,
                       **{f"Color{i}": autumn[i] for i in range(10)}})
    dialog = ConfigureMode(wine)
    colours = wait_for(lambda: (lambda c: c if c[112] == autumn[9] else None)(
        swatch_colours(display, dialog)))
    assert colours and [colours[c] for c in SWATCHES] == autumn
    left, top, right, bottom = dialog.rects([0])[0]
    picture = display.screenshot().crop((left, top, right, bottom))
    picture.save(BUILD / "configuration.png")


def test_help_opens_the_help_file_and_leaves_the_dialog_usable(wine, display):
    # The help file lies beside the program, as the installer and the zip put it; the
    # system directory has none.
    assert (SCR.parent / "Lumerin.chm").is_file()
    wine.set_settings(STORED)
    dialog = ConfigureMode(wine)
    dialog.drive("click", HELP)
    # The viewer's window carries the help file's own title.
    assert wait_for(lambda: find_windows(display, "Lumerin help"), timeout=20)
    state = dialog.state("select", FRACTAL, 2)
    assert text(state, ANGLE_TEXT) == "90"
    dialog.drive("click", CANCEL)
    assert dialog.finish() == 0
