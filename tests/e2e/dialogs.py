"""Helpers for the configuration dialog's end-to-end tests: its captions, a running
configuration mode, and the dialog driver program that acts on it from outside."""

import json
import os
import re
from pathlib import Path

from harness import SCR, driver, patience

BUILD = Path(os.environ.get("LUMERIN_BUILD", "build/win32")).resolve()
RESOURCE_HEADER = Path(__file__).resolve().parents[2] / "res" / "resource.h"


def _generated(name):
    text = (BUILD / "generated" / "lumerin_version.h").read_text()
    value = re.search(rf'#define {name} (".*")\n', text).group(1)
    # An RC string: "" stands for one quotation mark.
    return value[1:-1].replace('""', '"')


def title():
    """The configuration dialog's caption: "Lumerin v" and the version."""
    return _generated("LUMERIN_TITLE")


def about_title():
    return _generated("LUMERIN_ABOUT_CAPTION")


def web_address():
    text = RESOURCE_HEADER.read_text()
    return re.search(r'#define LUMERIN_WEB_ADDRESS "(.*)"', text).group(1)


# Control ids of the configuration dialog.
FRACTAL, SLIDESHOW, PALETTE, PAUSE, PAUSE_TEXT, BACKGROUND = 101, 102, 113, 114, 115, 116
WIDTH, FROM, TO, ANGLE, WIDTH_TEXT, ANGLE_TEXT = 117, 118, 119, 120, 1002, 1006
OK, CANCEL, HELP, ABOUT, WEBSITE, MONITORS = 1, 2, 2000, 1008, 1026, 121
SWATCHES = list(range(103, 113))
FIXED_FRACTAL_GROUP = {1023, 101, 1015, 113, 1016, 118, 1017, 119, 1019, 120, 1011, 1006,
                       1012, 1020, 1013, 1002, 1014, 117, 1018, *SWATCHES}
TB_THUMBTRACK = 5
VK_ESCAPE = 0x1B


class ConfigureMode:
    """`Lumerin.scr /c` running in a test's prefix, and the driver acting on it."""

    def __init__(self, wine):
        self.wine = wine
        self.process = wine.start(SCR, "/c")

    def drive(self, *steps, window=None):
        """Runs driver steps on the dialog (or on `window`); returns the output lines."""
        status, out = self.wine.run(driver("dialogdriver"), "find", window or title(),
                                    *map(str, steps))
        assert status == 0, out
        return out.splitlines()

    def state(self, *steps):
        """Runs `steps`, then returns the dialog's state as a dict."""
        lines = self.drive(*steps, "state")
        return json.loads(lines[-1])

    def rects(self, ids):
        """Screen rectangles {id: (left, top, right, bottom)}."""
        steps = []
        for control in ids:
            steps += ["rect", control]
        result = {}
        for line in self.drive(*steps):
            word, control, *edges = line.split()
            if word == "rect":
                result[int(control)] = tuple(int(e) for e in edges)
        return result

    def finish(self, timeout=30):
        """Waits for the program to end; returns its exit status."""
        return self.process.wait(patience(timeout))


def enabled(state):
    """{id: enabled} of the controls that have an id."""
    return {c["id"]: c["enabled"] for c in state["controls"] if c["id"] != -1}


def text(state, control):
    return next(c["text"] for c in state["controls"] if c["id"] == control)


def numbers(first, last):
    return [str(k) for k in range(first, last + 1)]
