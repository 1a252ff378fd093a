"""What closes the full-screen saver: a mouse movement of more than 4 pixels from where
the pointer was when the saver started, a key, a mouse button, another application
being activated and power events. Every close ends the process with exit code 0."""

import time

import pytest

from harness import driver
from saver_run import close_with_key, fixed_settings, start_full_screen, still_running_after, wait_exit

# Enough time for a posted close to have come back through the message loop.
SETTLE_SECONDS = 0.7


@pytest.fixture(scope="module")
def saver_prefix(shared_wine):
    shared_wine.set_settings(fixed_settings(6, 0, 0, 0))
    return shared_wine


@pytest.mark.parametrize("moves, closing_move", [
    ([(3, 1), (1, 0)], 1),             # 4 pixels in total stay, the fifth closes
    ([(2, 0), (2, 0), (0, 1)], 2),     # small steps add up from the same reference
    ([(-4, 0), (0, -1)], 1),
    ([(4, 0), (-4, 0), (0, 4), (1, 0)], 3),  # back at the start counts as no movement
], ids=["three_and_one", "small_steps", "left_then_up", "there_and_back"])
def test_mouse_movement_beyond_four_pixels_closes(wine, moves, closing_move):
    # A prefix of its own: Wine reports a new process the pointer position that its
    # previous process saw last, for a moment after it starts, whatever the pointer did
    # since; a saver started then would measure from there.
    wine.set_settings(fixed_settings(6, 0, 0, 0))
    process = start_full_screen(wine)
    for index, (dx, dy) in enumerate(moves):
        wine.display.xdotool("mousemove_relative", "--", dx, dy)
        if index < closing_move:
            assert still_running_after(process, SETTLE_SECONDS), f"closed by move {index}"
    assert wait_exit(process) == 0


@pytest.mark.parametrize("action", [
    ("key", "a"), ("key", "shift"), ("key", "alt"), ("click", "1"), ("click", "2"), ("click", "3"),
], ids=lambda a: "_".join(a))
def test_a_key_or_a_button_closes_at_once(saver_prefix, action):
    wine = saver_prefix
    process = start_full_screen(wine)
    assert still_running_after(process, 0.3)
    pressed = time.monotonic()
    wine.display.xdotool(*action)
    assert wait_exit(process) == 0
    print(f"{'_'.join(action)}: exit {1000 * (time.monotonic() - pressed):.0f} ms after the press")


WM_ACTIVATEAPP, WM_POWER, WM_POWERBROADCAST = 0x001C, 0x0048, 0x0218


@pytest.mark.parametrize("message, wparam, closes", [
    (WM_ACTIVATEAPP, 0, True),    # another application is being activated
    (WM_ACTIVATEAPP, 1, False),
    (WM_POWERBROADCAST, 4, True),  # any power broadcast
    (WM_POWER, 3, True),           # resume after a critical suspension
    (WM_POWER, 1, False),
], ids=["activateapp_other", "activateapp_self", "powerbroadcast", "power_critical_resume",
        "power_other"])
def test_activation_loss_and_power_events(saver_prefix, message, wparam, closes):
    wine = saver_prefix
    process = start_full_screen(wine)
    status, out = wine.run(driver("poke"), "post", message, wparam, 0)
    assert "posted=1" in out, out
    if closes:
        assert wait_exit(process) == 0
    else:
        assert still_running_after(process, SETTLE_SECONDS)
        assert close_with_key(wine, process) == 0


@pytest.fixture
def win98(shared_wine):
    shared_wine.set_windows_version("Lumerin.scr", "win98")
    yield shared_wine
    shared_wine.import_reg("[-HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\Lumerin.scr]\n")


def test_on_95_98_without_a_password_the_first_key_closes(saver_prefix, win98):
    process = start_full_screen(win98)
    assert still_running_after(process, 0.3)
    win98.display.xdotool("key", "a")
    assert wait_exit(process) == 0


@pytest.mark.parametrize("family", ["nt", "95_98"])
def test_autoplay_query(saver_prefix, request, family):
    # On the 95/98 family the saver answers "do not cancel" (no password in use) and
    # closes; elsewhere it never registered the message and takes it as any other.
    wine = request.getfixturevalue("win98") if family == "95_98" else saver_prefix
    process = start_full_screen(wine)
    status, out = wine.run(driver("poke"), "autoplay")
    assert "result=0" in out, out
    if family == "95_98":
        assert wait_exit(process) == 0
    else:
        assert still_running_after(process, SETTLE_SECONDS)
        assert close_with_key(wine, process) == 0
