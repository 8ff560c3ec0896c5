"""What a level came to: solved, ended, stuck or out of steps, and why.

A run ends in one of four ways:

- solved: the level ended and every gate placed in it opened;
- ended: the level ended and it never had a gate;
- stuck: the level ended with a gate that never opened (still closed in its zone, or carried
  out of the level when an outer zone collapsed before its own zone was worked down);
- out of steps: the step budget ran out before the level ended.

Two routes lead to the same ``LevelOutcome``. ``play_outcome`` plays a level itself and reads
only what it needs from each frame (its ``meta`` object, and the whole of the last frame),
which keeps it fast on levels whose frames are large. ``classify_frames`` (and
``OutcomeTally``, which it drives) works on frame documents that a caller has parsed anyway.
"""

from __future__ import annotations

import json
import math
from collections import Counter
from collections.abc import Iterable, Iterator
from dataclasses import asdict, dataclass
from enum import StrEnum
from typing import Any

from orv.documents import (
    CAST_SPELL,
    COLLAPSE_ZONE,
    Json,
    StepRecordJson,
    event_zone,
    walk_zones,
    zone_total,
)
from orv.exit_status import ExitStatus
from orv.levels.samples import LevelSource, level_source_text
from orv.playing.causes import BlockingZone, Cause, Diagnosis, cause_of, cause_text
from orv.playing.frames import RecordedRun
from orv.playing.numbers import READABLE_DIGITS, counted, number
from orv.rules.roster import EQUALS_GATE, GATE_NAMES


class Outcome(StrEnum):
    SOLVED = "solved"
    ENDED = "ended"
    STUCK = "stuck"
    OUT_OF_STEPS = "out of steps"


EXIT_STATUSES: dict[Outcome, ExitStatus] = {
    Outcome.SOLVED: ExitStatus.OK,
    Outcome.ENDED: ExitStatus.OK,
    Outcome.OUT_OF_STEPS: ExitStatus.OUT_OF_STEPS,
    Outcome.STUCK: ExitStatus.STUCK,
}

# An Equals Gate has no rule text in the engine's JSON; it opens within 1e-6 of its target.
EQUALS_RULE = "=="



def run_counts(frames: int, spells: int, collapses: int, opened: int, gates: int) -> str:
    """``4 frames, 2 spells, 1 collapse, 0 of 1 gate opened``."""
    return (f"{counted(frames, 'frame')}, {counted(spells, 'spell')}, "
            f"{counted(collapses, 'collapse')}, {opened} of {counted(gates, 'gate')} opened")


def exit_status(outcome: Outcome | None) -> ExitStatus:
    """The exit status of ``play`` and ``check``; None stands for a level that cannot load."""
    return ExitStatus.CANNOT_RUN if outcome is None else EXIT_STATUSES[outcome]


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

    def describe(self, digits: int | None = READABLE_DIGITS) -> str:
        """The gate in one line, its numbers to ``digits`` significant digits (every digit
        for None, as reports keep them)."""
        target = number(self.target, digits)
        where = f'gate "{self.visual_id}" in zone {self.zone} ({self.rule} {target})'
        return f"{where}: " + cause_text(self.cause, self.last_total, self.rule, self.target,
                                         self.difference, self.blocked_by, self.left_with,
                                         self.left_at, digits)

    def to_dict(self) -> Json:
        """A JSON-ready form with every digit; numbers that are not finite become null."""
        packed: Json = _finite(asdict(self))
        return packed


