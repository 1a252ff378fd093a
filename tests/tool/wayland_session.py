"""A headless Wayland compositor for the tests and the benchmarks: sway (or weston) in a
runtime folder of its own, as the unprivileged user nobody when this runs as root (sway
refuses to run as root), with the environment that reaches it and grim to look at it."""
import contextlib
import os
import pwd
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

from PIL import Image

# What sway needs to run headless here, besides its backend.
SWAY = {"WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman"}


def wait_for(condition, seconds, step=0.02):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(step)
    return condition()


def as_user(user="nobody"):
    """setpriv's words that run a program as `user` (a compositor as nobody) when the test
    runs as root."""
    if os.geteuid() != 0:
        return []
    entry = pwd.getpwnam(user)
    return ["setpriv", f"--reuid={entry.pw_uid}", f"--regid={entry.pw_gid}", "--clear-groups"]


class Compositor:
    """A headless compositor in a private runtime folder; the environment that reaches it."""

    def __init__(self, folder, process, socket_name):
        self.folder = folder
        self.process = process
        self.started = 0
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "SWAYSOCK")}
        self.env.update(XDG_RUNTIME_DIR=str(folder), WAYLAND_DISPLAY=socket_name)
        ipc = list(folder.glob("sway-ipc.*.sock"))
        if ipc:
            self.env["SWAYSOCK"] = str(ipc[0])

    def run(self, *args, **kwargs):
        return subprocess.run(list(map(str, args)), env=self.env, capture_output=True,
                              text=True, timeout=30, **kwargs)

    def start_as(self, user, *args):
        """Starts a program as `user` (when the test runs as root), output thrown away."""
        return subprocess.Popen(as_user(user) + list(map(str, args)), env=self.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def shot(self, output=None):
        """What grim captures of one output (or of the whole layout), as RGB."""
        path = self.folder / "shot.png"
        self.run("grim", *(["-o", output] if output else []), path).check_returncode()
        with Image.open(path) as image:
            return image.convert("RGB")

    def start(self, *args, env=None, **kwargs):
        """Starts the tool; its stderr goes to a file, `log(process)` reads it. A pipe that
        nobody reads while it runs would stop a talkative program (WAYLAND_DEBUG) once full."""
        self.started += 1
        path = self.folder / f"lumerin-{self.started}.log"
        with open(path, "w") as stream:
            process = subprocess.Popen([os.environ["LUMERIN_TOOL"], *map(str, args)],
                                       env={**self.env, **(env or {})}, stdout=subprocess.DEVNULL,
                                       stderr=stream, **kwargs)
        process.log_path = path
        return process


def log(process):
    """What a process that Compositor.start started wrote on stderr so far."""
    return process.log_path.read_text()


@contextlib.contextmanager
def compositor(command, socket_name, extra_env, outputs, user="nobody"):
    """Runs `command` (with {config} filled in: `outputs` as its configuration) until the
    block ends, in a runtime folder of its own that is removed afterwards; as `user` when
    the test runs as root."""
    folder = Path(tempfile.mkdtemp(prefix="lumerin-wayland-"))
    process = None
    try:
        config = folder / "config"
        config.write_text(outputs)
        if os.geteuid() == 0:
            owner = pwd.getpwnam(user)
            for path in (folder, config):
                os.chown(path, owner.pw_uid, owner.pw_gid)
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": str(folder),
               "XDG_RUNTIME_DIR": str(folder), **extra_env}
        words = [w.format(config=config) for w in command]
        process = subprocess.Popen(as_user(user) + words, env=env, cwd=folder,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, start_new_session=True)
        ready = wait_for(lambda: (folder / socket_name).exists() or process.poll() is not None,
                         10)
        if not ready or process.poll() is not None:
            raise RuntimeError(f"{command[0]} did not start")
        # sway's IPC socket comes a moment after its Wayland socket.
        if command[0] == "sway":
            wait_for(lambda: list(folder.glob("sway-ipc.*.sock")), 5)
        yield Compositor(folder, process, socket_name)
    finally:
        if process is not None:
            # The compositor alone, so that it ends and waits for its own helpers (weston's
            # keyboard and shell), which would otherwise be left unwaited-for.
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
            with contextlib.suppress(ProcessLookupError):
                os.killpg(process.pid, signal.SIGKILL)
        shutil.rmtree(folder, ignore_errors=True)
