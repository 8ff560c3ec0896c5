"""Level files: a zone tree saved as the engine's own JSON and built again through the module.

A level file holds what ``Environment.to_json`` writes for the top zone (any whitespace and
key order is accepted when reading, and a UTF-8 byte-order mark is skipped). Keys that can
hold only one value in a file may be left out and take it: a zone's "is_time_frozen"
(false), an agent's "priority" (its kind's) and "state" ("dormant"), a gate's "is_open"
(false). Loading rebuilds the tree with the public API only, so a loaded tree writes the
engine's full JSON text, and a saved file loads back byte for byte.

Every problem of a file is reported at once (up to ``MAX_PROBLEMS``), each with its place,
and no tree is built from a file that has one.

What the JSON cannot carry, and what loading does about it:

- NaN and infinite magnitudes (and gate targets) are written as ``null``. Loading reads
  ``null`` as NaN, so an infinity comes back as NaN: the two cannot be told apart in a file.
- Agents can only be placed new: dormant, and for gates closed. A file that records an agent
  as "active" or "frozen", or a gate as open, is refused rather than silently reset.
- A zone held at several places of the tree is written at each place; loading makes an
  independent copy for each. The JSON is the same, but a spell or a collapse in one copy no
  longer shows in the others. The same goes for an agent held by several zones.
- The tools follow zones ``MAX_ZONE_DEPTH`` (500) levels deep, since Python's JSON reader and
  writer recurse; the engine follows any depth. A deeper file is refused with a LevelError.

Files are read by ``orv.levels.reading``: only regular files, so a FIFO or a device named
like a level never blocks or floods the reader. A level too large for the memory available
is a LevelError too ("out of memory while loading the level").
"""

from __future__ import annotations

import math
import os
from collections.abc import Callable
from typing import Any

import orv_engine

from orv import _native
from orv.levels.reading import read_level_file
from orv.levels.top_zone_keys import (
    level_extras,
    set_level_extras,
    top_zone_key_check,
    top_zone_key_names,
    top_zone_rule_problems,
    with_extras,
)
from orv.levels.values import (
    MAX_ZONE_DEPTH,
    NESTING_PROBLEM,
    OUT_OF_MEMORY,
    LevelError,
    at,
    choice,
    did_you_mean,
    key_problems,
    kind_of,
    number,
    parse,
    shown,
    text,
    typed,
)
from orv.rules.roster import (
    AGENT_KINDS,
    INEQUALITY_GATE,
    INEQUALITY_RULES,
    AgentKind,
    rule_constants,
)

__all__ = ["LevelError", "level_from_json", "level_to_json", "load_level", "save_level"]

# The polarities by their words, in the order of their values.
POLARITIES = {word: orv_engine.ChargePolarity(value)
              for value, word in enumerate(rule_constants()["polarities"])}
STATES: tuple[str, ...] = tuple(rule_constants()["agent_states"])
# The members of each object of a level file, as the engine writes and reads them.
_FIELDS: dict[str, dict[str, str]] = _native.level_fields()
# Keys with one legal value in a file (a zone placed unfrozen, an agent with its kind's
# priority and dormant, a gate closed); left out, they take it.
SETTLED_KEYS = frozenset({"is_time_frozen", "priority", "state", "is_open"})


def _keys(kind: str) -> tuple[tuple[str, ...], tuple[str, ...]]:
    """The required and the optional keys of an object of a level file."""
    keys = _FIELDS[kind]
    return (tuple(key for key in keys if key not in SETTLED_KEYS),
            tuple(key for key in keys if key in SETTLED_KEYS))


ZONE_KEYS, OPTIONAL_ZONE_KEYS = _keys("zone")
CHARGE_KEYS, _ = _keys("charge")
MAX_PROBLEMS = 20

Warn = Callable[[str], None]


def level_to_json(top: orv_engine.Environment) -> str:
    """The text of a level file for the tree under ``top``, with the extra top-zone keys it
    was loaded with (``orv.levels.top_zone_keys``)."""
    return with_extras(top.to_json(), level_extras(top))


def save_level(top: orv_engine.Environment, path: str | os.PathLike[str]) -> None:
    """Write the tree under ``top`` to a level file (one line of JSON)."""
    with open(path, "w", encoding="utf-8", newline="\n") as file:
        file.write(level_to_json(top) + "\n")


