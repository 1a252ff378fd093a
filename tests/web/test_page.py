"""The web page in a real browser: what it draws, how fast, at which size, with which
settings, and that its figures are the native tool's."""
import os
import subprocess
import time

import pytest
from PIL import Image, ImageChops

from browser import Browser

# A Koch snowflake of 192 segments that do not cross: all ten pens show.
KOCH = "?fractal=7&from=4&to=4&pause=50&width=3&palette=2&background=102030"


def colour(colorref):
    return (colorref & 0xFF, colorref >> 8 & 0xFF, colorref >> 16 & 0xFF)


def open_page(page, url):
    page.open(url)
    return page.wait_for("window.lumerin && lumerin.status() && lumerin.status().segments > 0 "
                         "&& lumerin.status()")


def lit_box(image, background):
    """The bounding box (left, top, right, bottom, inclusive) of the non-background pixels."""
    plain = Image.new("RGB", image.size, background)
    left, top, right, bottom = ImageChops.difference(image, plain).getbbox()
    return left, top, right - 1, bottom - 1


# How soon the first segment shows is a figure of `make bench`, not a bound here: a machine
# compiling beside the test took 1.5 s.
def test_draws_in_pen_colours_then_pauses_without_frames(page, page_url):
    status = open_page(page, page_url(KOCH))
    assert status["drawingStart"] >= 0
    # The page and the module inside it, nothing from the network.
    assert all(url.startswith(("file:", "data:")) for url in page.requests()), page.requests()
    status = page.wait_for("lumerin.status().phase === 'pausing' && lumerin.status()")
    assert status["segments"] == status["figureSegments"] == 192

    image = page.screenshot()
    assert image.size == (800, 600)
    background = colour(status["background"])
    pens = {colour(c) for c in status["colors"]}
    seen = set(image.getdata())
    assert seen - pens == {background}, "a pixel that is neither background nor pen"
    assert pens <= seen, "every pen draws"
    folder = os.environ.get("LUMERIN_SCREENSHOTS")
    if folder:
        image.save(os.path.join(folder, "web-page.png"))

    # The pause asks for no animation frame: the last one stays the last.
    before = status["lastFrame"]
    time.sleep(0.5)
    assert page.evaluate("lumerin.status().lastFrame") == before


@pytest.mark.parametrize("width, height, scale", [(500, 400, 1), (400, 300, 2)])
def test_after_a_resize_the_figure_fills_the_new_size_in_device_pixels(page, page_url, width,
                                                                       height, scale):
    open_page(page, page_url(KOCH))
    page.wait_for("lumerin.status().phase === 'pausing'")
    page.resize(width, height, scale)
    pixels_wide, pixels_high = width * scale, height * scale
    status = page.wait_for(f"lumerin.status().width === {pixels_wide} && "
                           f"lumerin.status().height === {pixels_high} && lumerin.status()")
    image = page.screenshot()
    assert image.size == (pixels_wide, pixels_high)
    background = colour(status["background"])
    assert set(image.getdata()) - {colour(c) for c in status["colors"]} == {background}
    margin = pixels_wide * 6 // 100
    left, top, right, bottom = lit_box(image, background)
    # The figure is stretched to the drawing area inside the margin; round pens of width 3,
    # times the pixel ratio, reach half their width past it.
    for got, want in [(left, margin), (top, margin), (right, pixels_wide - margin),
                      (bottom, pixels_high - margin)]:
        assert abs(got - want) <= (3 * scale + 1) // 2, (left, top, right, bottom, margin)


