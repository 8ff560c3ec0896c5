"""The arithmetic of one step, as the engine recorded it.

The engine's own message says only who acted ("Power Sorcerer executed operation in
squarer"). The step record it makes while it takes the step says what happened to the
numbers: ``Power Sorcerer in squarer: 3 ^ 2 → 9``, ``The Judge in hall: total 12 >= 10 →
opened`` or ``Zone adder collapsed: +7 moves up to workshop``, operands read with the sign the
spell itself reads. ``explain_step`` gives it as a ``Step``.
"""

from __future__ import annotations

import json
from dataclasses import dataclass
from typing import cast

from orv import _native
from orv.documents import (
    FrameJson,
    Json,
    StepRecordJson,
    event_zone,
    path_text,
    walk_zones,
)


@dataclass(frozen=True)
class Step:
    """What a step did: its text, the path of the zone it changed (as in frame_changes)
    and the charges it consumed there."""

    text: str
    path: str
    consumed: tuple[Json, ...] = ()


def step_of(record: StepRecordJson) -> Step | None:
    """The Step of a step record, or None for a frame that neither cast nor collapsed (the
    end of the level, the budget error, a frame after the end)."""
    kind = record["step"]
    if kind in ("spell", "gate") and record["zone"] is not None:
        consumed = tuple(cast(Json, charge) for charge in record["consumed"])
        return Step(record["text"], path_text(record["zone"]), consumed)
    if kind == "collapse" and record["parent"] is not None:
        return Step(record["text"], path_text(record["parent"]))
    return None


def explain_step(before: Json, after: Json, record: StepRecordJson | None = None
                 ) -> Step | None:
    """What the step from frame document ``before`` to ``after`` did, or None when it
    neither cast nor collapsed (the end of the level, the budget error).

    ``record`` is the step record of ``after`` (``Frame.record``). Without one (frames a
    game took through ``orv_engine`` itself), the engine takes the step again from
    ``before``; when that does not lead to ``after`` (the game changed the level between the
    frames), the Step holds the engine's message and the zone it names.
    """
    if after["meta"]["last_event"] is None:
        return None
    if record is None:
        record = _replayed(before, after)
    if record is not None:
        return step_of(record)
    return _named_only(cast(FrameJson, after))


def _replayed(before: Json, after: Json) -> StepRecordJson | None:
    """The record of the step from ``before``, if taking it again gives ``after``."""
    level = {key: value for key, value in before.items() if key != "meta"}
    try:
        sequencer = _native.RecordingSequencer(json.dumps(level, allow_nan=False))
    except ValueError:
        return None
    frame_text, record_text = sequencer.next_frame()
    frame = json.loads(frame_text)
    if _without_meta(frame) != _without_meta(after) or (
            frame["meta"]["last_event"] != after["meta"]["last_event"]):
        return None
    return cast(StepRecordJson, json.loads(record_text))


def _without_meta(document: Json) -> Json:
    return {key: value for key, value in document.items() if key != "meta"}


def _named_only(after: FrameJson) -> Step | None:
    event = after["meta"]["last_event"]
    zone_id = None if event is None else event_zone(event)
    if zone_id is None:
        return None
    for at in walk_zones(cast(Json, after)):
        if at.zone["id"] == zone_id:
            return Step(after["meta"]["message"], at.path)
    # A collapsed zone is gone from ``after``, and no back link says where it was.
    return Step(after["meta"]["message"], "")