def load_level(path: str | os.PathLike[str], on_warning: Warn | None = None
               ) -> orv_engine.Environment:
    """Build the zone tree of a level file; LevelError names the file and each place.

    ``on_warning`` receives each warning about a file that loads (zone ids used twice).
    OSError for a file that cannot be opened or read.
    """
    data = read_level_file(path)
    try:
        return level_from_json(data, on_warning)
    except LevelError as error:
        raise error.at(os.fspath(path)) from None


def level_from_json(text: str | bytes, on_warning: Warn | None = None
                    ) -> orv_engine.Environment:
    """Build a zone tree from level JSON; on bad input raise LevelError with every problem
    (up to MAX_PROBLEMS), never half a tree."""
    try:
        top, warnings = _build(text)
    except MemoryError:
        pass
    else:
        for warning in warnings:
            if on_warning is not None:
                on_warning(warning)
        return top
    # Raised outside the handler, so that the half-built tree is already released.
    raise LevelError("top zone", OUT_OF_MEMORY)


def _build(text: str | bytes) -> tuple[orv_engine.Environment, list[str]]:
    document = parse(text)
    loader = _Loader()
    top = None
    try:
        top = loader.tree(document)
    except _TooMany:
        loader.problems.append(LevelError("rest of the file", f"not checked: stopped after "
                                          f"{MAX_PROBLEMS} problems"))
    if loader.problems:
        first, *more = loader.problems
        raise LevelError(first.place, first.problem, [(e.place, e.problem) for e in more])
    assert top is not None, "a tree is built whenever no problem stopped the loader"
    return top, loader.warnings()


class _TooMany(Exception):
    """Enough problems found: the rest of the file is not checked."""


