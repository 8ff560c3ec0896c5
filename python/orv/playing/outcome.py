"""What a level came to: solved, ended, stuck or out of steps, and why.

A run ends in one of four ways:

- solved: the level ended and every gate placed in it opened;
- ended: the level ended and it never had a gate;
- stuck: the level ended with a gate that never opened (still closed in its zone, or carried
  out of the level when an outer zone collapsed before its own zone was worked down);
- out of steps: the step budget ran out before the level ended.

The engine classifies a run (include/orv/run_outcome.hpp), and every route hands out what it
found as a ``LevelOutcome``. ``play_outcome`` has the engine play a level and classify it at
the end, with nothing of the frames coming back to Python, which keeps it fast on levels whose
frames are large. ``classify_frames`` (and ``OutcomeTally``, which it drives) sends the engine
frame documents that a caller has parsed anyway.
"""

from __future__ import annotations

import json
from collections.abc import Iterable
from dataclasses import dataclass
from enum import StrEnum

from orv import _native
from orv.documents import Json, StepRecordJson
from orv.exit_status import OUTCOME_STATUSES, ExitStatus
from orv.levels.samples import LevelSource, level_source_text
from orv.playing.causes import BlockingZone, Cause, engine_number, engine_text, packed
from orv.playing.frames import RecordedRun
from orv.playing.numbers import READABLE_DIGITS, counted


class Outcome(StrEnum):
    SOLVED = "solved"
    ENDED = "ended"
    STUCK = "stuck"
    OUT_OF_STEPS = "out of steps"




def run_counts(frames: int, spells: int, collapses: int, opened: int, gates: int) -> str:
    """``4 frames, 2 spells, 1 collapse, 0 of 1 gate opened``."""
    return (f"{counted(frames, 'frame')}, {counted(spells, 'spell')}, "
            f"{counted(collapses, 'collapse')}, {opened} of {counted(gates, 'gate')} opened")


def exit_status(outcome: Outcome | None) -> ExitStatus:
    """The exit status of ``play`` and ``check``; None stands for a level that cannot load."""
    return ExitStatus.CANNOT_RUN if outcome is None else OUTCOME_STATUSES[outcome]


@dataclass(frozen=True)
class ClosedGate:
    """A gate that never opened, and why (``cause``, see ``orv.playing.causes``).

    ``last_total`` is the signed total of the gate's zone at the end of the run, which is
    what the gate last saw when its zone was not frozen in the last step; it is None when
    the zone held no charge (an empty zone opens no gate) or when the zone is gone.
    ``zone_frozen`` says the zone was frozen in the last step, so the gate was not tried
    then, and ``blocked_by`` names the zones below that kept it so; ``removed`` says the
    gate left the level unopened with the collapse of the zone ``left_with`` in frame
    ``left_at``. ``difference`` is the total minus the target. NaN stands for the JSON null
    of a target or total that is not a number.
    """

    visual_id: str
    zone: str
    rule: str
    target: float
    last_total: float | None
    zone_frozen: bool = False
    removed: bool = False
    cause: Cause = Cause.WRONG_TOTAL
    difference: float | None = None
    blocked_by: tuple[BlockingZone, ...] = ()
    left_with: str | None = None
    left_at: int | None = None
    text: str = engine_text()
    exact_text: str = engine_text()

    @classmethod
    def from_engine(cls, data: Json) -> ClosedGate:
        """The gate as the engine's outcome writes it (``RunOutcome::to_json``)."""
        target = engine_number(data["target"])
        assert target is not None
        return cls(data["visual_id"], data["zone"], data["rule"], target,
                   engine_number(data["last_total"]), data["zone_frozen"], data["removed"],
                   Cause(data["cause"]), engine_number(data["difference"]),
                   tuple(BlockingZone.from_engine(zone) for zone in data["blocked_by"]),
                   data["left_with"], data["left_at"], data["text"], data["exact_text"])

    def describe(self, digits: int | None = READABLE_DIGITS) -> str:
        """The gate in one line, as the engine wrote it: its numbers to six significant
        digits (``READABLE_DIGITS``), or every digit for None, as reports keep them."""
        if digits is None:
            return self.exact_text
        if digits != READABLE_DIGITS:
            raise ValueError(f"a gate's line gives its numbers to {READABLE_DIGITS} "
                             f"significant digits or every digit (None), not {digits}")
        return self.text

    def to_dict(self) -> Json:
        """A JSON-ready form with every digit; numbers that are not finite become null."""
        form: Json = packed(self)
        return form


@dataclass(frozen=True)
class IdleAgent:
    """An agent that never cast: still in its zone at the end (``reason`` says why it
    cannot cast now), or carried out with it (``removed``)."""

    name: str
    visual_id: str
    zone: str
    reason: str = ""
    removed: bool = False
    text: str = engine_text()

    @classmethod
    def from_engine(cls, data: Json) -> IdleAgent:
        return cls(data["name"], data["visual_id"], data["zone"], data["reason"],
                   data["removed"], data["text"])

    def describe(self) -> str:
        return self.text

    def to_dict(self) -> Json:
        form: Json = packed(self)
        return form


