"""Drives Debian's headless Chromium over its DevTools pipe, for the viewer's browser test.

``--remote-debugging-pipe`` makes Chromium read DevTools commands from file descriptor 3 and
write answers and events to descriptor 4, each message a JSON text ended by a NUL byte. That
needs neither a network port nor any package beyond the standard library.
"""

from __future__ import annotations

import base64
import fcntl
import json
import os
import select
import shutil
import subprocess
import time
from pathlib import Path
from typing import Any

CHROMIUM = shutil.which("chromium")
# Only a hang guard: a busy machine answers within it.
ANSWER_TIMEOUT = 120.0


class BrowserError(RuntimeError):
    """The browser refused a command or did not answer in time."""


def _moved_high(descriptor: int) -> int:
    # The child's descriptors 3 and 4 are set by redirections; keeping ours at 10 and above
    # means no redirection can overwrite a descriptor before it has been read.
    high = fcntl.fcntl(descriptor, fcntl.F_DUPFD_CLOEXEC, 10)
    os.close(descriptor)
    return high


class HeadlessChromium:
    """One headless browser with one page; use it in a ``with`` block."""

    def __init__(self, profile: Path, environment: dict[str, str]) -> None:
        command_read, self._command_write = map(_moved_high, os.pipe())
        self._answer_read, answer_write = map(_moved_high, os.pipe())
        wiring = f'exec "$@" 3<&{command_read} 4>&{answer_write}'
        self._process = subprocess.Popen(
            ["bash", "-c", wiring, "bash", str(CHROMIUM), "--headless", "--no-sandbox",
             "--disable-gpu", "--remote-debugging-pipe", "--window-size=1000,800",
             f"--user-data-dir={profile}", "about:blank"],
            pass_fds=(command_read, answer_write), env=environment,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(command_read)
        os.close(answer_write)
        self._buffer = b""
        self._last_id = 0
        self._events: list[dict[str, Any]] = []
        try:
            target = self._send("Target.createTarget", {"url": "about:blank"})["targetId"]
            self._session = self._send("Target.attachToTarget",
                                       {"targetId": target, "flatten": True})["sessionId"]
            self._send("Page.enable", session=self._session)
        except BaseException:
            self._process.kill()
            self._close()
            raise

    def __enter__(self) -> HeadlessChromium:
        return self

    def __exit__(self, *exc_info: object) -> None:
        try:
            self._send("Browser.close")
        except (BrowserError, OSError):
            self._process.kill()
        finally:
            self._close()

    def _close(self) -> None:
        self._process.wait(timeout=30)
        os.close(self._command_write)
        os.close(self._answer_read)

    def open(self, url: str) -> None:
        """Load ``url`` afresh and wait for its load event (its scripts have run by then)."""
        # Going to the same page with another #fragment would only scroll, with no load
        # event to wait for; a blank page in between makes every open a real load.
        for address in ("about:blank", url):
            self._events.clear()
            self.page("Page.navigate", {"url": address})
            while not any(e.get("method") == "Page.loadEventFired" for e in self._events):
                self._read_message()

    def evaluate(self, expression: str) -> Any:
        answer = self.page("Runtime.evaluate", {"expression": expression,
                                                "returnByValue": True, "awaitPromise": True})
        if "exceptionDetails" in answer:
            raise BrowserError(f"script failed: {answer['exceptionDetails']}")
        return answer["result"].get("value")

    def press(self, key: str, key_code: int) -> None:
        """A real key press, as the page's keydown listener receives it."""
        for kind in ("keyDown", "keyUp"):
            self.page("Input.dispatchKeyEvent", {"type": kind, "key": key, "code": key,
                                                 "windowsVirtualKeyCode": key_code})

    def press_with_control(self, key: str, key_code: int, shift: bool = False) -> None:
        """A key pressed with Ctrl (and Shift) held, as a shortcut reaches the page."""
        for kind in ("keyDown", "keyUp"):
            self.page("Input.dispatchKeyEvent", {"type": kind, "key": key, "code": f"Key{key}",
                                                 "modifiers": 2 | (8 if shift else 0),
                                                 "windowsVirtualKeyCode": key_code})

    def type_text(self, text: str) -> None:
        """Text typed into the element that has the focus."""
        self.page("Input.insertText", {"text": text})

    def answer_dialog(self, accept: bool) -> str:
        """Wait for the page's next dialog (such as a confirm), answer it, and return what it
        asked."""
        while True:
            for event in self._events:
                if event.get("method") == "Page.javascriptDialogOpening":
                    self._events.remove(event)
                    self.page("Page.handleJavaScriptDialog", {"accept": accept})
                    return str(event["params"]["message"])
            self._read_message()

    def click(self, selector: str, across: float = 0.5) -> None:
        """A real mouse click on the element ``selector`` finds: halfway down, and
        ``across`` of its width from its left edge (the middle by default)."""
        box = self.evaluate(f"(r => [r.x + r.width * {across}, r.y + r.height / 2])("
                            f"document.querySelector({json.dumps(selector)})"
                            ".getBoundingClientRect())")
        for kind in ("mousePressed", "mouseReleased"):
            self.page("Input.dispatchMouseEvent", {"type": kind, "x": box[0], "y": box[1],
                                                   "button": "left", "clickCount": 1})

    def screenshot(self, path: Path) -> None:
        path.write_bytes(base64.b64decode(self.page("Page.captureScreenshot")["data"]))

    def page(self, method: str, params: dict[str, Any] | None = None) -> dict[str, Any]:
        return self._send(method, params, session=self._session)

    def _send(self, method: str, params: dict[str, Any] | None = None,
              session: str | None = None) -> dict[str, Any]:
        self._last_id += 1
        message: dict[str, Any] = {"id": self._last_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self._command_write, json.dumps(message).encode() + b"\0")
        while True:
            answer = self._read_message()
            if answer.get("id") == self._last_id:
                if "error" in answer:
                    raise BrowserError(f"{method}: {answer['error']}")
                result: dict[str, Any] = answer["result"]
                return result

    def _read_message(self) -> dict[str, Any]:
        deadline = time.monotonic() + ANSWER_TIMEOUT
        while b"\0" not in self._buffer:
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([self._answer_read], [], [], remaining)[0]:
                raise BrowserError("the browser did not answer in time")
            chunk = os.read(self._answer_read, 1 << 16)
            if not chunk:
                raise BrowserError("the browser closed its DevTools pipe")
            self._buffer += chunk
        text, self._buffer = self._buffer.split(b"\0", 1)
        message: dict[str, Any] = json.loads(text)
        if "id" not in message:
            self._events.append(message)
        return message
