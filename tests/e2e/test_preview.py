"""The preview inside a window of another program, as the display control panel shows
it: a child window filling the parent's client area, untouched by input, passing help
requests on to the parent, and ending with exit code 0 when the parent goes away."""

import pytest

from harness import SCR, driver, windows_path
from saver_run import fixed_settings

# One run of the preview host answers every test here.
pytestmark = pytest.mark.short_run


@pytest.fixture(scope="module")
def preview(shared_wine):
    shared_wine.set_settings(fixed_settings(6, 0, 0, 0))
    status, out = shared_wine.run(driver("preview_host"), windows_path(SCR), 152, 112,
                                  timeout=90)
    assert status == 0, out
    return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)


def test_preview_is_a_child_titled_preview_over_the_parents_client_area(preview):
    assert preview["child_title"] == "Preview"
    assert preview["child_parent_is_host"] == "1"
    assert preview["is_child"] == "1"
    assert preview["parent_client"] == "152x112"
    assert preview["child_client"] == "152x112"
    assert preview["child_offset"] == "0,0"
    style = int(preview["child_style"], 16)
    WS_CHILD, WS_VISIBLE, WS_CLIPCHILDREN = 0x40000000, 0x10000000, 0x02000000
    assert style & (WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN) == \
        WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN
    assert int(preview["child_exstyle"], 16) & 0x8 == 0  # not topmost


def test_input_activation_and_power_events_leave_the_preview_running(preview):
    assert preview["alive_after_input"] == "1"


def test_help_and_context_menu_reach_the_parent_as_requests_about_it(preview):
    parent = preview["parent"]
    assert preview["help_result"] == "1"
    assert preview["help_count"] == "1"
    assert preview["help_wparam"] == parent
    assert preview["contextmenu_result"] == "1"
    assert preview["contextmenu_count"] == "1"
    assert preview["contextmenu_wparam"] == parent
    assert preview["contextmenu_lparam"] == "0x003c0032"  # the position, unchanged
    assert preview["alive_after_help"] == "1"


def test_destroying_the_parent_ends_the_preview_with_zero(preview):
    assert preview["alive_after_destroy"] == "0"
    assert preview["exit"] == "0"
