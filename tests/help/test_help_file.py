"""The help file as built: every page and picture the project lists is inside it, no
page links to anything missing, and the fractal page shows each of the sixteen
gallery pictures under its own fractal's name."""

import os
import re
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
HELP = ROOT / "help"
GALLERY = ROOT / "docs" / "gallery"
PICTURES = [ROOT / "docs" / "growth.gif"]  # staged beside the pages
CHM = Path(os.environ.get("LUMERIN_CHM", ROOT / "build" / "win32" / "Lumerin.chm"))


def listed_files():
    text = (HELP / "lumerin.hhp").read_text()
    section = text.split("[FILES]", 1)[1].split("\n[", 1)[0]
    return [line.strip() for line in section.splitlines() if line.strip()]


def pages():
    return sorted(HELP.glob("*.html"))


def test_help_file_holds_every_listed_file():
    data = CHM.read_bytes()
    assert data[:4] == b"ITSF"
    # The directory keeps every name uncompressed, with a leading slash.
    for name in listed_files() + ["toc.hhc", "index.hhk"]:
        assert ("/" + name).encode() in data, name


def test_every_page_and_picture_is_listed():
    listed = set(listed_files())
    for page in pages():
        assert page.name in listed
    for picture in GALLERY.glob("*.png"):
        assert f"gallery/{picture.name}" in listed
    for picture in PICTURES:
        assert picture.name in listed


@pytest.mark.parametrize("page", pages(), ids=lambda p: p.name)
def test_links_of_a_page_lead_somewhere(page):
    text = page.read_text(encoding="cp1252")
    anchors = {name for p in pages()
               for name in re.findall(r'name="([^"]+)"', p.read_text(encoding="cp1252"))}
    for target in re.findall(r'(?:href|src)="([^"]+)"', text):
        path, _, anchor = target.partition("#")
        if path:
            assert ((HELP / path).exists() or (GALLERY / Path(path).name).exists()
                    or any(path == picture.name for picture in PICTURES)), target
        if anchor:
            assert anchor in anchors, target


def test_contents_lead_to_every_page():
    toc = (HELP / "toc.hhc").read_text()
    for page in pages():
        assert f'value="{page.name}"' in toc


def slug(title):
    return re.sub(r"[^a-z0-9]+", "-", title.lower()).strip("-")


def test_each_fractal_is_shown_with_its_own_picture():
    text = (HELP / "fractals.html").read_text(encoding="cp1252")
    rows = re.findall(r'<img src="gallery/(\d\d)-([a-z0-9-]+)\.png"[^>]*>\s*</td>\s*'
                      r'<td><h2>([^<]+)</h2>', text)
    pictures = sorted(p.name for p in GALLERY.glob("*.png"))
    assert len(pictures) == 16
    assert [f"{number}-{name}.png" for number, name, _ in rows] == pictures
    for number, name, title in rows:
        assert slug(title) == name, title
