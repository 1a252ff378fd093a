"""Starting and closing the saver again and again at random moments, while a figure
grows and during the pause after it, in both modes: every run ends with exit code 0,
leaves no window and no process behind. (The long runs do a hundred of each.)"""

import pytest

from saver_run import START_STOP_MODES, start_and_close_at_random_moments

CYCLES_PER_MODE = 25


@pytest.mark.parametrize("mode", START_STOP_MODES)
def test_repeated_start_and_close_at_random_moments(shared_wine, mode):
    start_and_close_at_random_moments(shared_wine, mode, CYCLES_PER_MODE)
