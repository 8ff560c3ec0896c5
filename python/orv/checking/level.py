"""Checking one level: load it, play it to its end and keep what a report needs.

The functions here run in worker processes and on Dask workers, so they take the level's
text (or its path, where the worker can read the file itself), catch every failure of the
level, and return a plain record that pickles cheaply. A level that cannot be loaded, or
that raises while it is played, is a result with the outcome "error", never an exception.
"""

from __future__ import annotations

import pickle
import time
from collections.abc import Iterable
from dataclasses import dataclass, field
from typing import Any

import orv_engine

from orv.levels.designer_keys import designer_text
from orv.levels.files import LevelError, level_from_json
from orv.levels.puzzle_keys import HAND
from orv.levels.reading import read_level_file
from orv.levels.top_zone_keys import level_extras
from orv.playing.outcome import play_outcome

ERROR = "error"


@dataclass
class LevelCheck:
    """What checking one level came to. ``causes`` are the distinct causes of the closed
    gates; each closed gate and idle agent is its object's fields with its line as "text";
    ``final_charges`` holds each zone that still has charges (zone, path, charges);
    ``error`` (every problem, one text each) is empty unless the outcome is "error"."""

    path: str
    outcome: str
    frames: int = 0
    spells: int = 0
    collapses: int = 0
    gates_opened: int = 0
    gates_closed: int = 0
    causes: list[str] = field(default_factory=list)
    closed_gates: list[dict[str, Any]] = field(default_factory=list)
    idle_agents: list[dict[str, Any]] = field(default_factory=list)
    final_charges: list[dict[str, Any]] = field(default_factory=list)
    title: str = ""
    hint: str = ""
    notes: str = ""
    error: list[str] = field(default_factory=list)
    seconds: float = 0.0
    hand: int = 0

    def to_dict(self) -> dict[str, Any]:
        # Shallow on purpose: dataclasses.asdict copies every charge dict, and a report
        # writes this once for every level.
        return dict(vars(self))


def failed(path: str, reasons: str | list[str], seconds: float = 0.0) -> LevelCheck:
    """The record of a level that could not be checked at all, for one reason or several."""
    return LevelCheck(path, ERROR, error=[reasons] if isinstance(reasons, str) else reasons,
                      seconds=seconds)


def check_level_text(path: str, text: str | bytes) -> LevelCheck:
    """Load the level from its text and play it to its end; ``path`` only labels it."""
    started = time.perf_counter()
    try:
        check = play_to_outcome(path, level_from_json(text))
    except MemoryError:
        # Described outside the handler, once what the level held is released.
        reasons = ["out of memory while playing the level"]
    except LevelError as error:
        reasons = problem_lines(error)
    except Exception as error:  # noqa: BLE001 - every failure of one level is its result
        reasons = [describe(error)]
    else:
        check.seconds = time.perf_counter() - started
        return check
    return failed(path, reasons, time.perf_counter() - started)


def check_level_file(path: str) -> LevelCheck:
    """Read and check one level file; a file that cannot be read is an "error" result."""
    started = time.perf_counter()
    try:
        text = read_level_file(path)
    except (OSError, LevelError) as error:
        return failed(path, read_failure(error), time.perf_counter() - started)
    check = check_level_text(path, text)
    check.seconds = time.perf_counter() - started
    return check


def read_failure(error: OSError | LevelError) -> str:
    """Why a level file could not be read, without its path (the report row names it)."""
    if isinstance(error, LevelError):
        return error.problem
    return f"cannot read the file: {error.strerror or describe(error)}"


def check_texts(batch: Iterable[tuple[str, str | bytes]]) -> list[LevelCheck]:
    """Check a batch of (path, text) pairs; the unit of work sent to a Dask worker."""
    return [check_level_text(path, text) for path, text in batch]


def check_packed(batch: bytes) -> bytes:
    """``check_texts`` on a pickled batch, returning the pickled results.

    The unit of work of a Dask worker: one opaque object each way, which Dask sends as it is,
    where a list would be walked and serialized item by item on the scheduler and the client.
    """
    checks = check_texts(pickle.loads(batch))
    return pickle.dumps(checks, protocol=pickle.HIGHEST_PROTOCOL)


def check_files(paths: Iterable[str]) -> list[LevelCheck]:
    """Check a batch of level files; the unit of work of a local worker process."""
    return [check_level_file(path) for path in paths]


def play_to_outcome(path: str, top: orv_engine.Environment) -> LevelCheck:
    """Play the level under ``top`` to its end and keep what the report needs, with the
    designer's text of the level."""
    designer = designer_text(top)
    played = play_outcome(top)
    return LevelCheck(path, str(played.outcome), frames=played.frames, spells=played.spells,
                      collapses=played.collapses, gates_opened=played.gates_opened,
                      gates_closed=len(played.closed_gates),
                      causes=[str(cause) for cause in played.causes],
                      closed_gates=[{**gate.to_dict(), "text": gate.describe(digits=None)}
                                    for gate in played.closed_gates],
                      idle_agents=[{**agent.to_dict(), "text": agent.describe()}
                                   for agent in played.idle_agents],
                      final_charges=[zone.to_dict() for zone in played.final_charges],
                      title=designer.get("title", ""), hint=designer.get("hint", ""),
                      notes=designer.get("notes", ""),
                      hand=len(level_extras(top).get(HAND, ())))


def problem_lines(error: LevelError) -> list[str]:
    """Every problem the loader found, each as ``place: problem``."""
    return [f"{place}: {problem}" for place, problem in error.problems]


def describe(error: BaseException) -> str:
    """The error on one line (a loader's problems joined by "; "); an error without a
    message is named by its type, so that a reason is never empty."""
    if isinstance(error, LevelError):
        return "; ".join(problem_lines(error))
    message = " ".join(str(error).split())
    return f"{type(error).__name__}: {message}" if message else type(error).__name__

