"""Numbers a person can work in their head: a level whose run keeps every charge, every gate
target and every zone's signed total a whole number no further from 0 than a bound.

The run is checked as the engine plays it from its first frame: the level as loaded, then
each frame's zone tree and the charges its step record says the step consumed and produced.
"""

from __future__ import annotations

import json
import math
from collections.abc import Iterator

from orv.documents import Json, walk_zones, zone_total
from orv.playing.frames import RecordedRun
from orv.playing.numbers import number

# Where a generated puzzle's numbers stop being ones to work in one's head.
MENTAL_LARGEST = 1000


def first_unworkable(level_text: str, largest: float) -> str | None:
    """The first number of the level's run that is not a whole number within ±``largest``,
    said with its frame and place (``frame 3, zone forge: total 10/3``), or None when every
    number is one. ``level_text`` is a level file's text."""
    run = RecordedRun(level_text)
    found = _unworkable_in_tree(run.start, largest)
    if found is not None:
        return f"the level as loaded, {found}"
    for frame_text, record_text in run.texts():
        frame = json.loads(frame_text)
        record = json.loads(record_text)
        found = _unworkable_in_tree(frame, largest) or _unworkable_in_step(record, largest)
        if found is not None:
            return f"frame {frame['meta']['frame_index']}, {found}"
    return None


def workable(value: float | None, largest: float) -> bool:
    """A whole number no further from 0 than ``largest`` (None, a JSON null, is none)."""
    return value is not None and math.isfinite(value) and float(value).is_integer() \
        and abs(value) <= largest


def _unworkable_in_tree(top: Json, largest: float) -> str | None:
    for at in walk_zones(top):
        zone = at.zone
        place = f"zone {zone['id']}"
        for value, what in _zone_numbers(zone):
            if not workable(value, largest):
                return f"{place}: {what} {number(value)}"
    return None


def _zone_numbers(zone: Json) -> Iterator[tuple[float | None, str]]:
    for charge in zone["charges"]:
        yield charge["magnitude"], f"charge {charge['visual_id']}"
    for agent in zone["agents"]:
        if "target_value" in agent:
            yield agent["target_value"], f"target of {agent['visual_id']}"
    yield zone_total(zone["charges"]), "total"


def _unworkable_in_step(record: Json, largest: float) -> str | None:
    for key in ("consumed", "produced"):
        for charge in record[key]:
            if not workable(charge["magnitude"], largest):
                return f"{record['text']}: {key} {number(charge['magnitude'])}"
    return None
