"""Spoilt settings keys: values missing, of another type, of another size or with
extreme numbers. Over each the saver draws and closes with 0 on a key, and the
configuration dialog opens and, cancelled, leaves the key byte for byte as it was."""

import pytest

from corrupt_keys import default_seed, run_keys
from harness import SCR

pytestmark = pytest.mark.skipif(not SCR.is_file(), reason="Lumerin.scr is not built")

# The first five keys give every value each kind of spoiling once, the rest are drawn at
# random; about 3 s a key. The soak (make soak) runs hundreds.
SAVER_KEYS = 25
DIALOG_KEYS = 25


def test_spoilt_keys_neither_stop_the_saver_nor_change_in_the_dialog(shared_wine):
    drawn = run_keys(shared_wine, default_seed(), SAVER_KEYS, DIALOG_KEYS)
    # Most keys leave something drawable; a screen that never changed would mean the
    # check cannot see a drawing at all.
    assert drawn > 0
