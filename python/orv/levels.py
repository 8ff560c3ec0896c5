"""Level files: a zone tree saved as the engine's own JSON and built again through the module.

A level file holds exactly what ``Environment.to_json`` writes for the top zone (any
whitespace is accepted when reading). Loading rebuilds the tree with the public API only, so
a loaded tree writes the same JSON text, byte for byte, as the tree that was saved.

What the JSON cannot carry, and what loading does about it:

- NaN and infinite magnitudes (and gate targets) are written as ``null``. Loading reads
  ``null`` as NaN, so an infinity comes back as NaN: the two cannot be told apart in a file.
- Agents can only be placed new: dormant, and for gates closed. A file that records an agent
  as "active" or "frozen", or a gate as open, is refused rather than silently reset.
- A zone held at several places of the tree is written at each place; loading makes an
  independent copy for each. The JSON is the same, but a spell or a collapse in one copy no
  longer shows in the others. The same goes for an agent held by several zones.
- Python's JSON reader follows zones about 500 levels deep (each zone is an object and an
  array), the engine any depth; a deeper file is refused with a LevelError.
"""

from __future__ import annotations

import json
import math
import os
from difflib import get_close_matches
from typing import Any, TypeVar

import orv_engine

from orv.roster import AGENT_KINDS, INEQUALITY_GATE, INEQUALITY_RULES, AgentKind

POLARITIES = {
    "positive": orv_engine.POSITIVE,
    "negative": orv_engine.NEGATIVE,
    "neutral": orv_engine.NEUTRAL,
}
ZONE_KEYS = ("agents", "charges", "id", "is_time_frozen", "sub_environments")
CHARGE_KEYS = ("magnitude", "polarity", "visual_id")
AGENT_KEYS = ("name", "priority", "state", "visual_id")
GATE_KEYS = ("is_open", "target_value")

T = TypeVar("T")


class LevelError(ValueError):
    """A level that cannot be built; ``place`` says where in the file the problem is."""

    def __init__(self, place: str, problem: str) -> None:
        super().__init__(f"{place}: {problem}")
        self.place = place
        self.problem = problem


class _ObjectWithRepeatedKeys(dict[str, Any]):
    """A JSON object in which some key appeared twice; the checks report it with its place."""

    repeated: list[str]


def level_to_json(top: orv_engine.Environment) -> str:
    """The text of a level file for the tree under ``top``."""
    return top.to_json()


def save_level(top: orv_engine.Environment, path: str | os.PathLike[str]) -> None:
    """Write the tree under ``top`` to a level file (one line of JSON)."""
    with open(path, "w", encoding="utf-8", newline="\n") as file:
        file.write(level_to_json(top) + "\n")


def load_level(path: str | os.PathLike[str]) -> orv_engine.Environment:
    """Build the zone tree of a level file; LevelError names the file and the place."""
    with open(path, "rb") as file:
        data = file.read()
    try:
        return level_from_json(data)
    except LevelError as error:
        raise LevelError(f"{os.fspath(path)}: {error.place}", error.problem) from None


def level_from_json(text: str | bytes) -> orv_engine.Environment:
    """Build a zone tree from level JSON; on bad input raise LevelError, never half a tree."""
    document = _parse(text)
    try:
        return _build_zone(document, "")
    except RecursionError:
        raise LevelError("top zone", "zones are nested too deeply to load") from None


def _parse(text: str | bytes) -> Any:
    if isinstance(text, (bytes, bytearray)):
        try:
            text = bytes(text).decode("utf-8")
        except UnicodeDecodeError as error:
            raise LevelError(f"byte {error.start}", "the file is not UTF-8 text") from None
    try:
        return json.loads(text, parse_constant=_refuse_constant,
                          object_pairs_hook=_object_from_pairs)
    except json.JSONDecodeError as error:
        raise LevelError(f"line {error.lineno} column {error.colno}", error.msg) from None
    except RecursionError:
        raise LevelError("top zone", "zones are nested too deeply to load") from None


class _NotJson:
    """NaN, Infinity or -Infinity: Python's reader takes them, but they are not JSON."""

    def __init__(self, constant: str) -> None:
        self.constant = constant

    def __str__(self) -> str:
        return self.constant


def _refuse_constant(constant: str) -> _NotJson:
    # Kept as a marker so that the checks can report the place where it stands.
    return _NotJson(constant)


def _object_from_pairs(pairs: list[tuple[str, Any]]) -> dict[str, Any]:
    keys = [key for key, _ in pairs]
    if len(set(keys)) == len(keys):
        return dict(pairs)
    found = _ObjectWithRepeatedKeys(pairs)
    found.repeated = sorted({key for key in keys if keys.count(key) > 1})
    return found


def _at(place: str, key: str | int) -> str:
    if isinstance(key, int):
        return f"{place}[{key}]"
    return f"{place}.{key}" if place else key


def _shown(place: str) -> str:
    return place or "top zone"


def _object(value: Any, place: str, keys: tuple[str, ...]) -> dict[str, Any]:
    """The JSON object at ``place``, which must have exactly the given keys."""
    if not isinstance(value, dict):
        raise LevelError(_shown(place), f"expected a JSON object, found {_kind_of(value)}")
    if isinstance(value, _ObjectWithRepeatedKeys):
        raise LevelError(_shown(place), f'key "{value.repeated[0]}" appears more than once')
    for key in keys:
        if key not in value:
            raise LevelError(_shown(place), f'missing key "{key}"')
    for key in value:
        if key not in keys:
            raise LevelError(_shown(place), f'unknown key "{key}"')
    return value


