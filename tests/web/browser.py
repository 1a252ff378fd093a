"""Debian's Chromium, headless, driven over the DevTools protocol on a pipe (file
descriptors 3 and 4, one NUL-terminated JSON message each way): no npm package and no
network port. One browser per test module, one page per test."""

import base64
import io
import json
import os
import shutil
import subprocess
import tempfile
import time

from PIL import Image

CHROMIUM = os.environ.get("LUMERIN_CHROMIUM", "/usr/bin/chromium")


class BrowserError(RuntimeError):
    pass


class Browser:
    def __init__(self, options=()):
        """`options`: more command-line switches, as --force-prefers-reduced-motion."""
        self.profile = tempfile.mkdtemp(prefix="lumerin-chromium-")
        to_browser_read, self._to_browser = os.pipe()
        self._from_browser, from_browser_write = os.pipe()
        args = [
            CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--disable-extensions", "--mute-audio", "--remote-debugging-pipe",
            # Hidden or covered headless pages would otherwise get no animation frames.
            "--disable-background-timer-throttling", "--disable-renderer-backgrounding",
            "--disable-backgrounding-occluded-windows",
            f"--user-data-dir={self.profile}", *options, "about:blank",
        ]

        def pipes():
            os.dup2(to_browser_read, 3)
            os.dup2(from_browser_write, 4)

        self.process = subprocess.Popen(args, preexec_fn=pipes, pass_fds=(3, 4),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self._buffer = b""
        self._next_id = 0
        self.events = []

    def close(self):
        try:
            self.send("Browser.close")
        except (BrowserError, OSError):
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self._to_browser)
        os.close(self._from_browser)
        shutil.rmtree(self.profile, ignore_errors=True)

    def _read_message(self):
        while b"\0" not in self._buffer:
            chunk = os.read(self._from_browser, 1 << 16)
            if not chunk:
                raise BrowserError("the browser closed its pipe")
            self._buffer += chunk
        message, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(message)

    def send(self, method, params=None, session=None):
        self._next_id += 1
        request = {"id": self._next_id, "method": method, "params": params or {}}
        if session is not None:
            request["sessionId"] = session
        os.write(self._to_browser, json.dumps(request).encode() + b"\0")
        while True:
            message = self._read_message()
            if message.get("id") == self._next_id:
                if "error" in message:
                    raise BrowserError(f"{method}: {message['error']}")
                return message.get("result", {})
            self.events.append(message)

    def new_page(self, width, height, background=False):
        """A new tab; a background one is hidden until activate()."""
        target = self.send("Target.createTarget", {"url": "about:blank",
                                                   "background": background})["targetId"]
        session = self.send("Target.attachToTarget", {"targetId": target,
                                                      "flatten": True})["sessionId"]
        return Page(self, target, session, width, height)


class Page:
    def __init__(self, browser, target, session, width, height):
        self.browser = browser
        self.target = target
        self.session = session
        self.send("Runtime.enable")
        self.send("Page.enable")
        self.send("Network.enable")
        self.resize(width, height)

    def send(self, method, params=None):
        return self.browser.send(method, params, self.session)

    def close(self):
        self.browser.send("Target.closeTarget", {"targetId": self.target})

    def emulate_media(self, **features):
        """Media features as the page's queries see them, e.g. prefers_reduced_motion="reduce"."""
        self.send("Emulation.setEmulatedMedia", {"features": [
            {"name": name.replace("_", "-"), "value": value} for name, value in features.items()]})

    def activate(self):
        self.browser.send("Target.activateTarget", {"targetId": self.target})

    def resize(self, width, height, scale=1):
        self.send("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": scale,
                   "mobile": False})

    def open(self, url):
        self.send("Page.navigate", {"url": url})

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", {"expression": expression,
                                                "returnByValue": True,
                                                "awaitPromise": True})
        if "exceptionDetails" in result:
            raise BrowserError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def wait_for(self, expression, timeout=10.0):
        """Evaluates `expression` until it gives a true value, and returns that value."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                value = self.evaluate(expression)
            except BrowserError:
                value = None
            if value:
                return value
            if time.monotonic() > deadline:
                raise BrowserError(f"timed out waiting for {expression}")
            time.sleep(0.02)

    def console_messages(self, kind):
        """The texts the page wrote with console.<kind> so far."""
        texts = []
        for event in self.browser.events:
            if (event.get("sessionId") == self.session
                    and event.get("method") == "Runtime.consoleAPICalled"
                    and event["params"]["type"] == kind):
                texts.append(" ".join(str(a.get("value", "")) for a in event["params"]["args"]))
        return texts

    def requests(self):
        """The addresses the page asked for so far."""
        return [event["params"]["request"]["url"] for event in self.browser.events
                if event.get("sessionId") == self.session
                and event.get("method") == "Network.requestWillBeSent"]

    def screenshot(self):
        data = self.send("Page.captureScreenshot", {"format": "png"})["data"]
        return Image.open(io.BytesIO(base64.b64decode(data))).convert("RGB")
