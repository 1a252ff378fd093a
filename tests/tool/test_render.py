"""lumerin render and lumerin gallery: the drawing pass seen from outside."""
import os
import re

import pytest
from PIL import Image

ISLAND = ["move 49 552", "line 1 752 552", "line 2 752 49", "line 3 49 48", "line 4 48 552"]


@pytest.mark.parametrize("entry, lines", [
    (6, ISLAND),
    (15, ["move 48 552", "line 1 752 48"]),
    (7, ["move 49 552", "line 1 752 377", "line 2 179 48", "line 3 48 552"]),
    (14, ["move 401 301", "line 1 752 254", "move 401 301", "line 2 523 48",
          "move 401 301", "line 3 171 95", "move 401 301", "line 4 48 347",
          "move 401 301", "line 5 278 552", "move 401 301", "line 6 630 506"]),
    (5, []),
])
def test_ops_of_generation_zero_on_800x600(lumerin, entry, lines):
    result = lumerin("render", entry, 0, "--size", "800x600", "--ops")
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == lines
    assert result.stderr == ""


def test_angle_replaces_the_start_heading(lumerin):
    # "Shrub" grows to the right from heading 0; its one step has no height: centred.
    result = lumerin("render", 13, 0, "--size", "800x600", "--angle", "0", "--ops")
    assert result.stdout.splitlines() == ["move 48 300", "line 1 752 300"]
    default = lumerin("render", 13, 0, "--size", "800x600", "--ops")
    assert default.stdout.splitlines() == ["move 48 552", "line 1 752 48"]


def test_ops_of_a_large_figure_are_only_moves_and_lines_with_cycling_pens(lumerin):
    symbols = lumerin("generate", 4, 10).stdout
    result = lumerin("render", 4, 10, "--size", "640x480", "--ops")
    assert result.returncode == 0
    lines = result.stdout.splitlines()
    pattern = re.compile(r"^(move -?\d+ -?\d+|line \d -?\d+ -?\d+)$")
    assert all(pattern.match(line) for line in lines)
    pens = [int(line.split()[1]) for line in lines if line.startswith("line")]
    assert len(pens) == symbols.count("F")
    assert pens == [(k + 1) % 10 for k in range(len(pens))]
    assert lines[0].startswith("move")  # the dragon is one unbroken line
    assert sum(line.startswith("move") for line in lines) == 1


def test_png_has_the_requested_size_and_the_figure_in_the_palette(lumerin, tmp_path):
    out = tmp_path / "island.png"
    result = lumerin("render", 6, 0, "--size", "800x600", "--png", out, "--palette", 3,
                     "--line-width", 1, "--background", "102030")
    assert result.returncode == 0, result.stderr
    assert result.stdout == ""
    image = Image.open(out).convert("RGB")
    assert image.size == (800, 600)
    assert image.getpixel((400, 552)) == (115, 115, 115)  # pen 1 of "White gradient"
    assert image.getpixel((752, 300)) == (130, 130, 130)  # pen 2
    assert image.getpixel((400, 300)) == (0x10, 0x20, 0x30)
    assert image.getpixel((5, 5)) == (0x10, 0x20, 0x30)


def test_png_defaults_to_autumn_on_black(lumerin, tmp_path):
    out = tmp_path / "small.png"
    assert lumerin("render", 6, 0, "--size", "320x200", "--png", out).returncode == 0
    image = Image.open(out).convert("RGB")
    assert image.size == (320, 200)
    assert image.getpixel((3, 3)) == (0, 0, 0)
    colours = set(image.getdata())
    assert (50, 200, 100) in colours  # pen 1 of "Autumn"


def test_svg_is_written(lumerin, tmp_path):
    out = tmp_path / "weed.svg"
    result = lumerin("render", 15, 2, "--size", "300x200", "--svg", out)
    assert result.returncode == 0, result.stderr
    text = out.read_text()
    assert "<svg" in text
    assert re.search(r'width="300(pt)?"', text)


def test_a_generation_that_does_not_fit_is_noted_and_the_largest_drawn(lumerin):
    fitting = lumerin("render", 14, 4, "--size", "200x100", "--ops")
    result = lumerin("render", 14, 9, "--size", "200x100", "--ops")
    assert result.returncode == 0
    assert "does not fit" in result.stderr and "generation 4" in result.stderr
    assert result.stdout == fitting.stdout


def test_an_unwritable_image_fails(lumerin, tmp_path):
    result = lumerin("render", 6, 0, "--size", "80x60", "--png", tmp_path / "no" / "x.png")
    assert result.returncode == 1
    assert "cannot write" in result.stderr


@pytest.mark.parametrize("args", [
    ["6", "0", "--ops"],                                # no size
    ["6", "0", "--size", "800x600"],                    # nothing to produce
    ["6", "--size", "800x600", "--ops"],                # no generation
    ["16", "0", "--size", "800x600", "--ops"],          # no such entry
    ["6", "0", "--size", "800", "--ops"],
    ["6", "0", "--size", "0x600", "--ops"],
    ["6", "0", "--size", "800x-6", "--ops"],
    ["6", "0", "--size", "99999x600", "--ops"],
    ["6", "0", "--size", "800x600", "--ops", "--angle", "361"],
    ["6", "0", "--size", "800x600", "--ops", "--angle", "-5"],
    ["6", "0", "--size", "800x600", "--ops", "--palette", "5"],
    ["6", "0", "--size", "800x600", "--ops", "--line-width", "0"],
    ["6", "0", "--size", "800x600", "--ops", "--background", "12345"],
    ["6", "0", "--size", "800x600", "--ops", "--background", "GG0000"],
    ["6", "0", "--size", "800x600", "--ops", "--frobnicate"],
    ["6", "0", "--size", "800x600", "--png"],
])
def test_bad_arguments_exit_2_with_one_line(lumerin, args):
    result = lumerin("render", *args)
    assert result.returncode == 2
    assert result.stdout == ""
    assert result.stderr.startswith("lumerin: ")
    assert result.stderr.count("\n") == 1


def test_gallery_writes_one_png_per_entry(lumerin, tmp_path):
    result = lumerin("gallery", tmp_path / "gallery")
    assert result.returncode == 0, result.stderr
    files = sorted((tmp_path / "gallery").glob("*.png"))
    assert [f.name for f in files][:2] == ["00-chain.png", "01-exercise-2-2.png"]
    assert len(files) == 16
    assert (tmp_path / "gallery" / "04-harter-heighway-dragon.png") in files
    for f in files:
        image = Image.open(f).convert("RGB")
        assert image.size == (400, 300)
        assert len(set(image.getdata())) > 1, f.name  # something was drawn
    assert lumerin("gallery").returncode == 2
    assert lumerin("gallery", "--help").returncode == 2
    assert not os.path.lexists("--help")  # no folder named after the option