def _typed(value: Any, place: str, expected: type[T], label: str) -> T:
    # bool is an int in Python, but true is never a priority in the engine's JSON.
    if isinstance(value, expected) and (expected is bool or not isinstance(value, bool)):
        return value
    raise LevelError(place, f"expected {label}, found {_kind_of(value)}")


def _number(value: Any, place: str) -> float:
    """A magnitude or target: a JSON number, or null for one that is not a number."""
    if value is None:
        return math.nan
    if isinstance(value, _NotJson):
        raise LevelError(place, f"{value} is not JSON; write null for a number that is "
                         "not a number")
    if isinstance(value, (int, float)) and not isinstance(value, bool):
        return float(value)
    raise LevelError(place, f"expected a number or null, found {_kind_of(value)}")


def _choice(value: Any, place: str, choices: dict[str, Any] | tuple[str, ...], what: str) -> Any:
    text = _typed(value, place, str, "a string")
    if text not in choices:
        allowed = ", ".join(f'"{choice}"' for choice in choices)
        raise LevelError(place, f'unknown {what} "{text}" (expected one of {allowed})')
    return choices[text] if isinstance(choices, dict) else text


def _kind_of(value: Any) -> str:
    """How a JSON value is named in messages: the value itself when it is short."""
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, _NotJson):
        return f"{value} (which is not JSON)"
    if isinstance(value, (int, float)):
        return f"the number {value}"
    kinds = {str: "a string", list: "a list", dict: "an object"}
    return next(name for kind, name in kinds.items() if isinstance(value, kind))


def _list(zone: dict[str, Any], key: str, place: str) -> list[Any]:
    return _typed(zone[key], _at(place, key), list, "a list")


def _build_zone(value: Any, place: str) -> orv_engine.Environment:
    zone = _object(value, place, ZONE_KEYS)
    env = orv_engine.Environment(_typed(zone["id"], _at(place, "id"), str, "a string"))
    charges_place = _at(place, "charges")
    for index, charge in enumerate(_list(zone, "charges", place)):
        _add_charge(env, charge, _at(charges_place, index))
    agents_place = _at(place, "agents")
    for index, agent in enumerate(_list(zone, "agents", place)):
        _add_agent(env, agent, _at(agents_place, index))
    subs_place = _at(place, "sub_environments")
    for index, sub in enumerate(_list(zone, "sub_environments", place)):
        env.add_sub_environment(_build_zone(sub, _at(subs_place, index)))
    frozen_place = _at(place, "is_time_frozen")
    env.is_time_frozen = _typed(zone["is_time_frozen"], frozen_place, bool, "true or false")
    return env


def _add_charge(env: orv_engine.Environment, value: Any, place: str) -> None:
    charge = _object(value, place, CHARGE_KEYS)
    env.add_charge(
        _number(charge["magnitude"], _at(place, "magnitude")),
        _choice(charge["polarity"], _at(place, "polarity"), POLARITIES, "polarity"),
        _typed(charge["visual_id"], _at(place, "visual_id"), str, "a string"),
    )


def _add_agent(env: orv_engine.Environment, value: Any, place: str) -> None:
    kind = _agent_kind(value, place)
    agent = _object(value, place, _agent_keys(kind))
    priority = _typed(agent["priority"], _at(place, "priority"), int, "a whole number")
    if priority != kind.priority:
        raise LevelError(_at(place, "priority"), f"{priority} does not match the fixed "
                         f"priority {kind.priority} of {kind.name}")
    state = _choice(agent["state"], _at(place, "state"), ("dormant", "active", "frozen"),
                    "state")
    if state != "dormant":
        raise LevelError(_at(place, "state"), f'"{state}" cannot be restored: agents are '
                         "only ever placed dormant")
    visual_id = _typed(agent["visual_id"], _at(place, "visual_id"), str, "a string")
    place_agent = getattr(env, kind.add_method)
    if not kind.is_gate:
        place_agent(visual_id)
        return
    if _typed(agent["is_open"], _at(place, "is_open"), bool, "true or false"):
        raise LevelError(_at(place, "is_open"), "an open gate cannot be restored: gates are "
                         "only ever placed closed")
    target = _number(agent["target_value"], _at(place, "target_value"))
    if kind.name == INEQUALITY_GATE:
        place_agent(visual_id, target, _choice(agent["rule"], _at(place, "rule"),
                                               INEQUALITY_RULES, "rule"))
    else:
        place_agent(visual_id, target)


def _agent_kind(value: Any, place: str) -> AgentKind:
    if not isinstance(value, dict):
        raise LevelError(place, f"expected a JSON object, found {_kind_of(value)}")
    if "name" not in value:
        raise LevelError(place, 'missing key "name"')
    name = _typed(value["name"], _at(place, "name"), str, "a string")
    if name not in AGENT_KINDS:
        close = get_close_matches(name, AGENT_KINDS, n=1)
        hint = f' (did you mean "{close[0]}"?)' if close else ""
        raise LevelError(place, f'unknown agent name "{name}"{hint}')
    return AGENT_KINDS[name]


def _agent_keys(kind: AgentKind) -> tuple[str, ...]:
    if not kind.is_gate:
        return AGENT_KEYS
    extra = ("rule",) if kind.name == INEQUALITY_GATE else ()
    return AGENT_KEYS + GATE_KEYS + extra
