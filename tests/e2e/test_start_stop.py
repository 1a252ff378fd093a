"""Starting and closing the saver again and again at random moments, while a figure
grows and during the pause after it, in both modes: every run ends with exit code 0,
leaves no window and no process behind."""

import random
import time

import pytest

from harness import find_windows
from saver_run import FULL_SCREEN_TITLE, fixed_settings, start_full_screen, wait_exit

CYCLES_PER_MODE = 25

MODES = {
    # "Peano curve" generation 2: 81 segments (about 0.4 s), then a 0.3 s pause.
    "fixed": fixed_settings(10, 2, 2, 45, time_out=3),
    # Figures of seconds each, one after the other; the pens are rebuilt between them.
    "slideshow": {"DefaultMode": 1, "TimeOut": 0, "NumFractal": 0, "LineWidth": 2,
                  "iterFrom": 0, "iterTo": 0, "Angle": 0, "CurPalette": 1, "Background": 0},
}


@pytest.mark.parametrize("mode", MODES)
def test_repeated_start_and_close_at_random_moments(shared_wine, mode):
    wine = shared_wine
    wine.set_settings(MODES[mode])
    chance = random.Random(f"start-stop-{mode}")
    for cycle in range(CYCLES_PER_MODE):
        process = start_full_screen(wine)
        time.sleep(chance.uniform(0.0, 1.2))
        wine.display.xdotool("key", "a")
        status = wait_exit(process)
        assert status == 0, f"cycle {cycle}: exit {status}: {wine.output(process)}"
        assert find_windows(wine.display, FULL_SCREEN_TITLE) == [], f"cycle {cycle}"
    assert wine.running("Lumerin.scr") == []
