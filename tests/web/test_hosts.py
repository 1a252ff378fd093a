"""The live-wallpaper hosts' packages: their files, and the page's answer to each host's
property callback."""
import json
import os
import subprocess
import time
import zipfile

import pytest

LIVELY_TYPES = {  # control type: (required keys, allowed keys, type of value)
    "slider": ({"text", "min", "max", "step"}, {"type", "value", "text", "min", "max", "step"},
               (int, float)),
    "dropdown": ({"text", "items"}, {"type", "value", "text", "items"}, int),
    "checkbox": ({"text"}, {"type", "value", "text"}, bool),
    "color": ({"text"}, {"type", "value", "text"}, str),
}
ENGINE_TYPES = {"slider": (int, float), "combo": str, "bool": bool, "color": str}
SETTINGS = ["slideshow", "fractal", "from", "to", "pause", "width", "angle", "palette",
            "background"]


def package(variable):
    path = os.environ.get(variable)
    if not path:
        pytest.fail(f"{variable} must name the package")
    return zipfile.ZipFile(path)


def titles():
    listing = subprocess.run([os.environ["LUMERIN_TOOL"], "list"], capture_output=True,
                             text=True, check=True).stdout.splitlines()[1:]
    return [f"{line.split()[0]} {line[6:30].strip()}" for line in listing]


def test_lively_package_holds_the_page_and_valid_description_and_properties():
    with package("LUMERIN_LIVELY_ZIP") as z:
        names = set(z.namelist())
        info = json.loads(z.read("LivelyInfo.json"))
        properties = json.loads(z.read("LivelyProperties.json"))
        page = z.read("index.html")
    assert info["Type"] == 1  # a web page
    assert info["FileName"] in names and info["IsAbsolutePath"] is False
    assert info["Thumbnail"] in names and info["Title"] == "Lumerin"
    assert page == open(os.environ["LUMERIN_PAGE"], "rb").read()
    assert list(properties) == SETTINGS
    for name, control in properties.items():
        required, allowed, value_type = LIVELY_TYPES[control["type"]]
        assert required <= set(control) <= allowed, name
        assert isinstance(control["value"], value_type), name
    assert properties["fractal"]["items"] == titles()
    assert properties["palette"]["items"][properties["palette"]["value"]] == "Autumn"


def test_wallpaper_engine_package_holds_the_page_and_a_web_project():
    with package("LUMERIN_WALLPAPER_ENGINE_ZIP") as z:
        names = set(z.namelist())
        project = json.loads(z.read("project.json"))
        page = z.read("index.html")
    assert project["type"] == "web" and project["file"] in names
    assert page == open(os.environ["LUMERIN_PAGE"], "rb").read()
    properties = project["general"]["properties"]
    assert list(properties) == SETTINGS
    assert sorted(p["order"] for p in properties.values()) == list(range(len(SETTINGS)))
    for name, p in properties.items():
        assert p["text"] and isinstance(p["value"], ENGINE_TYPES[p["type"]]), name
        if p["type"] == "combo":
            assert p["value"] in [o["value"] for o in p["options"]]
        if p["type"] == "slider":
            assert p["min"] <= p["value"] <= p["max"]
    assert [o["label"] for o in properties["fractal"]["options"]] == titles()


def apply(page, call):
    before = page.evaluate("lumerin.status().drawings")
    page.evaluate(call)
    # The host's values start a new drawing.
    page.wait_for(f"lumerin.status().drawings !== {before} && lumerin.status().segments > 0")
    return page.evaluate("lumerin.status()")


def corner(page):
    return page.screenshot().getpixel((0, 0))


def test_lively_properties_change_what_is_drawn(page, page_url):
    with package("LUMERIN_LIVELY_ZIP") as z:
        properties = json.loads(z.read("LivelyProperties.json"))
    page.open(page_url())
    page.wait_for("window.lumerin && lumerin.status()")
    # Lively sends every property at start, one call each, then each change.
    calls = [f"livelyPropertyListener({json.dumps(n)}, {json.dumps(p['value'])})"
             for n, p in properties.items()]
    status = apply(page, "; ".join(calls))
    assert status["slideshow"] is True
    status = apply(page, "livelyPropertyListener('slideshow', false); "
                         "livelyPropertyListener('fractal', 6); "
                         "livelyPropertyListener('background', '#204060')")
    assert (status["slideshow"], status["fractal"], status["lineWidth"]) == (False, 6, 2)
    assert corner(page) == (0x20, 0x40, 0x60)


