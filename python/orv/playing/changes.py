"""What one step changed in the zone tree, worked out from two successive frames.

The viewer highlights these changes. A step casts one spell (an agent leaves its zone and the
zone's charges change) or collapses one zone (it leaves its parent, whose charges gain its
last charge); the time-freeze flags are recomputed everywhere at each step, so they are left
out when zones are compared.

Changes are keyed by the path of a zone in the later frame: "" for the top zone, "1" for its
second sub-zone, "1.0" for that one's first sub-zone, and so on.
"""

from __future__ import annotations

from collections import Counter
from collections.abc import Callable
from typing import Any

from orv.documents import Json, child_path, walk_zones


def frame_changes(before: Json, after: Json) -> dict[str, Json]:
    """The changes from the zone tree ``before`` to ``after``, zone by zone.

    Each entry may hold "new_charges" (positions in the later zone's charge list),
    "departed_agents" (the agents' JSON objects), "changed_agents" (positions of agents
    whose state or gate changed) and "collapsed_zones" (the JSON of zones that left).
    Zones in which nothing changed have no entry.
    """
    changes: dict[str, Json] = {}
    # The earlier zone of each later one, found as the walk reaches the later zone's parent;
    # a zone that no earlier one matched is skipped with everything below it.
    earlier: dict[str, Json] = {"": before}
    for at in walk_zones(after):
        old = earlier.pop(at.path, None)
        if old is not None:
            entry, pairs = _compare_zone(old, at.zone)
            if entry:
                changes[at.path] = entry
            earlier.update((child_path(at.path, index), old_sub) for old_sub, index in pairs)
    return changes


def _compare_zone(before: Json, after: Json) -> tuple[Json, list[tuple[Json, int]]]:
    """The changes of one zone, and its earlier sub-zones paired with their later positions."""
    entry: Json = {}
    new_charges = _new_charges(before["charges"], after["charges"])
    if new_charges:
        entry["new_charges"] = new_charges
    departed, kept = _align(before["agents"], after["agents"], _same_agent)
    if departed:
        entry["departed_agents"] = departed
    changed = [index for old, index in kept if old != after["agents"][index]]
    if changed:
        entry["changed_agents"] = changed
    collapsed, pairs = _align(before["sub_environments"], after["sub_environments"],
                              _same_zone)
    if collapsed:
        entry["collapsed_zones"] = collapsed
    return entry, pairs


def _new_charges(before: list[Json], after: list[Json]) -> list[int]:
    """Positions of the later charges that were not there before (each old one counts once)."""
    remaining = Counter(_charge_key(charge) for charge in before)
    new = []
    for index, charge in enumerate(after):
        key = _charge_key(charge)
        if remaining[key]:
            remaining[key] -= 1
        else:
            new.append(index)
    return new


def _charge_key(charge: Json) -> tuple[Any, str, str]:
    return charge["magnitude"], charge["polarity"], charge["visual_id"]


def _align(before: list[Json], after: list[Json],
           same: Callable[[Json, Json], bool]) -> tuple[list[Json], list[tuple[Json, int]]]:
    """Match the later list against the earlier one, in order.

    Returns the earlier items that are gone and the (earlier item, later position) pairs.
    A step only ever removes items, so a greedy walk in list order finds them; lists of the
    same length are paired by position, which is what a spell inside a zone leaves.
    """
    if len(before) == len(after):
        return [], [(item, index) for index, item in enumerate(before)]
    gone: list[Json] = []
    pairs: list[tuple[Json, int]] = []
    position = 0
    for item in before:
        if position < len(after) and same(item, after[position]):
            pairs.append((item, position))
            position += 1
        else:
            gone.append(item)
    return gone, pairs


def _same_agent(before: Json, after: Json) -> bool:
    # An agent's state and a gate's is_open can change while it stays in its zone (when the
    # same agent is held by another zone too); everything else about it is fixed.
    return before == after or (_without(before, ("state", "is_open"))
                               == _without(after, ("state", "is_open")))


def _same_zone(before: Json, after: Json) -> bool:
    # Only the collapsed zone differs among siblings in a collapse step; the others are
    # unchanged apart from their freeze flags.
    return before == after or _unfrozen(before) == _unfrozen(after)


def _unfrozen(top: Json) -> list[Json]:
    """The zones of a tree in walk order, each without its freeze flag and its sub-zones
    (their count and their place in the order stand for them)."""
    return [{**_without(at.zone, ("is_time_frozen", "sub_environments")),
             "subs": len(at.zone["sub_environments"])} for at in walk_zones(top)]


def _without(item: Json, keys: tuple[str, ...]) -> Json:
    return {key: value for key, value in item.items() if key not in keys}
