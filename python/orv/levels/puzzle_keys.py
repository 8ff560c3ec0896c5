"""The top-zone keys that make a level a puzzle: the player's "hand" of agents, the "slots"
(zone ids) it may be placed in, whether it must all be "use"d, and the generator's "puzzle"
note. The engine never sees them: a loaded puzzle plays as the level it is, and ``orv solve``
searches where the hand can go.

Slots name zones by id, so every zone a slot names must have an id of its own, also when the
slots default to every zone; zones that are no slot may still share ids.
"""

from __future__ import annotations

import json
import math
from typing import Any

import orv_engine

from orv.documents import walk_zones
from orv.levels.top_zone_keys import (
    level_extras,
    register_top_zone_key,
    register_top_zone_rule,
)
from orv.levels.values import (
    LevelError,
    at,
    did_you_mean,
    key_problems,
    kind_of,
    shown,
    text,
    typed,
)
from orv.playing.numbers import counted
from orv.rules.roster import AGENT_KINDS

HAND, SLOTS, USE, PUZZLE = "hand", "slots", "use", "puzzle"
USES = ("any", "all")
HAND_AGENT_KEYS = ("name", "visual_id")
NOTE_KEYS = ("difficulty", "min_size")


def hand_note(top: orv_engine.Environment) -> str | None:
    """What the summaries of play, view and check say of a puzzle's hand."""
    hand = level_extras(top).get(HAND)
    return None if hand is None else hand_text(len(hand))


def hand_text(count: int) -> str:
    return f"a hand of {counted(count, 'agent')} for orv solve (played without it)"


def zone_ids_and_places(top: orv_engine.Environment) -> list[tuple[str, str]]:
    """The id and the level-file place of every zone, in tree order (each zone before its
    sub-zones): the zone numbers of a puzzle's slots."""
    places = []
    for zone in walk_zones(json.loads(top.to_json())):
        place = "".join(f".sub_environments[{index}]" for index in zone.path.split(".")
                        if zone.path)
        places.append((zone.zone["id"], shown(place.removeprefix("."))))
    return places


def _problems(problems: list[tuple[str, str]]) -> LevelError:
    first, *more = problems
    return LevelError(*first, more=more)


def check_hand(value: Any, place: str, top: orv_engine.Environment) -> list[dict[str, str]]:
    """Hand agents as the level file writes agents, by name and visual id; no gate."""
    agents = typed(value, place, list, "a list of agents")
    problems: list[tuple[str, str]] = []
    hand = []
    kind_of_id: dict[str, str] = {}
    for index, item in enumerate(agents):
        where = at(place, index)
        try:
            agent = _hand_agent(item, where)
        except LevelError as error:
            problems.extend(error.problems)
            continue
        known = kind_of_id.setdefault(agent["visual_id"], agent["name"])
        if known != agent["name"]:
            # Solutions name hand agents by visual id, which must then say which agent it is.
            problems.append((at(where, "visual_id"), f'"{agent["visual_id"]}" is also the '
                             f"visual id of a {known} in the hand; hand agents of different "
                             "kinds need different visual ids"))
        hand.append(agent)
    if problems:
        raise _problems(problems)
    return hand


def _hand_agent(item: Any, place: str) -> dict[str, str]:
    agent = typed(item, place, dict, "an agent object")
    # The name first: a gate written as a gate is refused as a gate, not for its target.
    if "name" in agent:
        name = typed(agent["name"], at(place, "name"), str, "a string")
        if name not in AGENT_KINDS:
            raise LevelError(at(place, "name"), f'unknown agent name "{name}"'
                             f"{did_you_mean(name, tuple(AGENT_KINDS))}")
        if AGENT_KINDS[name].is_gate:
            raise LevelError(at(place, "name"), f"{name} is a gate; gates are the goals of "
                             "a puzzle, never part of its hand")
    problems = key_problems(agent, place, HAND_AGENT_KEYS)
    if problems:
        raise _problems([pair for problem in problems for pair in problem.problems])
    return {"name": agent["name"], "visual_id": text(agent["visual_id"],
                                                     at(place, "visual_id"))}


def check_slots(value: Any, place: str, top: orv_engine.Environment) -> list[str]:
    ids = typed(value, place, list, "a list of zone ids")
    known = {zone_id for zone_id, _ in zone_ids_and_places(top)}
    problems: list[tuple[str, str]] = []
    for index, item in enumerate(ids):
        where = at(place, index)
        try:
            zone_id = text(item, where)
        except LevelError as error:
            problems.extend(error.problems)
            continue
        if zone_id not in known:
            problems.append((where, f'no zone has the id "{zone_id}"'
                             f"{did_you_mean(zone_id, sorted(known))}"))
        elif ids.index(item) != index:
            problems.append((where, f'zone "{zone_id}" is listed twice'))
    if problems:
        raise _problems(problems)
    return list(ids)


def check_use(value: Any, place: str, top: orv_engine.Environment) -> str:
    use = typed(value, place, str, '"any" or "all"')
    if use not in USES:
        found = "an empty text" if not use else f'"{use}"'
        raise LevelError(place, f'expected "any" (place any part of the hand) or "all" '
                         f"(place every hand agent), found {found}")
    return use


def check_note(value: Any, place: str, top: orv_engine.Environment) -> dict[str, Any]:
    """The generator's note: the difficulty it measured and the minimal solution size."""
    note = typed(value, place, dict, "an object")
    problems = key_problems(note, place, NOTE_KEYS)
    if problems:
        raise _problems([pair for problem in problems for pair in problem.problems])
    difficulty = note["difficulty"]
    if isinstance(difficulty, bool) or not isinstance(difficulty, (int, float)) \
            or not math.isfinite(difficulty) or difficulty < 0:
        raise LevelError(at(place, "difficulty"), "expected a number of bits of at least 0, "
                         f"found {kind_of(difficulty)}")
    size = typed(note["min_size"], at(place, "min_size"), int, "a whole number")
    if size < 0:
        raise LevelError(at(place, "min_size"), f"expected at least 0, found {size}")
    return {"difficulty": float(difficulty), "min_size": size}


def slot_problems(extras: dict[str, Any], top: orv_engine.Environment) -> list[tuple[str, str]]:
    """Slot zones sharing an id, which a placement could not tell apart."""
    if HAND not in extras:
        return [(key, f'a puzzle\'s "{key}" needs a "{HAND}"') for key in (SLOTS, USE)
                if key in extras]
    places: dict[str, list[str]] = {}
    for zone_id, place in zone_ids_and_places(top):
        places.setdefault(zone_id, []).append(place)
    slots = extras.get(SLOTS)
    named = [(at(SLOTS, index), zone_id) for index, zone_id in enumerate(slots)] \
        if slots is not None else [(HAND, zone_id) for zone_id in places]
    return [(where, f'zone id "{zone_id}" is used by {len(places[zone_id])} zones '
             f'({", ".join(places[zone_id][:5])}); a slot must name one zone, so the slots '
             "(every zone, unless \"slots\" lists some) need ids of their own")
            for where, zone_id in named if len(places[zone_id]) > 1]


register_top_zone_key(HAND, check_hand)
register_top_zone_key(SLOTS, check_slots)
register_top_zone_key(USE, check_use)
register_top_zone_key(PUZZLE, check_note)
register_top_zone_rule(slot_problems)