def test_wallpaper_engine_properties_change_what_is_drawn(page, page_url):
    with package("LUMERIN_WALLPAPER_ENGINE_ZIP") as z:
        properties = json.loads(z.read("project.json"))["general"]["properties"]
    page.open(page_url())
    page.wait_for("window.lumerin && lumerin.status()")
    everything = {n: {"value": p["value"]} for n, p in properties.items()}
    status = apply(page, f"wallpaperPropertyListener.applyUserProperties({json.dumps(everything)})")
    assert status["slideshow"] is True and corner(page) == (0, 0, 0)
    # Later calls hold only what changed.
    status = apply(page, "wallpaperPropertyListener.applyUserProperties({"
                         "slideshow: {value: false}, fractal: {value: '14'}, "
                         "width: {value: 5}, background: {value: '0.5 0 1'}})")
    assert (status["slideshow"], status["fractal"], status["lineWidth"]) == (False, 14, 5)
    assert corner(page) == (128, 0, 255)
    status = apply(page, "wallpaperPropertyListener.applyUserProperties({pause: {value: 7}})")
    assert (status["fractal"], status["pause"], status["lineWidth"]) == (14, 7, 5)


def test_lively_properties_one_call_at_a_time_restart_the_drawing_once(page, page_url):
    with package("LUMERIN_LIVELY_ZIP") as z:
        properties = json.loads(z.read("LivelyProperties.json"))
    page.open(page_url("?fractal=4&from=12&to=12"))
    page.wait_for("window.lumerin && lumerin.status() && lumerin.status().segments > 0")
    before = page.evaluate("lumerin.status().drawings")
    # Each call a task of its own, with the host's work between them, as Lively sends them.
    for name, p in properties.items():
        page.evaluate(f"livelyPropertyListener({json.dumps(name)}, {json.dumps(p['value'])})")
        time.sleep(0.02)
    page.wait_for(f"lumerin.status().drawings > {before} && lumerin.status().slideshow")
    time.sleep(0.5)
    assert page.evaluate("lumerin.status().drawings") == before + 1


def test_wallpaper_engine_pause_stops_the_drawing_and_it_goes_on_from_where_it_stood(
        page, page_url):
    # Dragon, generation 12 counted from 1: ten seconds of growing.
    page.open(page_url("?fractal=4&from=12&to=12"))
    page.wait_for("window.lumerin && lumerin.status() && lumerin.status().segments > 0")
    page.evaluate("wallpaperPropertyListener.setPaused(true)")
    paused = page.evaluate("lumerin.status()")
    time.sleep(1)
    # No frame while paused, though the page is visible.
    assert page.evaluate("lumerin.status()")["lastFrame"] == paused["lastFrame"]
    page.evaluate("wallpaperPropertyListener.setPaused(false)")
    time.sleep(0.3)
    status = page.evaluate("lumerin.status()")
    grown = status["segments"] - paused["segments"]
    assert 0 < grown <= (status["lastFrame"] - paused["lastFrame"] - 1000) / 5 + 2, status


def frames_over(page, milliseconds):
    """The page's frames, segments and last frame time across `milliseconds` of growing."""
    return page.evaluate(f"""new Promise(resolve => {{
        const before = lumerin.status();
        setTimeout(() => {{
          const after = lumerin.status();
          resolve({{frames: after.frames - before.frames,
                   segments: after.segments - before.segments,
                   drawn: after.lastFrame - before.lastFrame}});
        }}, {milliseconds});
      }})""")


@pytest.mark.parametrize("cap", [10, 3])
def test_wallpaper_engine_frame_rate_limit_caps_the_frames_but_not_the_pace(page, page_url, cap):
    # Dragon, generation 12 counted from 1: 2048 segments, ten seconds of growing.
    page.open(page_url("?fractal=4&from=12&to=12"))
    page.wait_for("window.lumerin && lumerin.status() && lumerin.status().segments > 0")
    free = frames_over(page, 1000)
    assert free["frames"] > 2 * 10, f"the browser itself gives few frames: {free}"
    page.evaluate(f"wallpaperPropertyListener.applyGeneralProperties({{fps: {cap}}})")
    time.sleep(0.3)
    capped = frames_over(page, 2000)
    assert cap <= capped["frames"] <= 2 * cap + 1, capped
    # Each frame draws every segment due by its time: one every 5 ms, as without a cap.
    assert abs(capped["segments"] - capped["drawn"] / 5) <= 2, capped
    assert page.evaluate("lumerin.status().drawings") == 1
    # No limit again: as many frames as the browser gives.
    page.evaluate("wallpaperPropertyListener.applyGeneralProperties({fps: 0})")
    assert frames_over(page, 500)["frames"] > 10
