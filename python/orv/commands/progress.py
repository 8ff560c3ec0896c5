"""Progress of a long run on standard error: a bar on a terminal, plain lines elsewhere."""

from __future__ import annotations

import sys
import time
from typing import Any, TextIO

# Between two plain progress lines, so that a log file gets a few lines a minute.
PLAIN_INTERVAL_SECONDS = 10.0
# Longest that a line for the bar's terminal waits to be written.
HOLD_SECONDS = 0.2


class Progress:
    """Counts finished items against a total; ``write`` prints a line without garbling the
    bar when both streams are the same terminal."""

    def __init__(self, total: int, what: str, stream: TextIO | None = None) -> None:
        self._stream = stream or sys.stderr
        self._total = total
        self._what = what
        self._done = self._shown = 0
        self._started = self._last_line = time.monotonic()
        self._bar = _bar(total, what, self._stream) if _is_terminal(self._stream) else None
        self._held: list[str] = []
        self._held_for: TextIO | None = None
        self._last_flush = self._started

    def advance(self, count: int = 1) -> None:
        self._done += count
        now = time.monotonic()
        if self._bar is not None:
            self._bar.update(count)
            if self._held and now - self._last_flush >= HOLD_SECONDS:
                self._flush()
            return
        if now - self._last_line >= PLAIN_INTERVAL_SECONDS:
            self._last_line = now
            self._plain_line(now)

    def write(self, line: str, out: TextIO) -> None:
        # Only lines for the bar's own terminal need the bar cleared and drawn again, which
        # costs far more than a line; they are held and written together, a few times a
        # second. Output piped elsewhere is written as it comes.
        if self._bar is None or not _is_terminal(out):
            out.write(line + "\n")
            return
        if self._held_for is not out:
            self._flush()
            self._held_for = out
        self._held.append(line)

    def close(self) -> None:
        if self._bar is not None:
            self._flush()
            self._bar.close()
        elif self._shown and self._shown != self._done:
            # A long run ends with its final count; a short one prints no progress at all.
            self._plain_line(time.monotonic())

    def _flush(self) -> None:
        self._last_flush = time.monotonic()
        if self._held and self._bar is not None:
            self._bar.write("\n".join(self._held), file=self._held_for)
        self._held.clear()

    def _plain_line(self, now: float) -> None:
        self._shown = self._done
        rate = self._done / max(now - self._started, 1e-9)
        share = 100 * self._done / self._total if self._total else 100
        print(f"{self._done:,} of {self._total:,} {self._what} ({share:.0f}%), "
              f"{rate:,.0f} {self._what}/s", file=self._stream, flush=True)


def _bar(total: int, what: str, stream: TextIO) -> Any:
    # Imported here: commands that show no bar (play, view) must not need the library, and an
    # installation without it (pip install --no-deps) falls back to plain lines.
    try:
        from tqdm import tqdm  # type: ignore[import-untyped]
    except ImportError:
        return None
    # No monitor thread: the worker processes are forked while the bar runs, and a fork
    # should not copy a thread that may hold a lock.
    tqdm.monitor_interval = 0
    return tqdm(total=total, unit=" " + what, file=stream, smoothing=0.1, dynamic_ncols=True)


def _is_terminal(stream: TextIO) -> bool:
    try:
        return stream.isatty()
    except (AttributeError, ValueError):
        return False
