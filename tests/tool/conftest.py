"""Runs the lumerin tool named by LUMERIN_TOOL (set by ctest)."""
import os
import subprocess

import pytest


@pytest.fixture
def lumerin():
    tool = os.environ.get("LUMERIN_TOOL")
    if not tool:
        pytest.fail("LUMERIN_TOOL must name the lumerin executable")

    def run(*args):
        return subprocess.run([tool, *map(str, args)], capture_output=True, text=True, timeout=120)

    return run
