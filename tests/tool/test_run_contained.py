"""The wrapper of make test and make bench: whatever the command started, detached or
deaf to SIGTERM, is gone when it returns, and so is its temporary folder."""
import os
import pathlib
import signal
import subprocess
import time

import pytest

SCRIPT = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "run-contained"

# Starts a detached process, one that ignores SIGTERM and one that the command waits for,
# each with an argument no other process has, and leaves a file in its TMPDIR.
COMMAND = """
echo "$TMPDIR"
touch "$TMPDIR/left-behind"
setsid sleep {marker} &
sh -c 'trap "" TERM; exec sleep {marker}' &
sleep {seconds}
exit 3
"""


def running(marker):
    return subprocess.run(["pgrep", "-f", f"sleep {marker}"], capture_output=True).returncode == 0


@pytest.mark.parametrize("seconds, interrupt, status", [
    (1, False, 3),      # the command ends by itself: its status is the run's
    (300, True, 143),   # SIGTERM to the wrapper ends the command and all it started
])
def test_nothing_the_command_started_outlives_it(tmp_path, seconds, interrupt, status):
    marker = 3000 + os.getpid() % 1000 + seconds
    env = {k: v for k, v in os.environ.items() if k != "LUMERIN_CONTAINED"}
    wrapper = subprocess.Popen(
        [str(SCRIPT), "sh", "-c", COMMAND.format(marker=marker, seconds=seconds)],
        stdout=subprocess.PIPE, text=True, env=env)
    folder = pathlib.Path(wrapper.stdout.readline().strip())
    try:
        assert folder.is_dir() and folder.name.startswith("lumerin-run-")
        deadline = time.monotonic() + 10
        while not running(marker) and time.monotonic() < deadline:
            time.sleep(0.05)
        assert running(marker)
        if interrupt:
            wrapper.send_signal(signal.SIGTERM)
        assert wrapper.wait(timeout=30) == status
        assert not running(marker)
        assert not folder.exists()
    finally:
        if wrapper.poll() is None:
            wrapper.kill()
        subprocess.run(["pkill", "-f", f"sleep {marker}"])