def line_width(image, background):
    """The width of the top line of a figure whose top is a nearly flat line across the
    middle: its fewest lit pixels in the upper half of a middle column."""
    width, height = image.size
    return min(sum(image.getpixel((x, y)) != background for y in range(height // 2))
               for x in range(width // 3, 2 * width // 3))


@pytest.mark.parametrize("scale", [1, 2])
def test_line_widths_grow_with_the_pixel_ratio_as_windows_grows_them_with_dpi(page, page_url,
                                                                              scale):
    # Island, generation 1: a rectangle along the margin. Its top line slopes a little, as
    # every line does with the saver's 3.1415.
    page.resize(400, 300, scale)
    status = open_page(page, page_url("?fractal=6&from=1&to=1&width=2&pause=50"))
    status = page.wait_for("lumerin.status().phase === 'pausing' && lumerin.status()")
    assert (status["width"], status["dpi"]) == (400 * scale, 96 * scale)
    image = page.screenshot()
    assert line_width(image, colour(status["background"])) == 2 * scale


def test_a_long_gap_between_frames_counts_as_a_pause(page, page_url):
    # Dragon, generation 12 counted from 1: 2048 segments, ten seconds of growing.
    open_page(page, page_url("?fractal=4&from=12&to=12"))
    # The renderer stops for 2 s without hiding the page, as a host's pause or a sleeping
    # laptop stops it; two frames after it, the figure has grown by those two frames'
    # segments, not by the 400 that fell due meanwhile.
    seen = page.evaluate("""new Promise(resolve => {
        const before = lumerin.status().segments;
        const end = performance.now() + 2000;
        while (performance.now() < end) {}
        requestAnimationFrame(() => requestAnimationFrame(() =>
            resolve({before: before, after: lumerin.status().segments})));
      })""")
    assert 0 < seen["after"] - seen["before"] <= 20, seen


def test_draws_a_segment_every_5_ms(page, page_url):
    # Dragon, generation 10 counted from 1: 512 segments, more than 1 s of growing.
    open_page(page, page_url("?fractal=4&from=10&to=10"))
    # The first animation frame at least 1 s into the drawing, seen right after the page's
    # own work for that frame.
    seen = page.evaluate("""new Promise(resolve => {
        const start = lumerin.status().drawingStart;
        (function look() {
          const s = lumerin.status();
          if (s.lastFrame - start >= 1000) resolve({segments: s.segments,
                                                   elapsed: s.lastFrame - start});
          else requestAnimationFrame(look);
        })();
      })""")
    expected = seen["elapsed"] / 5
    assert abs(seen["segments"] - expected) <= 0.1 * 200, seen


def test_figures_are_the_native_tools_bit_for_bit(page, page_url):
    tool = os.environ.get("LUMERIN_TOOL")
    if not tool or not os.access(tool, os.X_OK):
        pytest.fail("LUMERIN_TOOL must name the native lumerin tool (make native)")
    native = subprocess.run([tool, "digest", "--size", "800x600"], capture_output=True,
                            text=True, check=True).stdout
    open_page(page, page_url())
    in_page = page.evaluate("lumerin.digests(800, 600)")
    assert len(native.splitlines()) == 99
    assert in_page == native
    # The animation goes on afterwards, at the canvas's size.
    assert page.wait_for("lumerin.status().segments > 0 && lumerin.status()")["width"] == 800


@pytest.mark.parametrize("query, expected, warnings", [
    ("?fractal=7&from=2&to=3&pause=0&width=4&angle=90&palette=3&background=336699",
     {"slideshow": False, "fractal": 7, "from": 1, "to": 2, "pause": 0, "lineWidth": 4,
      "angle": 90, "background": 0x996633, "colors": [0x646464, 0x737373, 0x828282, 0x919191,
                                                      0xA0A0A0, 0xB9B9B9, 0xC8C8C8, 0xD7D7D7,
                                                      0xE6E6E6, 0xFAFAFA]}, 0),
    # A generation past the fractal's last means its last; a From after To lifts To.
    ("?fractal=4&from=99&to=3", {"slideshow": False, "from": 15, "to": 15}, 0),
    ("?fractal=2&slideshow", {"slideshow": True}, 0),
    ("?slideshow&fractal=5", {"slideshow": False, "fractal": 5}, 0),
    # Each bad value alone is left out, with a warning, and its default kept.
    ("?fractal=99&width=9&background=red&pause=-1&speed=2&from=0",
     {"slideshow": True, "pause": 20, "background": 0}, 6),
    ("?fractal=3&width=&slideshow=maybe", {"slideshow": False, "fractal": 3, "lineWidth": 2}, 2),
])
def test_url_settings_as_the_display_mode_reads_them(page, page_url, query, expected,
                                                     warnings):
    status = open_page(page, page_url(query))
    assert {key: status[key] for key in expected} == expected
    messages = page.console_messages("warning")
    assert len(messages) == warnings, messages
    assert all("ignored" in m for m in messages)


def test_a_hidden_page_draws_nothing_and_goes_on_from_where_it_was(browser, page, page_url):
    # A tab opened behind the one in front (`page`) is hidden.
    tab = browser.new_page(800, 600, background=True)
    try:
        tab.open(page_url("?fractal=4&from=10&to=10"))
        tab.wait_for("window.lumerin && lumerin.status()")
        assert tab.evaluate("document.hidden")
        opened = tab.evaluate("performance.now()")
        time.sleep(1)
        assert tab.evaluate("lumerin.status().segments") == 0
        tab.activate()
        status = tab.wait_for("lumerin.status().segments > 0 && lumerin.status()")
        # Paced from the moment it showed, not from the moment it opened: the figure does
        # not jump ahead by the hidden second.
        assert status["drawingStart"] >= opened + 1000 - 20
        time.sleep(0.3)
        status = tab.evaluate("lumerin.status()")
        assert 0 < status["segments"] <= (status["lastFrame"] - opened - 1000) / 5 + 2
    finally:
        tab.close()


def test_with_reduced_motion_each_figure_shows_whole_at_its_first_frame(page_url):
    browser = Browser(["--force-prefers-reduced-motion"])
    try:
        page = browser.new_page(800, 600)
        # Dragon, generations 10 and 11 counted from 1: 512 and 1,024 segments, which grow
        # for 2.5 and 5 s; a pause of 0, which still keeps each whole figure for a second.
        page.open(page_url("?fractal=4&from=10&to=11&pause=0"))
        first = page.wait_for("window.lumerin && lumerin.status()")
        assert first["reducedMotion"] is True
        assert (first["frames"], first["segments"], first["figureSegments"]) == (1, 512, 512)
        assert first["phase"] == "pausing"
        second = page.wait_for("lumerin.status().drawings === 2 && lumerin.status()", timeout=5)
        assert second["segments"] == second["figureSegments"] == 1024
        # No frames of growth: the pause's end, perhaps one more, then the whole figure.
        assert second["frames"] - first["frames"] <= 2, second
        assert second["drawingStart"] - first["drawingStart"] >= 1000
    finally:
        browser.close()


def test_asking_for_reduced_motion_mid_growth_shows_the_figure_whole_at_once(page, page_url):
    # Dragon, generation 12 counted from 1: 2048 segments, ten seconds of growing.
    status = open_page(page, page_url("?fractal=4&from=12&to=12&pause=0"))
    assert status["reducedMotion"] is False and status["segments"] < 2048
    page.emulate_media(prefers_reduced_motion="reduce")
    status = page.wait_for("lumerin.status().phase === 'pausing' && lumerin.status()", timeout=2)
    assert status["segments"] == 2048 and status["drawings"] == 1
    # And back: the next figure grows again.
    page.emulate_media(prefers_reduced_motion="no-preference")
    status = page.wait_for("lumerin.status().drawings === 2 && lumerin.status()", timeout=3)
    assert 0 < status["segments"] < 2048
