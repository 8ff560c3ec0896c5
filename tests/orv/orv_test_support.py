"""Helpers shared by the tests of the companion package ``orv``."""

from __future__ import annotations

import os
import subprocess
import sys
import time
from collections.abc import Callable
from typing import TypeVar

import orv_engine
from orv_engine import NEGATIVE, POSITIVE

# The sanitizer run preloads the AddressSanitizer runtime into every process; programs that
# are not part of that build (the browser, a compiler building a wheel) must not get it.
SANITIZER_VARIABLES = ("LD_PRELOAD", "PYTHONMALLOC", "ASAN_OPTIONS", "UBSAN_OPTIONS")


def environment_without_sanitizer() -> dict[str, str]:
    return {key: value for key, value in os.environ.items() if key not in SANITIZER_VARIABLES}


def browser_engine_missing() -> str | None:
    """Why this build has no browser engine, or None when it has one."""
    from orv.web import BrowserEngineMissing, browser_engine_path

    try:
        browser_engine_path()
    except BrowserEngineMissing as missing:
        if "ASAN_OPTIONS" in os.environ:
            return "the sanitizer build has no browser engine: the release build's run tests it"
        return str(missing)
    return None


T = TypeVar("T")
# How long a test waits for a condition before it fails: only a hang guard, far beyond what a
# busy machine needs, never the way a test waits.
PATIENCE_SECONDS = 120.0


def wait_for(condition: Callable[[], T | None], what: str,
             patience: float = PATIENCE_SECONDS) -> T:
    """The first true value of ``condition``, asked again and again until it has one."""
    deadline = time.monotonic() + patience
    while not (value := condition()):
        assert time.monotonic() < deadline, f"waited {patience:g} s for {what}"
        time.sleep(0.02)
    return value


def run_orv(*arguments: str, cwd: str | os.PathLike[str]) -> subprocess.CompletedProcess[str]:
    """``python -m orv ARGUMENTS`` in this interpreter, with its output captured."""
    return subprocess.run([sys.executable, "-m", "orv", *arguments], cwd=cwd,
                          capture_output=True, text=True, timeout=300, check=False)


def two_room_level() -> orv_engine.Environment:
    """A small level: 4 + 6 in one room, the negative 5 made positive in the other, and a
    gate on the top zone that wants 15."""
    adder = orv_engine.Environment("adder")
    adder.add_charge(4, POSITIVE, "four")
    adder.add_charge(6, POSITIVE, "six")
    adder.add_plus_magician("plus")
    purifier = orv_engine.Environment("purifier")
    purifier.add_charge(5, NEGATIVE, "shadow")
    purifier.add_abs_magician("abs")
    top = orv_engine.Environment("top")
    top.add_equals_gate("goal", 15)
    top.add_plus_magician("sum")
    top.add_sub_environment(adder)
    top.add_sub_environment(purifier)
    return top


def frame_texts(top: orv_engine.Environment) -> list[str]:
    """Every frame of a run of the level, as the sequencer wrote it."""
    sequencer = orv_engine.NarrativeSequencer(top)
    texts = []
    while not sequencer.is_finished:
        texts.append(sequencer.next_frame())
    return texts


def nested_zones(depth: int) -> str:
    """The text of a level of ``depth`` empty zones, each inside the one before."""
    text = '{"agents":[],"charges":[],"id":"z","is_time_frozen":false,"sub_environments":[' * depth
    return text + "]}" * depth
