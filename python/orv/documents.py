"""The documents of the engine, in one place: level files, frames and step records.

The engine writes three kinds of JSON document, and every part of the package reads them
through this module: the zone tree (a level file, and every frame, which is the tree plus
``meta``), and the step record of a frame, which says what the step did (the engine makes it
while it takes the step; ``orv._native.RecordingSequencer`` hands it out beside each frame).
The types below name their keys; ``walk_zones`` is the one walk over a parsed tree, and
``zone_total`` the signed total of a zone's charges, as the engine sums it.

A zone's path names its place: "" for the top zone, "1" for its second sub-zone, "1.0" for
that one's first sub-zone, and so on. Nothing here recurses: trees may nest zones deeper than
Python's recursion limit.
"""

from __future__ import annotations

import math
from collections.abc import Callable, Iterator
from dataclasses import dataclass
from typing import Any, NotRequired, TypedDict

from orv import _native

Json = dict[str, Any]


class ChargeJson(TypedDict):
    """A charge: ``magnitude`` is null for NaN and the infinities."""

    magnitude: float | None
    polarity: str
    visual_id: str


class AgentJson(TypedDict):
    """An agent; a gate adds ``is_open`` and ``target_value``, The Judge also ``rule``."""

    name: str
    priority: int
    state: str
    visual_id: str
    is_open: NotRequired[bool]
    target_value: NotRequired[float | None]
    rule: NotRequired[str]


class ZoneJson(TypedDict):
    agents: list[AgentJson]
    charges: list[ChargeJson]
    id: str
    is_time_frozen: bool
    sub_environments: list[ZoneJson]


class EventJson(TypedDict):
    agent_name: str
    description: str
    type: str
    visual_id: str


class MetaJson(TypedDict):
    frame_index: int
    last_event: EventJson | None
    message: str
    status: str


class FrameJson(ZoneJson):
    """A frame document: the top zone after the step, and ``meta``."""

    meta: MetaJson


class PlaceJson(TypedDict):
    """Where a zone stands: its id, the ids from the top zone down to it, and the index of
    each in its parent's sub-zones (empty for the top zone)."""

    id: str
    ids: list[str]
    path: list[int]


class StepAgentJson(TypedDict):
    """The agent of a step; a gate's also has its ``rule`` ("==" for the Equals Gate) and
    ``target``."""

    name: str
    visual_id: str
    rule: NotRequired[str]
    target: NotRequired[float | None]


class StepRecordJson(TypedDict):
    """What a frame's step did. ``step`` is "spell", "gate" (a gate opened), "collapse",
    "end" (the level ended), "budget" (the step budget was spent: no step) or "none" (the
    level had already ended). ``zone`` is the caster's zone, or the zone that collapsed into
    ``parent``; ``consumed`` and ``produced`` are the charges taken and left (a collapse's
    moving charge is both); ``total`` is the total a gate saw; ``text`` is the step for a
    reader ("Power Sorcerer in squarer: 3 ^ 2 → 9"), or the frame's message."""

    agent: StepAgentJson | None
    consumed: list[ChargeJson]
    frame: int
    parent: PlaceJson | None
    produced: list[ChargeJson]
    step: str
    text: str
    total: float | None
    zone: PlaceJson | None


# Event types and statuses, as the engine writes them.
CAST_SPELL = "CAST_SPELL"
COLLAPSE_ZONE = "COLLAPSE_ZONE"
FINISHED = "FINISHED"
RUNNING = "RUNNING"
ERROR = "ERROR"

def event_zone(event: EventJson) -> str | None:
    """The id of the zone an event names: the caster's zone, or the zone that collapsed.

    For frames that carry no step record (a game that stepped ``orv_engine`` itself): the
    engine reads the words of its own event. None for the end of a level.
    """
    return _native.event_zone(event["type"], event["agent_name"], event["visual_id"],
                              event["description"])


def path_text(place: PlaceJson) -> str:
    """A place's path as the package writes it: "", "1", "1.0"."""
    return ".".join(str(index) for index in place["path"])


@dataclass(frozen=True, slots=True)
class ZoneAt:
    """A zone met on the walk, with the zone whose list holds it (None for the top) and its
    path."""

    zone: Json
    parent: Json | None
    path: str


def child_path(path: str, index: int) -> str:
    return f"{path}.{index}" if path else str(index)


def parent_path(path: str) -> str:
    """The path of the zone whose list holds the zone at ``path`` (not the top zone's)."""
    return path.rpartition(".")[0]


def walk_zones(top: Json, post_order: bool = False,
               descend: Callable[[ZoneAt], bool] | None = None) -> Iterator[ZoneAt]:
    """Every zone of the tree, depth first and sub-zones in list order: each zone before its
    sub-zones, or with ``post_order`` after them (the order in which the engine collects
    agents and looks for a zone to collapse). With ``descend``, only the sub-zones of the
    zones it accepts are walked."""
    pending: list[tuple[ZoneAt, bool]] = [(ZoneAt(top, None, ""), False)]
    while pending:
        at, expanded = pending.pop()
        if expanded:
            yield at
            continue
        if post_order:
            pending.append((at, True))
        else:
            yield at
        if descend is not None and not descend(at):
            continue
        subs = at.zone["sub_environments"]
        pending.extend((ZoneAt(subs[index], at.zone, child_path(at.path, index)), False)
                       for index in reversed(range(len(subs))))


def rebuild_zones(top: Json, make: Callable[[Json], Json], subs_key: str) -> Json:
    """A new tree of ``make(zone)`` for every zone, each made zone listing the made sub-zones
    under ``subs_key``."""
    made: dict[int, Json] = {}
    root: Json = {}
    for at in walk_zones(top):
        new = make(at.zone)
        new[subs_key] = []
        made[id(at.zone)] = new
        if at.parent is None:
            root = new
        else:
            made[id(at.parent)][subs_key].append(new)
    return root


def zone_total(charges: list[Json]) -> float:
    """The signed total of a zone's charges, as the engine sums it for the gates (a null
    magnitude counts as NaN)."""
    return float(_native.signed_total([
        (math.nan if charge["magnitude"] is None else charge["magnitude"], charge["polarity"])
        for charge in charges]))
