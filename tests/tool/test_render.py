"""lumerin render and lumerin gallery: the drawing pass seen from outside."""
import os
import re
import resource
import signal
import subprocess

import pytest
from PIL import Image, ImageChops, ImageSequence

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


AUTUMN = [(25 * i, 200, 100) for i in range(1, 11)]
GREYS = [(g, g, g) for g in (130, 145, 160, 185, 200, 215, 230, 250)]


def gif_frames(path):
    """Every frame of the animation as shown (RGB), with its delay in milliseconds."""
    with Image.open(path) as image:
        assert image.format == "GIF" and image.is_animated
        assert image.info.get("loop") == 0  # loops forever
        return [(frame.convert("RGB"), frame.info["duration"])
                for frame in ImageSequence.Iterator(image)]


def gif_palette(path):
    """The colours of the file's global colour table."""
    data = path.read_bytes()
    assert data[10] & 0x80
    table = data[13:13 + 3 * (2 << (data[10] & 7))]
    return {tuple(table[i:i + 3]) for i in range(0, len(table), 3)}


@pytest.mark.parametrize("look, colours", [
    ([], [(0, 0, 0)] + AUTUMN),
    (["--palette", 4, "--line-width", 3], [(0, 0, 0), (29, 173, 44)] + GREYS),  # two greens
    (["--palette", 3, "--background", "646464"], [(100, 100, 100), (115, 115, 115)] + GREYS),
])
def test_gif_grows_into_the_png_in_exactly_the_figures_colours(lumerin, tmp_path, look,
                                                                colours):
    gif, png = tmp_path / "dragon.gif", tmp_path / "dragon.png"
    for out in (["--gif", gif], ["--png", png]):
        result = lumerin("render", 4, 6, "--size", "200x150", *look, *out)
        assert result.returncode == 0 and result.stdout == result.stderr == "", result.stderr
    frames = gif_frames(gif)
    assert gif_palette(gif) == set(colours)
    assert frames[0][0].getcolors() == [(200 * 150, colours[0])]  # the cleared background
    for frame, _ in frames:
        assert {colour for _, colour in frame.getcolors()} <= set(colours)
    assert ImageChops.difference(frames[-1][0], Image.open(png).convert("RGB")).getbbox() is None


# The dragon's generation 4 has 16 segments, segment k drawn at k x 5 ms / speed. Frames start
# on whole hundredths, at least 2 apart; the last one lasts until the figure is done plus the
# hold (and at least 20 ms).
@pytest.mark.parametrize("timing, frames, milliseconds", [
    ([], 5, 80 + 2000),                         # 4 segments per 20 ms, 2 s hold
    (["--speed", "0.5"], 9, 160 + 2000),        # 2 per 20 ms
    (["--speed", "0.1", "--hold", 5], 17, 800 + 500),  # one per 50 ms
    (["--speed", "1.5", "--hold", 1], 4, 60 + 100),    # 6 per 20 ms, 53.3 ms rounded up
    (["--speed", "4", "--hold", 0], 2, 40),     # all in the second frame, held 20 ms
])
def test_gif_frames_follow_the_saver_pace(lumerin, tmp_path, timing, frames, milliseconds):
    out = tmp_path / "dragon.gif"
    result = lumerin("render", 4, 4, "--size", "200x150", "--gif", out, *timing)
    assert result.returncode == 0, result.stderr
    shown = gif_frames(out)
    assert len(shown) == frames
    assert sum(delay for _, delay in shown) == milliseconds
    assert min(delay for _, delay in shown) >= 20


def test_gif_shows_one_segment_after_another_in_pen_order(lumerin, tmp_path):
    out = tmp_path / "dragon.gif"
    assert lumerin("render", 4, 4, "--size", "200x150", "--gif", out,
                   "--speed", "0.1").returncode == 0
    frames = [frame for frame, _ in gif_frames(out)]
    assert len(frames) == 17
    for k in range(1, len(frames)):
        changed = ImageChops.difference(frames[k - 1], frames[k]).convert("L").getdata()
        added = {pixel for pixel, change in zip(frames[k].getdata(), changed) if change}
        assert added == {AUTUMN[k % 10]}, k  # segment k alone, in pen k mod 10


@pytest.mark.parametrize("args, target", [
    (["16", "0"], "out.gif"),                           # no such entry
    (["14", "9"], "out.gif"),                           # does not fit: refused, not shrunk
    (["6", "0", "--size", "0x60"], "out.gif"),
    (["6", "0", "--speed", "0"], "out.gif"),
    (["6", "0", "--speed", "-1"], "out.gif"),
    (["6", "0", "--speed", "0.000"], "out.gif"),
    (["6", "0", "--speed", "fast"], "out.gif"),
    (["6", "0", "--hold", "51"], "out.gif"),
    (["6", "0", "--speed", "2"], None),                 # --speed without --gif
    (["6", "0"], "missing/out.gif"),                    # a folder that does not exist
    (["6", "0"], "."),                                  # a folder, not a file
])
def test_bad_gif_input_exits_2_and_writes_nothing(lumerin, tmp_path, args, target):
    gif = ["--gif", tmp_path / target] if target else []
    size = [] if "--size" in args else ["--size", "80x60"]
    result = lumerin("render", *args, *size, *gif)
    assert result.returncode == 2
    assert result.stdout == ""
    assert result.stderr.startswith("lumerin: ") and result.stderr.count("\n") == 1
    assert list(tmp_path.iterdir()) == []


def test_a_gif_that_fails_half_written_leaves_no_file(tmp_path):
    def small_files():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # a write past the limit fails instead
        resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))

    result = subprocess.run([os.environ["LUMERIN_TOOL"], "render", "4", "10", "--size",
                             "320x240", "--gif", tmp_path / "big.gif"],
                            capture_output=True, text=True, timeout=120, preexec_fn=small_files)
    assert result.returncode == 1
    assert "cannot write" in result.stderr
    assert list(tmp_path.iterdir()) == []


def fnv_of_ops(lines):
    """The digest's FNV-1a over (operation, a, b) words of 32 bits, from --ops lines."""
    value = 0xCBF29CE484222325
    for line in lines:
        words = line.split()
        triples = ([(1, int(words[1]), int(words[2]))] if words[0] == "move" else
                   [(2, int(words[1]), 0), (3, int(words[2]), int(words[3]))])
        for triple in triples:
            for word in triple:
                for byte in (word & 0xFFFFFFFF).to_bytes(4, "little"):
                    value = ((value ^ byte) * 0x100000001B3) & 0xFFFFFFFFFFFFFFFF
    return f"{value:016x}"


def test_digest_lists_every_offered_generation_as_its_drawing_pass_draws_it(lumerin):
    result = lumerin("digest", "--size", "640x480")
    assert result.returncode == 0, result.stderr
    rows = [line.split() for line in result.stdout.splitlines()]
    listed = lumerin("list").stdout.splitlines()[1:]
    offered = {int(line.split()[0]): int(line.split()[-2]) for line in listed}
    assert [(int(e), int(g)) for e, g, _ in rows] == [
        (e, g) for e in range(16) for g in range(offered[e])]
    digests = {(int(e), int(g)): d for e, g, d in rows}
    for entry, generation in [(7, 2), (14, 1), (4, 9)]:
        ops = lumerin("render", entry, generation, "--size", "640x480", "--ops").stdout
        assert digests[(entry, generation)] == fnv_of_ops(ops.splitlines())
    assert lumerin("digest").returncode == 2
    assert lumerin("digest", "--size", "0x480").returncode == 2