@dataclass(frozen=True)
class IdleAgent:
    """An agent that never cast: still in its zone at the end (``reason`` says why it
    cannot cast now), or carried out with it (``removed``)."""

    name: str
    visual_id: str
    zone: str
    reason: str = ""
    removed: bool = False

    def describe(self) -> str:
        why = "left the level with its zone" if self.removed else self.reason
        return f'{self.name} "{self.visual_id}" in zone {self.zone}' + (f": {why}" if why
                                                                        else "")

    def to_dict(self) -> Json:
        return asdict(self)


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

    @property
    def exit_status(self) -> ExitStatus:
        return EXIT_STATUSES[self.outcome]

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
        packed: Json = _finite(asdict(self))
        return packed


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
    """Builds a LevelOutcome from the tree before the first step, each frame's meta object
    and the last frame document."""

    def __init__(self, start: Json) -> None:
        self._placed = list(_agents_of(start))
        self._start = start
        self._collapsed: list[tuple[int, str]] = []
        self._cast: Counter[tuple[str, str, str]] = Counter()
        self.spells = 0
        self.collapses = 0
        self.gates_opened = 0

    def record(self, meta: Json) -> None:
        """Counts the step of a frame that carries no step record, from its event."""
        event = meta["last_event"]
        if event is None or event["type"] not in (CAST_SPELL, COLLAPSE_ZONE):
            return
        zone = event_zone(event) or ""
        if event["type"] == COLLAPSE_ZONE:
            self._count_collapse(int(meta["frame_index"]), zone)
        else:
            self._count_cast(event["agent_name"], event["visual_id"], zone)

    def record_step(self, step: StepRecordJson) -> None:
        """Counts the step of a frame from its step record."""
        zone, agent = step["zone"], step["agent"]
        if step["step"] == "collapse" and zone is not None:
            self._count_collapse(step["frame"], zone["id"])
        elif agent is not None and zone is not None:
            self._count_cast(agent["name"], agent["visual_id"], zone["id"])

    def _count_collapse(self, frame: int, zone: str) -> None:
        self.collapses += 1
        self._collapsed.append((frame, zone))

    def _count_cast(self, name: str, visual_id: str, zone: str) -> None:
        self._cast[name, visual_id, zone] += 1
        if name in GATE_NAMES:
            self.gates_opened += 1
        else:
            self.spells += 1

    def result(self, last: Json) -> LevelOutcome:
        meta = last["meta"]
        remaining: list[tuple[Json, bool | None, Json]] = list(_agents_of(last))
        gone = Counter(_key(agent, zone) for agent, _, zone in self._placed)
        gone -= Counter(_key(agent, zone) for agent, _, zone in remaining)
        gone -= self._cast
        # What is neither still placed nor cast left the level inside a collapsed zone.
        removed: list[tuple[Json, bool | None, Json]] = [
            (agent, None, zone) for agent, _, zone in self._placed
            if _take(gone, _key(agent, zone))]
        diagnosis = Diagnosis()
        ran_out = meta["status"] == "ERROR"
        closed = tuple(self._closed_gate(diagnosis, ran_out, *entry)
                       for entry in remaining + removed if entry[0]["name"] in GATE_NAMES)
        idle = tuple(_idle_agent(diagnosis, *entry) for entry in remaining + removed
                     if entry[0]["name"] not in GATE_NAMES)
        had_gates = any(agent["name"] in GATE_NAMES for agent, _, _ in self._placed)
        if meta["status"] == "ERROR":
            outcome = Outcome.OUT_OF_STEPS
        elif closed:
            outcome = Outcome.STUCK
        else:
            outcome = Outcome.SOLVED if had_gates else Outcome.ENDED
        return LevelOutcome(outcome, int(meta["frame_index"]), self.spells, self.collapses,
                            self.gates_opened, closed, idle, _final_charges(last),
                            meta["status"], meta["message"])

    def _closed_gate(self, diagnosis: Diagnosis, ran_out: bool, agent: Json,
                     frozen: bool | None, zone: Json) -> ClosedGate:
        rule = EQUALS_RULE if agent["name"] == EQUALS_GATE else agent["rule"]
        target = math.nan if agent["target_value"] is None else float(agent["target_value"])
        if frozen is None:
            left_with, left_at = self._collapse_that_took(zone)
            return ClosedGate(agent["visual_id"], zone["id"], rule, target, None, removed=True,
                              cause=Cause.LEFT_LEVEL, left_with=left_with, left_at=left_at)
        total = zone_total(zone["charges"]) if zone["charges"] else None
        cause = cause_of(target, total, frozen)
        if cause is Cause.WRONG_TOTAL and ran_out and not diagnosis.decline_reason(agent, zone):
            cause = Cause.OUT_OF_STEPS
        return ClosedGate(agent["visual_id"], zone["id"], rule, target, total,
                          zone_frozen=frozen, cause=cause,
                          difference=None if total is None else total - target,
                          blocked_by=diagnosis.blocking_zones(zone) if frozen else ())

    def _collapse_that_took(self, zone: Json) -> tuple[str | None, int | None]:
        """The outer zone whose collapse carried ``zone`` (of the tree as loaded) out of the
        level, and the frame of that collapse."""
        outer = _outer_zone_ids(self._start, zone)
        return next(((zone_id, frame) for frame, zone_id in self._collapsed
                     if zone_id in outer), (None, None))


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

    Only each frame's step record is parsed, and the last frame in full.
    """
    return run_outcome(RecordedRun(level_source_text(level)))


def run_outcome(run: RecordedRun) -> LevelOutcome:
    """Play a run to its end and classify it."""
    tally = OutcomeTally(run.start)
    last_text = ""
    for last_text, record_text in run.texts():
        tally.record_step(json.loads(record_text))
    return tally.result(json.loads(last_text))


def _agents_of(top: Json) -> Iterator[tuple[Json, bool, Json]]:
    """Every agent of the tree with its zone's freeze flag and the zone."""
    for at in walk_zones(top):
        for agent in at.zone["agents"]:
            yield agent, at.zone["is_time_frozen"], at.zone


def _key(agent: Json, zone: Json) -> tuple[str, str, str]:
    return agent["name"], agent["visual_id"], zone["id"]


def _take(counter: Counter[tuple[str, str, str]], key: tuple[str, str, str]) -> bool:
    if counter[key] <= 0:
        return False
    counter[key] -= 1
    return True


def _idle_agent(diagnosis: Diagnosis, agent: Json, frozen: bool | None,
                zone: Json) -> IdleAgent:
    if frozen is None:
        return IdleAgent(agent["name"], agent["visual_id"], zone["id"], removed=True)
    return IdleAgent(agent["name"], agent["visual_id"], zone["id"],
                     diagnosis.refusal(agent, zone).reason)


def _outer_zone_ids(top: Json, zone: Json) -> set[str]:
    """The ids of the zones around ``zone`` in the tree under ``top`` that can collapse:
    all but the top zone."""
    parents = {id(at.zone): at.parent for at in walk_zones(top)}
    outer = set()
    around = parents.get(id(zone))
    while around is not None and around is not top:
        outer.add(around["id"])
        around = parents.get(id(around))
    return outer


def _final_charges(last: Json) -> tuple[ZoneCharges, ...]:
    return tuple(ZoneCharges(at.zone["id"], at.path, tuple(at.zone["charges"]))
                 for at in walk_zones(last) if at.zone["charges"])


def _capped(lines: list[str], limit: int | None, what: str) -> list[str]:
    if limit is None or len(lines) <= limit:
        return lines
    return lines[:limit] + [f"... and {counted(len(lines) - limit, 'more ' + what)}"]


def _finite(value: Any) -> Any:
    if isinstance(value, float):
        return value if math.isfinite(value) else None
    if isinstance(value, dict):
        return {key: _finite(item) for key, item in value.items()}
    if isinstance(value, (list, tuple)):
        return [_finite(item) for item in value]
    return value
