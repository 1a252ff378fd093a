"""Settings keys spoilt the ways a registry can spoil them, and one run of the real
program over each: the saver must draw (or at least keep its window) and close with 0 on
a key, the configuration dialog must open and, cancelled, leave the key as it found it
byte for byte. Keys come from a seeded generator, so that a failing key can be made
again from the seed and its number."""

import os
import random
import time

from dialogs import CANCEL, ConfigureMode
from harness import SETTINGS_KEY, VALUE_NAMES, find_windows
from saver_run import FULL_SCREEN_TITLE, start_full_screen, wait_exit

# How a value is spoilt.
MISSING, OTHER_TYPE, OTHER_SIZE, EXTREME, IN_RANGE = "missing", "type", "size", "extreme", "valid"
SPOILT = [MISSING, OTHER_TYPE, OTHER_SIZE, EXTREME]
KINDS = SPOILT + [IN_RANGE]

# The values each field can have without being out of range (colours: any RGB).
IN_RANGE_VALUES = {"NumFractal": (0, 15), "DefaultMode": (0, 1), "CurPalette": (0, 4),
                   "TimeOut": (0, 50), "LineWidth": (1, 5), "iterFrom": (0, 3), "iterTo": (0, 6),
                   "Angle": (0, 360)}
EXTREMES = [0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x80000001, 0xFFFFFFFE, 0xFF000000,
            0x00FFFFFF, 100000, 0x10000, 16, 17, 51, 6, 361, 1000, 0xFFFFFF9C]

# What the saver does with a key in a second: enough for a figure to start growing.
DRAWING_SECONDS = 1.0


def default_seed():
    """The seed from LUMERIN_SEED, else a fixed one, so that runs repeat."""
    return int(os.environ.get("LUMERIN_SEED", "1108"))


def _hex(data):
    return ",".join(f"{b:02x}" for b in data)


def spoilt_value(chance, name, kind):
    """One REGEDIT4 value text of the given kind, or None for a missing value."""
    if kind == MISSING:
        return None
    if kind == IN_RANGE:
        low, high = IN_RANGE_VALUES.get(name, (0, 0xFFFFFF))
        return f"dword:{chance.randint(low, high):08x}"
    if kind == EXTREME:
        return f"dword:{chance.choice(EXTREMES):08x}"
    if kind == OTHER_SIZE:
        size = chance.choice([0, 1, 2, 3, 5, 8])
        return f"hex(4):{_hex(chance.randbytes(size))}"
    # Another type, holding what could pass for a number.
    kind = chance.choice(["sz", "binary", "big_endian", "qword", "multi_sz", "expand_sz", "none"])
    word = chance.randbytes(4)
    return {"sz": f'"{chance.randint(0, 99)}"',
            "binary": f"hex:{_hex(word)}",
            "big_endian": f"hex(5):{_hex(word)}",
            "qword": f"hex(b):{_hex(word + bytes(4))}",
            "multi_sz": "hex(7):31,00,00",
            "expand_sz": "hex(2):31,00",
            "none": f"hex(0):{_hex(word)}"}[kind]


def spoilt_keys(seed, count):
    """`count` keys as lists of (value name, kind, REGEDIT4 text or None). The first five
    give every value each kind once; the rest choose at random, always spoiling some."""
    chance = random.Random(seed)
    keys = []
    for number in range(count):
        if number < len(KINDS):
            kinds = [KINDS[(number + i) % len(KINDS)] for i in range(len(VALUE_NAMES))]
        else:
            kinds = [chance.choice(KINDS) for _ in VALUE_NAMES]
            if all(k == IN_RANGE for k in kinds):
                kinds[chance.randrange(len(kinds))] = chance.choice(SPOILT)
        keys.append([(name, kind, spoilt_value(chance, name, kind))
                     for name, kind in zip(VALUE_NAMES, kinds)])
    return keys


def write_key(wine, key):
    """Replaces the settings key by `key` in one import."""
    lines = [f"[-{SETTINGS_KEY}]", "", f"[{SETTINGS_KEY}]"]
    lines += [f'"{name}"={text}' for name, _, text in key if text is not None]
    wine.import_reg("\n".join(lines) + "\n")


def describe(seed, number, key):
    return f"seed {seed} key {number}: " + ", ".join(
        f"{name}={text if text is not None else '-'}" for name, _, text in key)


def expected_background(key):
    """The colour the saver must clear to: the stored Background when it is a whole
    DWORD (without its high byte), else the first-run black."""
    for name, _, text in key:
        if name == "Background" and text is not None and text.startswith("dword:"):
            value = int(text[len("dword:"):], 16) & 0xFFFFFF
            return (value & 0xFF, value >> 8 & 0xFF, value >> 16)
    return (0, 0, 0)


def saver_over_key(wine, key, what):
    """Runs /s for about a second; returns whether anything besides the background was
    on the screen. Fails when the saver ends by itself, clears to another colour, keeps
    its window or does not exit with 0."""
    process = start_full_screen(wine)
    background = expected_background(key)
    shown = time.monotonic()
    drawn = False
    while time.monotonic() - shown < DRAWING_SECONDS:
        time.sleep(0.25)
        colours = sorted(wine.display.screenshot().getcolors(1 << 24), reverse=True)
        # A second of drawing covers a small part of the screen: the fill dominates.
        assert colours[0][1] == background, f"{what}: cleared to {colours[0][1]}"
        drawn = drawn or len(colours) > 1
    assert process.poll() is None, \
        f"{what}: ended by itself with {process.poll()}: {wine.output(process)}"
    wine.display.xdotool("key", "a")
    status = wait_exit(process)
    assert status == 0, f"{what}: exit {status}: {wine.output(process)}"
    assert find_windows(wine.display, FULL_SCREEN_TITLE) == [], what
    return drawn


def dialog_over_key(wine, what):
    """Opens /c, cancels it and checks the exit code."""
    dialog = ConfigureMode(wine)
    dialog.drive("click", CANCEL)
    status = dialog.finish()
    assert status == 0, f"{what}: /c exit {status}"


def run_keys(wine, seed, saver_keys, dialog_keys):
    """The saver over the first `saver_keys` keys of the seed, the dialog over the first
    `dialog_keys`; the key must come out of both exactly as it went in. Returns the
    number of keys over which the saver was seen drawing."""
    print(f"spoilt settings keys: seed {seed} (LUMERIN_SEED={seed} repeats this run)")
    drawn = 0
    for number, key in enumerate(spoilt_keys(seed, max(saver_keys, dialog_keys))):
        what = describe(seed, number, key)
        write_key(wine, key)
        before = wine.dump_key()
        assert before is not None, what
        if number < saver_keys:
            drawn += saver_over_key(wine, key, what)
        if number < dialog_keys:
            dialog_over_key(wine, what)
        assert wine.dump_key() == before, f"{what}: the key changed"
    assert wine.running("Lumerin.scr") == []
    print(f"the saver drew over {drawn} of {saver_keys} keys")
    return drawn
