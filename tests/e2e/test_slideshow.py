"""The slideshow: one figure after another, each in a built-in palette (never the
user's own colours), on the user's background."""

from saver_run import BACKGROUND, close_with_key, start_full_screen
from harness import wait_for

# The built-in palettes the slideshow picks from (the fifth is never picked), as
# COLORREFs, colour 0 first.
SLIDESHOW_PALETTES = [
    [0xFA001E, 0xFA191E, 0xFA321E, 0xFA4B1E, 0xFA641E,
     0xFA7D1E, 0xFA961E, 0xFAAF1E, 0xFAC81E, 0xFAE11E],
    [0x64C819, 0x64C832, 0x64C84B, 0x64C864, 0x64C87D,
     0x64C896, 0x64C8AF, 0x64C8C8, 0x64C8E1, 0x64C8FA],
    [0xFA19C8, 0xE132C8, 0xC84BC8, 0xAF64C8, 0x967DC8,
     0x7D96C8, 0x64AFC8, 0x4BC8C8, 0x32E1C8, 0x19FAC8],
    [0x646464, 0x737373, 0x828282, 0x919191, 0xA0A0A0,
     0xB9B9B9, 0xC8C8C8, 0xD7D7D7, 0xE6E6E6, 0xFAFAFA],
]
USER_COLOUR = 0x0000FF


def drawing(image):
    """(number of drawn pixels, set of their COLORREFs)."""
    counts = image.getcolors(1 << 20)
    drawn = {r | g << 8 | b << 16: n for n, (r, g, b) in counts}
    drawn.pop(BACKGROUND, None)
    return sum(drawn.values()), set(drawn)


def test_figures_follow_each_other_in_built_in_palettes(wine, display):
    wine.set_settings({"NumFractal": 15, "DefaultMode": 1, "CurPalette": 4, "TimeOut": 0,
                       "LineWidth": 5, "iterFrom": 0, "iterTo": 5, "Angle": 0,
                       "Background": BACKGROUND,
                       **{f"Color{i}": USER_COLOUR for i in range(10)}})
    process = start_full_screen(wine)
    history = []  # (drawn pixels, colours) per screenshot

    def next_figure_started():
        history.append(drawing(display.screenshot()))
        largest = max(count for count, _ in history)
        # A new figure begins with a cleared screen: far fewer drawn pixels than before.
        return largest > 2000 and history[-1][0] < largest // 4

    assert wait_for(next_figure_started, timeout=60, interval=0.25), \
        [count for count, _ in history]
    for count, colours in history:
        assert USER_COLOUR not in colours
        assert any(colours <= set(palette) for palette in SLIDESHOW_PALETTES), sorted(colours)
    used = [i for i, p in enumerate(SLIDESHOW_PALETTES)
            if any(colours and colours <= set(p) for _, colours in history)]
    assert used, "nothing drawn"
    assert close_with_key(wine, process) == 0
