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


# The test bed's root: its mounts are never seen outside the run, and a root is removed only
# when nothing is mounted or running in it, so the machine's /dev is never deleted through it.
SCRIPTS = SCRIPT.parent


def tiny_root(tmp_path):
    """A root that can run env and sleep: the programs and the libraries they load."""
    root = tmp_path / "root"
    files = {"/usr/bin/env", "/usr/bin/sleep"}
    for program in list(files):
        ldd = subprocess.run(["ldd", program], capture_output=True, text=True).stdout
        files.update(word for word in ldd.split() if word.startswith("/"))
    for name in files:
        target = root / name.lstrip("/")
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(pathlib.Path(name).read_bytes())
        target.chmod(0o755)
    return root


def rooted_in(root):
    """The processes whose root is `root` (by device and inode: seen from another mount
    namespace, a process's root may show another path)."""
    found = []
    for link in pathlib.Path("/proc").glob("[0-9]*/root"):
        try:
            if os.path.samefile(link, root):
                found.append(int(link.parent.name))
        except OSError:
            pass
    return found


def mounts_under(root, pid="self"):
    words = ["findmnt", "-rn", "-o", "TARGET"] + ([] if pid == "self" else ["-N", str(pid)])
    targets = subprocess.run(words, capture_output=True, text=True).stdout.split()
    return [t for t in targets if t.startswith(f"{root}/")]


def remove_tree(root):
    return subprocess.run([str(SCRIPTS / "remove-tree"), str(root)], capture_output=True,
                          text=True)


@pytest.mark.skipif(os.geteuid() != 0, reason="mounts and chroot need root")
@pytest.mark.parametrize("stop", [None, signal.SIGINT, signal.SIGTERM])
def test_a_root_in_use_is_kept_and_removed_safely_once_its_run_ends(tmp_path, stop):
    root = tiny_root(tmp_path)
    run = subprocess.Popen([str(SCRIPTS / "in-root"), "--no-network", str(root),
                            "sleep", "300"], stderr=subprocess.PIPE, text=True)
    try:
        deadline = time.monotonic() + 10
        while not rooted_in(root) and time.monotonic() < deadline:
            time.sleep(0.05)
        [sleeper] = rooted_in(root)
        # /proc, /sys, /dev, /dev/pts and /dev/shm are there for the run (as its first process
        # sees them, outside the root), and only for it.
        assert {f"{root}/{d}" for d in ("proc", "sys", "dev", "dev/pts", "dev/shm")} <= set(
            mounts_under(root, run.pid))
        assert mounts_under(root) == []
        # While it runs, the root stays, with its processes named.
        refused = remove_tree(root)
        assert refused.returncode == 1 and f"processes run inside it: {sleeper}" in refused.stderr
        assert (root / "usr/bin/sleep").exists()
        # The command ends (its status is the run's), or the run is interrupted.
        if stop is None:
            os.kill(sleeper, signal.SIGTERM)
        else:
            run.send_signal(stop)
        assert run.wait(timeout=30) == {None: 143, signal.SIGINT: 130, signal.SIGTERM: 143}[stop]
        assert rooted_in(root) == []
        assert remove_tree(root).returncode == 0
        assert not root.exists()
        assert pathlib.Path("/dev/null").is_char_device()
    finally:
        if run.poll() is None:
            run.kill()
        for pid in rooted_in(root):
            os.kill(pid, signal.SIGKILL)


@pytest.mark.skipif(os.geteuid() != 0, reason="mounts need root")
def test_a_root_with_the_machines_dev_mounted_inside_is_not_removed(tmp_path):
    root = tiny_root(tmp_path)
    (root / "dev").mkdir()
    # In a mount namespace of this test's own, so that nothing else ever sees the mount.
    script = f"""mount --bind /dev {root}/dev || exit 9
{SCRIPTS / 'remove-tree'} {root}; echo "status $?"
test -c /dev/null && test -c {root}/dev/null && echo "dev kept"
"""
    result = subprocess.run(["unshare", "--mount", "--propagation", "private", "sh", "-c", script],
                            capture_output=True, text=True, timeout=30)
    assert result.stdout == "status 1\ndev kept\n", result.stderr
    assert f"not removing {root}: mounted under it:\n  {root}/dev\n" in result.stderr
    assert (root / "usr/bin/sleep").exists()
    assert remove_tree(root).returncode == 0 and not root.exists()
