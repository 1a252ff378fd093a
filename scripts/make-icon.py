#!/usr/bin/python3
"""Draws Lumerin's icon (res/lumerin.ico): a Koch snowflake grown from its L-system, in
the ten colours of the "Autumn" palette on a night-blue tile, at 16, 32 and 48 pixels.
Each size is stored twice, as 32-bit colour with alpha and as 256 colours with a mask,
so that every Windows from the 95/98 family on finds a picture it can show.

    scripts/make-icon.py [OUTPUT]      (default: res/lumerin.ico beside this script)
"""

import math
import struct
import sys
from pathlib import Path

from PIL import Image, ImageDraw

# The saver's "Autumn" palette: (25 + 25 i, 200, 100).
AUTUMN = [(25 + 25 * i, 200, 100) for i in range(10)]
TILE = (16, 24, 64, 255)
SUPERSAMPLE = 8


def koch(generation):
    """Generation `generation` of the Koch snowflake: axiom F++F++F, F -> F-F++F-F."""
    text = "F++F++F"
    for _ in range(generation):
        text = "".join("F-F++F-F" if c == "F" else c for c in text)
    return text


def walk(text, turn_degrees=60.0):
    """Turtle points of the figure, one per F."""
    x = y = 0.0
    heading = 0.0
    points = [(x, y)]
    for c in text:
        if c == "F":
            x += math.cos(math.radians(heading))
            y += math.sin(math.radians(heading))
            points.append((x, y))
        elif c == "+":
            heading += turn_degrees
        elif c == "-":
            heading -= turn_degrees
    return points


def render(size):
    big = size * SUPERSAMPLE
    image = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    corner = big // 6
    draw.rounded_rectangle((0, 0, big - 1, big - 1), radius=corner, fill=TILE)

    points = walk(koch(1 if size <= 16 else 2 if size <= 32 else 3))
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    margin = big * 0.12
    scale = (big - 2 * margin) / max(max(xs) - min(xs), max(ys) - min(ys))
    ox = (big - (max(xs) - min(xs)) * scale) / 2 - min(xs) * scale
    oy = (big - (max(ys) - min(ys)) * scale) / 2 - min(ys) * scale
    pixels = [(ox + x * scale, oy + y * scale) for x, y in points]
    width = max(SUPERSAMPLE, round(big / 22))
    # One colour per segment in turn, as the saver draws; segments are grouped in runs so
    # that the colours stay visible at small sizes.
    run = max(1, (len(pixels) - 1) // 30)
    for i in range(len(pixels) - 1):
        colour = AUTUMN[(i // run) % 10]
        draw.line((pixels[i], pixels[i + 1]), fill=colour + (255,), width=width)
        r = width / 2
        x, y = pixels[i + 1]
        draw.ellipse((x - r, y - r, x + r, y + r), fill=colour + (255,))
    return image.resize((size, size), Image.LANCZOS)


def and_mask(image):
    """1-bit mask rows, bottom-up, padded to 32 bits: 1 where the pixel is transparent."""
    size = image.width
    stride = ((size + 31) // 32) * 4
    alpha = image.getchannel("A")
    out = bytearray()
    for y in reversed(range(size)):
        row = bytearray(stride)
        for x in range(size):
            if alpha.getpixel((x, y)) < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def dib_32(image):
    size = image.width
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = image.getpixel((x, y))
            rows += bytes((b, g, r, a))
    return header + bytes(rows) + and_mask(image)


def dib_8(image):
    size = image.width
    flat = Image.new("RGB", image.size, TILE[:3])
    flat.paste(image, mask=image.getchannel("A"))
    # 255 colours of the picture behind index 0, which stays black: masked pixels must be
    # black in the colour part so that the screen shows through unchanged.
    indexed = flat.quantize(colors=255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    palette = [0, 0, 0] + indexed.getpalette()[: 255 * 3]
    palette += [0] * (256 * 3 - len(palette))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    quads = b"".join(bytes((palette[3 * i + 2], palette[3 * i + 1], palette[3 * i], 0))
                     for i in range(256))
    stride = (size + 3) // 4 * 4
    alpha = image.getchannel("A")
    rows = bytearray()
    for y in reversed(range(size)):
        row = bytearray(stride)
        for x in range(size):
            if alpha.getpixel((x, y)) >= 128:
                row[x] = indexed.getpixel((x, y)) + 1
        rows += row
    return header + quads + bytes(rows) + and_mask(image)


def write_icon(path, images):
    entries = []
    for image in images:
        entries.append((image.width, 32, dib_32(image)))
        entries.append((image.width, 8, dib_8(image)))
    offset = 6 + 16 * len(entries)
    directory = struct.pack("<HHH", 0, 1, len(entries))
    data = b""
    for size, bits, blob in entries:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bits, len(blob),
                                 offset + len(data))
        data += blob
    Path(path).write_bytes(directory + data)


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "res" / "lumerin.ico"
    write_icon(out, [render(s) for s in (16, 32, 48)])
    print(out)


if __name__ == "__main__":
    main()