@dataclass(frozen=True)
class LevelOutcome:
    """Everything a report on one run needs; ``frames`` is the number of steps taken."""

    outcome: Outcome
    frames: int
    spells: int
    collapses: int
    gates_opened: int
    closed_gates: tuple[ClosedGate, ...]
    idle_agents: tuple[IdleAgent, ...]
    final_charges: tuple[ZoneCharges, ...]
    final_status: str
    final_message: str

    @classmethod
    def from_engine(cls, text: str) -> LevelOutcome:
        """The outcome from the JSON text of the engine's (``RunOutcome::to_json``)."""
        data = json.loads(text)
        return cls(Outcome(data["outcome"]), data["frames"], data["spells"], data["collapses"],
                   data["gates_opened"],
                   tuple(ClosedGate.from_engine(gate) for gate in data["closed_gates"]),
                   tuple(IdleAgent.from_engine(agent) for agent in data["idle_agents"]),
                   tuple(ZoneCharges(zone["zone"], zone["path"], tuple(zone["charges"]))
                         for zone in data["final_charges"]),
                   data["final_status"], data["final_message"])

    @property
    def exit_status(self) -> ExitStatus:
        return OUTCOME_STATUSES[self.outcome]

    @property
    def causes(self) -> tuple[Cause, ...]:
        """The distinct causes of the closed gates, in the order of the gates."""
        return tuple(dict.fromkeys(gate.cause for gate in self.closed_gates))

    def line(self) -> str:
        """The outcome in one line, e.g.
        ``stuck (8 frames, 3 spells, 3 collapses, 1 of 2 gates opened)``."""
        counts = run_counts(self.frames, self.spells, self.collapses, self.gates_opened,
                            self.gates_opened + len(self.closed_gates))
        return f"{self.outcome} ({counts})"

    def details(self, limit: int | None = None) -> list[str]:
        """The closed gates and the agents that never cast, one per line; past ``limit``
        lines of each, a last line counts the rest."""
        gates = [f"closed {gate.describe()}" for gate in self.closed_gates]
        agents = [f"never cast: {agent.describe()}" for agent in self.idle_agents]
        return _capped(gates, limit, "closed gate") + _capped(agents, limit, "idle agent")

    def to_dict(self) -> Json:
        """A JSON-ready form; numbers that are not finite become null."""
        form: Json = packed(self)
        return form


@dataclass(frozen=True)
class ZoneCharges:
    """The charges a zone still holds at the end of the run; ``path`` is its place in the
    tree ("" for the top zone, "1.0" for the first sub-zone of its second)."""

    zone: str
    path: str
    charges: tuple[Json, ...]

    @property
    def is_top(self) -> bool:
        return self.path == ""

    def to_dict(self) -> Json:
        return {"zone": self.zone, "path": self.path, "charges": list(self.charges)}


class OutcomeTally:
    """Gathers a run's frames as a caller parsed them, for the engine to classify: made from
    the tree before the first step, given each frame's step record or, for a frame that has
    none, its meta object, and at the end the last frame document."""

    def __init__(self, start: Json) -> None:
        self._start = start
        self._steps: list[Json | StepRecordJson] = []

    def record(self, meta: Json) -> None:
        """The step of a frame that carries no step record: the engine reads its event."""
        self._steps.append(meta)

    def record_step(self, step: StepRecordJson) -> None:
        """The step of a frame, from its step record."""
        self._steps.append(step)

    def result(self, last: Json) -> LevelOutcome:
        return LevelOutcome.from_engine(_native.classify(
            json.dumps(self._start), json.dumps(self._steps), json.dumps(last)))


def classify_frames(start: Json, documents: Iterable[Json],
                    records: Iterable[StepRecordJson | None] | None = None) -> LevelOutcome:
    """The outcome of a run from the tree before its first step and its frame documents,
    with their step records when there are (``Frame.record``)."""
    tally = OutcomeTally(start)
    last: Json | None = None
    steps = iter(records) if records is not None else None
    for last in documents:
        record = next(steps, None) if steps is not None else None
        if record is not None:
            tally.record_step(record)
        else:
            tally.record(last["meta"])
    if last is None:
        raise ValueError("a run has at least one frame")
    return tally.result(last)


def play_outcome(level: LevelSource) -> LevelOutcome:
    """Play ``level`` (a zone tree, which is left as it is, a level file or a sample's name)
    to its end and classify the run.

    The engine plays it and classifies the run itself; only the outcome comes back.
    """
    return run_outcome(RecordedRun(level_source_text(level)))


def run_outcome(run: RecordedRun) -> LevelOutcome:
    """Play a run to its end and classify it."""
    run.finish()
    return LevelOutcome.from_engine(run.outcome_text())


def _capped(lines: list[str], limit: int | None, what: str) -> list[str]:
    if limit is None or len(lines) <= limit:
        return lines
    return lines[:limit] + [f"... and {counted(len(lines) - limit, 'more ' + what)}"]
