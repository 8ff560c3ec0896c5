"""The one walk over a parsed zone tree (a frame document or a level file's JSON).

Trees may nest zones deeper than Python's recursion limit, so nothing here recurses; every
part of the package that visits zones of parsed JSON goes through ``walk_zones``.

A zone's path names its place: "" for the top zone, "1" for its second sub-zone, "1.0" for
that one's first sub-zone, and so on.
"""

from __future__ import annotations

from collections.abc import Callable, Iterator
from dataclasses import dataclass
from typing import Any

Json = dict[str, Any]


@dataclass(frozen=True, slots=True)
class ZoneAt:
    """A zone met on the walk, with the zone whose list holds it (None for the top) and its
    path."""

    zone: Json
    parent: Json | None
    path: str


def child_path(path: str, index: int) -> str:
    return f"{path}.{index}" if path else str(index)


def walk_zones(top: Json, post_order: bool = False) -> Iterator[ZoneAt]:
    """Every zone of the tree, depth first and sub-zones in list order: each zone before its
    sub-zones, or with ``post_order`` after them."""
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


def parent_path(path: str) -> str:
    """The path of the zone whose list holds the zone at ``path`` (not the top zone's)."""
    return path.rpartition(".")[0]
