"""Test harness for the real Lumerin.scr: a private X server, a private Wine prefix,
the registry, screenshots and input. Each test gets its own display and prefix, so
tests can run side by side."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

SCR = Path(os.environ.get("LUMERIN_SCR", "build/win32/Lumerin.scr")).resolve()
DRIVERS = Path(os.environ.get("LUMERIN_DRIVERS", "build/win32/tests/e2e")).resolve()
TEMPLATE = Path(os.environ.get("LUMERIN_WINE_TEMPLATE", "build/win32/wineprefix")).resolve()
# The loader to start programs with: "wine", or the 64-bit one for the 64-bit tree and for
# a 64-bit prefix, which starts a 32-bit program through the 32-bit one.
WINE = os.environ.get("LUMERIN_WINE", "wine")
# How many times longer than at full speed to wait for the programs (1 unless set): where
# 32-bit code runs only emulated a 32-bit process takes about 50 s to start. Only waits
# for something that must happen grow; a longer wait never passes what a shorter one
# fails. The test drivers read the same variable.
TIME_SCALE = float(os.environ.get("LUMERIN_E2E_TIME_SCALE") or 1)
# Wine's debug channels for every program the tests start (none unless set, e.g.
# "+seh,+process,+loaddll,err+all"): each program's trace is kept in LUMERIN_WINE_TRACES
# (a folder, /tmp/lumerin-wine-traces unless set), apart from its output, as
# TIME-PROGRAM-PID.log, the trace's first line the command.
TRACE_CHANNELS = os.environ.get("LUMERIN_WINEDEBUG", "")
TRACES = Path(os.environ.get("LUMERIN_WINE_TRACES", "/tmp/lumerin-wine-traces"))
SCRIPTS = Path(__file__).resolve().parents[2] / "scripts"
# Starts a loader with the same address-space layout every time (the script says why).
WINE_START = SCRIPTS / "wine-start"


def patience(seconds):
    """`seconds` of waiting at full speed, scaled by TIME_SCALE."""
    return seconds * TIME_SCALE

SETTINGS_PATH = r"Software\Veltrona\Lumerin"
SETTINGS_KEY = "HKEY_CURRENT_USER\\" + SETTINGS_PATH
VALUE_NAMES = ["NumFractal", "DefaultMode", "CurPalette", "TimeOut", "LineWidth",
               "iterFrom", "iterTo", "Angle", "Background"] + [f"Color{i}" for i in range(10)] + [
               "Monitors"]


def driver(name):
    """Path of a Win32 driver program built beside the tests."""
    return DRIVERS / f"{name}.exe"


def windows_path(path):
    """A Unix path as Wine's programs see it, on drive Z:."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Display:
    """A private Xvfb, started with -displayfd so that it picks a free number."""

    def __init__(self, size="800x600x24"):
        read_fd, write_fd = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", size,
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.name = f":{number}"

    def env(self):
        return {"DISPLAY": self.name}

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env={**os.environ, **self.env()},
                              capture_output=True, text=True, timeout=30)

    def screenshot(self):
        """The whole screen as a Pillow image (RGB)."""
        from PIL import Image
        import io
        data = subprocess.run(["import", "-silent", "-window", "root", "png:-"],
                              env={**os.environ, **self.env()}, capture_output=True,
                              check=True, timeout=30).stdout
        return Image.open(io.BytesIO(data)).convert("RGB")

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class Monitors(Display):
    """Several monitors as every Wine reads them: an X server of its own (Xorg with the
    dummy video driver) whose RandR outputs are the heads, laid out side by side from the
    left, `primary` the primary output. Wine 10 takes monitors only from RandR: with
    Xinerama and no RandR it gives every monitor the primary's rectangle at 0, 0. `heads`
    are "WxH" sizes. A screenshot covers the heads' bounding box; where no head lies its
    pixels are undefined."""

    XORG = "/usr/lib/xorg/Xorg"
    CONFIG = """Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoEnableDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "card"
  Driver "dummy"
  VideoRam 16384
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 1.0 - 2000.0
  VertRefresh 1.0 - 500.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "card"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 2048 2048
  EndSubSection
EndSection
"""

    def __init__(self, heads, primary=0):
        self.folder = Path(tempfile.mkdtemp(prefix="lumerin-monitors-"))
        (self.folder / "xorg.conf").write_text(self.CONFIG)
        (self.folder / "xorg.conf.d").mkdir()
        read_fd, write_fd = os.pipe()
        # Root may name any configuration; an empty folder of snippets keeps the
        # machine's own out.
        self.process = subprocess.Popen(
            [self.XORG, "-displayfd", str(write_fd), "-config", self.folder / "xorg.conf",
             "-configdir", self.folder / "xorg.conf.d", "-logfile", self.folder / "xorg.log",
             "-nolisten", "tcp", "-noreset", "-novtswitch", "-sharevts"],
            pass_fds=(write_fd,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            log = self.folder / "xorg.log"
            tail = log.read_text(errors="replace")[-2000:] if log.exists() else ""
            self.close()
            raise RuntimeError(f"Xorg did not start; the end of its log:\n{tail}")
        self.name = f":{number}"
        # Output 0 is connected from the start; each other one once it has a mode. A mode
        # of the head's size (a clock of 12 MHz and more, as the driver wants) for each.
        layout, left = [], 0
        for index, head in enumerate(heads):
            width, height = map(int, head.split("x"))
            mode = f"head{index}"
            self.xrandr("--newmode", mode, 12.0, width, width + 16, width + 48, width + 96,
                        height, height + 3, height + 6, height + 10)
            self.xrandr("--addmode", f"DUMMY{index}", mode)
            layout += ["--output", f"DUMMY{index}", "--mode", mode, "--pos", f"{left}x0"]
            layout += ["--primary"] if index == primary else []
            left += width
        self.xrandr(*layout)
        # A query probes the outputs again: until then the server reports the ones that
        # just got a mode as disconnected to a client that does not probe (Wine).
        self.xrandr("--query")

    def xrandr(self, *args):
        result = subprocess.run(["xrandr", *map(str, args)], env={**os.environ, **self.env()},
                                capture_output=True, text=True, timeout=30)
        if result.returncode != 0:
            self.close()
            raise RuntimeError(f"xrandr {' '.join(map(str, args))}: {result.stderr}")

    def close(self):
        super().close()
        shutil.rmtree(self.folder, ignore_errors=True)


class Wine:
    """A private copy of the build tree's prepared prefix (or of `template`), on the given
    display, whose programs `loader` starts (WINE unless given)."""

    def __init__(self, display, root=None, template=None, loader=None):
        self.display = display
        self.loader = loader or WINE
        self.root = Path(root or tempfile.mkdtemp(prefix="lumerin-e2e-"))
        self.prefix = self.root / "prefix"
        subprocess.run(["cp", "-al", str(template or TEMPLATE), str(self.prefix)], check=True)
        # wineserver rewrites the registry files in place: they must be private copies.
        for name in ("system.reg", "user.reg", "userdef.reg"):
            path = self.prefix / name
            data = path.read_bytes()
            path.unlink()
            path.write_bytes(data)
        # The prefix's server lives in a folder of its own (the script says why).
        self.server_root = Path(subprocess.run(
            [SCRIPTS / "wine-server-folder", self.prefix], capture_output=True, text=True,
            check=True).stdout.strip())
        self.processes = []
        self.start_server()

    def start_server(self):
        """One server for the prefix's whole life (or until stop_server): no program ever
        starts one, nor meets one that is ending because the programs before it ended."""
        subprocess.run([WINE_START, "wineserver", "-p"], env=self.env(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True,
                       timeout=patience(60))

    def stop_server(self):
        """Ends the prefix's server and every program of the prefix, and waits for them."""
        subprocess.run([WINE_START, "wineserver", "-k"], env=self.env(), capture_output=True)
        subprocess.run([WINE_START, "wineserver", "-w"], env=self.env(), capture_output=True,
                       timeout=30)
        if not wait_for(lambda: not self.running(""), 30):
            for pid in self.running(""):
                os.kill(pid, signal.SIGKILL)

    def restart_server(self):
        """A new server, which reads the prefix's settings afresh (Wine's display driver
        reads its own only when the server starts)."""
        self.stop_server()
        self.start_server()

    def env(self, extra=None):
        env = {**os.environ, "WINEPREFIX": str(self.prefix),
               "WINEDEBUG": TRACE_CHANNELS or "-all",
               "WINEDLLOVERRIDES": "mscoree,mshtml=;winedbg.exe=d", **self.display.env()}
        env.update(extra or {})
        return env

    def start(self, program, *args, env=None, cwd=None):
        """Starts a Windows program, in `cwd` when given (its current directory);
        its output goes to files, never to our pipes."""
        out = tempfile.NamedTemporaryFile(dir=self.root, prefix="out-", delete=False)
        trace = None
        if TRACE_CHANNELS:
            TRACES.mkdir(parents=True, exist_ok=True)
            trace = tempfile.NamedTemporaryFile(dir=TRACES, delete=False)
            trace.write(f"{self.prefix}: {program} {' '.join(map(str, args))}\n".encode())
            trace.flush()
        process = subprocess.Popen([WINE_START, self.loader, str(program), *map(str, args)],
                                   env=self.env(env), stdin=subprocess.DEVNULL,
                                   stdout=out, stderr=trace or subprocess.STDOUT,
                                   start_new_session=True, cwd=cwd)
        process.output_path = out.name
        out.close()
        if trace:
            name = f"{time.strftime('%H%M%S')}-{Path(str(program)).name}-{process.pid}.log"
            os.rename(trace.name, TRACES / name)
            trace.close()
        self.processes.append(process)
        return process

    def run(self, program, *args, timeout=60, env=None, cwd=None):
        """Runs a program to its end; returns (exit status 0..255, output text)."""
        process = self.start(program, *args, env=env, cwd=cwd)
        status = process.wait(patience(timeout))
        return status, self.output(process)

    def output(self, process):
        return Path(process.output_path).read_text(errors="replace")

    # The registry -------------------------------------------------------------
    def import_reg(self, text):
        """Imports a REGEDIT4 text."""
        path = self.root / "import.reg"
        path.write_text("REGEDIT4\r\n\r\n" + text.replace("\n", "\r\n"))
        status, out = self.run("regedit", "/S", str(path))
        assert status == 0, out

    def set_settings(self, values, clear=True):
        """Writes settings values; ints become REG_DWORDs, anything else a raw line."""
        lines = []
        if clear:
            lines.append(f"[-{SETTINGS_KEY}]\n")
        lines.append(f"[{SETTINGS_KEY}]")
        for name, value in values.items():
            if isinstance(value, int):
                lines.append(f'"{name}"=dword:{value & 0xFFFFFFFF:08x}')
            else:
                lines.append(f'"{name}"={value}')
        self.import_reg("\n".join(lines) + "\n")

    def query(self, key):
        """Values of a key as {name: (type, data)}; None when the key is missing."""
        status, out = self.run("reg", "query", key)
        if status != 0:
            return None
        values = {}
        for line in out.splitlines():
            match = re.match(r"^\s{4}(.*?)\s{4}(REG_\w+)\s{4}?(.*)$", line)
            if match:
                name, kind, data = match.groups()
                values[name] = (kind, data.strip())
        return values

    def dump_key(self, path=SETTINGS_PATH):
        """Every value of a key under HKEY_CURRENT_USER exactly as stored (name, type, size,
        bytes), one line each; None when the key is missing. "reg query" shows a DWORD of
        another size with bytes that are not there, so byte-exact comparisons use this."""
        status, out = self.run(driver("regdump"), path)
        assert status in (0, 1), out
        return out if status == 0 else None

    def settings(self):
        """The settings key's DWORD values as {name: int}; None when the key is missing."""
        values = self.query(SETTINGS_KEY)
        if values is None:
            return None
        return {name: int(data, 16) for name, (kind, data) in values.items()
                if kind == "REG_DWORD"}

    def set_windows_version(self, program, version):
        """Makes Wine report another Windows version (e.g. "win98") to one program."""
        self.import_reg(f"[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\{program}]\n"
                        f'"Version"="{version}"\n')

    def running(self, name):
        """Pids of this prefix's processes whose command line contains `name`."""
        pids = []
        marker = f"WINEPREFIX={self.prefix}".encode()
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            try:
                cmdline = (entry / "cmdline").read_bytes()
                environ = (entry / "environ").read_bytes()
            except OSError:
                continue
            if name.encode() in cmdline and marker in environ.split(b"\0"):
                pids.append(int(entry.name))
        return pids

    def close(self):
        for process in self.processes:
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
        # Nothing of the prefix may outlive it, the server least of all.
        self.stop_server()
        shutil.rmtree(self.root, ignore_errors=True)
        shutil.rmtree(self.server_root, ignore_errors=True)


def wait_for(predicate, timeout=10.0, interval=0.05):
    """Polls until predicate() is truthy; returns its value, or None after the timeout
    (scaled by TIME_SCALE)."""
    deadline = time.monotonic() + patience(timeout)
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            return None
        time.sleep(interval)


def find_windows(display, name):
    """X window ids whose title is exactly `name`."""
    result = display.xdotool("search", "--name", f"^{re.escape(name)}$")
    return [int(w) for w in result.stdout.split()]


def cpu_seconds(pid):
    """User plus system CPU time a process has used so far, in seconds."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def pixel_colour(image, x, y):
    r, g, b = image.getpixel((x, y))
    return r | g << 8 | b << 16  # as a COLORREF