class _Loader:
    """Builds a tree while collecting every problem; the tree is dropped if there is one."""

    def __init__(self) -> None:
        self.problems: list[LevelError] = []
        self.zone_places: dict[str, list[str]] = {}

    def note(self, error: LevelError) -> None:
        self.problems.append(error)
        if len(self.problems) >= MAX_PROBLEMS:
            raise _TooMany

    def object(self, value: Any, place: str, required: tuple[str, ...],
               optional: tuple[str, ...] = ()) -> dict[str, Any] | None:
        if not isinstance(value, dict):
            self.note(LevelError(shown(place), f"expected a JSON object, found "
                                 f"{kind_of(value)}"))
            return None
        for problem in key_problems(value, place, required, optional):
            self.note(problem)
        return value

    def field(self, item: dict[str, Any], key: str, place: str, default: Any,
              check: Callable[..., Any], *arguments: Any) -> Any:
        """The checked value of ``item[key]``, or ``default`` when it is absent (reported
        already if it is required) or wrong (reported here)."""
        if key not in item:
            return default
        try:
            # The place is only spelled out for a problem: most files have none, and
            # building it for every value was a large share of loading.
            return check(item[key], key, *arguments)
        except LevelError as error:
            self.note(LevelError(at(place, key), error.problem))
            return default

    def tree(self, document: Any) -> orv_engine.Environment:
        """The tree of the top zone's document, built in file order from an explicit stack,
        so that no depth of nesting runs into Python's recursion limit."""
        top = None
        pending: list[tuple[orv_engine.Environment | None, Any, str, int]] = [
            (None, document, "", 1)]
        while pending:
            parent, value, place, depth = pending.pop()
            env = self.zone(value, place)
            if parent is None:
                top = env
            else:
                parent.add_sub_environment(env)
            subs = self.field(value, "sub_environments", place, [], typed, list,
                              "a list") if isinstance(value, dict) else []
            if subs and depth == MAX_ZONE_DEPTH:
                self.note(LevelError("top zone", NESTING_PROBLEM))
                break
            subs_place = at(place, "sub_environments")
            pending.extend((env, subs[index], at(subs_place, index), depth + 1)
                           for index in reversed(range(len(subs))))
        assert top is not None
        if isinstance(document, dict):
            self.top_zone_extras(document, top)
        return top

    def top_zone_extras(self, document: dict[str, Any], top: orv_engine.Environment) -> None:
        extras = {}
        refused = False
        for name in top_zone_key_names():
            if name in document:
                try:
                    extras[name] = top_zone_key_check(name)(document[name], name, top)
                except LevelError as error:
                    refused = True
                    for place, problem in error.problems:
                        self.note(LevelError(place, problem))
        # Keys are checked together only once each is right on its own.
        for place, problem in [] if refused else top_zone_rule_problems(extras, top):
            self.note(LevelError(place, problem))
        if extras:
            set_level_extras(top, extras)

    def zone(self, value: Any, place: str) -> orv_engine.Environment:
        """A zone with its charges and agents; its sub-zones are added by ``tree``."""
        optional = OPTIONAL_ZONE_KEYS + (top_zone_key_names() if not place else ())
        zone = self.object(value, place, ZONE_KEYS, optional) or {}
        env = orv_engine.Environment(self.field(zone, "id", place, "", text))
        self.zone_places.setdefault(env.id, []).append(shown(place))
        for key, add in (("charges", self.charge), ("agents", self.agent)):
            for index, item in enumerate(self.field(zone, key, place, [], typed, list,
                                                    "a list")):
                add(env, item, at(at(place, key), index))
        env.is_time_frozen = self.field(zone, "is_time_frozen", place, False, typed, bool,
                                        "true or false")
        return env

    def charge(self, env: orv_engine.Environment, value: Any, place: str) -> None:
        charge = self.object(value, place, CHARGE_KEYS) or {}
        env.add_charge(
            self.field(charge, "magnitude", place, math.nan, number),
            self.field(charge, "polarity", place, orv_engine.POSITIVE, choice, POLARITIES,
                       "polarity"),
            self.field(charge, "visual_id", place, "", text),
        )

    def agent(self, env: orv_engine.Environment, value: Any, place: str) -> None:
        try:
            kind = _agent_kind(value, place)
        except LevelError as error:
            self.note(error)
            return
        agent = self.object(value, place, *_agent_keys(kind)) or {}
        priority = self.field(agent, "priority", place, kind.priority, typed, int,
                              "a whole number")
        if priority != kind.priority:
            self.note(LevelError(at(place, "priority"), f"{priority} does not match the "
                                 f"fixed priority {kind.priority} of {kind.name}"))
        state = self.field(agent, "state", place, "dormant", choice, STATES, "state")
        if state != "dormant":
            self.note(LevelError(at(place, "state"), f'"{state}" cannot be restored: agents '
                                 "are only ever placed dormant"))
        visual_id = self.field(agent, "visual_id", place, "", text)
        place_agent = getattr(env, kind.add_method)
        if not kind.is_gate:
            place_agent(visual_id)
            return
        if self.field(agent, "is_open", place, False, typed, bool, "true or false"):
            self.note(LevelError(at(place, "is_open"), "an open gate cannot be restored: "
                                 "gates are only ever placed closed"))
        target = self.field(agent, "target_value", place, math.nan, number)
        if kind.name == INEQUALITY_GATE:
            place_agent(visual_id, target, self.field(agent, "rule", place, "<", choice,
                                                      INEQUALITY_RULES, "rule"))
        else:
            place_agent(visual_id, target)

    def warnings(self) -> list[str]:
        # Frames name zones by id only, so two zones of one id are told apart nowhere.
        return [f'zone id "{zone_id}" is used by {len(places)} zones ({", ".join(places[:5])}'
                f'{", ..." if len(places) > 5 else ""}); the frames name zones by id, so '
                "their events cannot be told apart"
                for zone_id, places in self.zone_places.items() if len(places) > 1]


def _agent_kind(value: Any, place: str) -> AgentKind:
    if not isinstance(value, dict):
        raise LevelError(place, f"expected a JSON object, found {kind_of(value)}")
    if "name" not in value:
        raise LevelError(place, 'missing key "name"')
    name = typed(value["name"], at(place, "name"), str, "a string")
    if name not in AGENT_KINDS:
        hint = did_you_mean(name, tuple(AGENT_KINDS))
        raise LevelError(place, f'unknown agent name "{name}"{hint}')
    return AGENT_KINDS[name]


def _agent_keys(kind: AgentKind) -> tuple[tuple[str, ...], tuple[str, ...]]:
    """The required and the optional keys of an agent of ``kind``."""
    if not kind.is_gate:
        return _keys("agent")
    return _keys("judge" if kind.name == INEQUALITY_GATE else "gate")
