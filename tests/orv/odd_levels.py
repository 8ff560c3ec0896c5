"""Random level files for comparing two builds of the engine frame for frame.

Half come from the package's generator (nested zones, every kind within 13 levels, gates that
open and gates that stay closed, collapses), half are random trees of any kind in any zone
(the Chronomancer, which keeps its parents frozen, included). Both get the numbers a build
gets wrong first: NaN (null), -0.0, 1e308 and the largest double (whose products overflow to
infinity), subnormals, tiny divisors, factorials past 170, and ids that need escapes. The
files use a level file's liberties too: left-out one-valued keys, the designer's keys, and
whitespace and escapes of any kind.
"""

from __future__ import annotations

import json
import random
from typing import Any

from orv.generating.levels import generate_level
from orv.rules.roster import AGENT_KINDS, INEQUALITY_GATE, INEQUALITY_RULES

ODD_NUMBERS: tuple[Any, ...] = (
    None, -0.0, 0.0, 1e308, -1e308, 1.7976931348623157e308, 5e-324, 1e-310,
    2.2250738585072014e-308, 1e-300, 1e-9, 9.9e-10, 0.1, 1 / 3, 2 / 3, 1e15, 1e16,
    9007199254740993, 170, 171, 170.5, 0.5, 2.5, 4.7, -7.25, 1e22, 123456789.123456789)
IDS = ("z", "c1", "é", '"', "\\", "\n", "𝄞", "\u0001", "a b", "")
POLARITIES = ("positive", "negative", "neutral")
DESIGNER_KEYS = ("title", "hint", "notes")
Zone = dict[str, Any]


def odd_level(seed: int, leave_out: tuple[str, ...] = ()) -> str:
    """The text of level ``seed`` (the same text for the same seed), with no agent of the
    kinds named in ``leave_out``."""
    rng = random.Random(f"odd level {seed}")
    if seed % 2:
        top: Zone = json.loads(generate_level(seed, seed, rng.randint(1, 8)).to_json())
    else:
        top = _random_tree(rng)
    for zone in _zones(top):
        _oddify(rng, zone)
        zone["agents"] = [agent for agent in zone["agents"] if agent["name"] not in leave_out]
    for key in DESIGNER_KEYS:
        if rng.random() < 0.1:
            top[key] = _identifier(rng)
    return json.dumps(top, ensure_ascii=rng.random() < 0.5, indent=rng.choice((None, 1)))


def _zones(top: Zone) -> list[Zone]:
    zones, pending = [], [top]
    while pending:
        zone = pending.pop()
        zones.append(zone)
        pending.extend(zone["sub_environments"])
    return zones


def _identifier(rng: random.Random) -> str:
    return "".join(rng.choice(IDS) for _ in range(rng.randint(0, 3)))


def _number(rng: random.Random) -> Any:
    roll = rng.random()
    if roll < 0.3:
        return rng.choice(ODD_NUMBERS)
    if roll < 0.6:
        return rng.randint(0, 9)
    return rng.uniform(-50, 50) if roll < 0.8 else rng.randint(-40, 40) / 4


def _charge(rng: random.Random) -> dict[str, Any]:
    return {"magnitude": _number(rng), "polarity": rng.choice(POLARITIES),
            "visual_id": _identifier(rng)}


def _agent(rng: random.Random) -> dict[str, Any]:
    kind = rng.choice(tuple(AGENT_KINDS.values()))
    if kind.name == "Chronomancer" and rng.random() < 0.7:
        kind = AGENT_KINDS["Plus Magician"]  # rarer: it keeps every zone above it frozen
    agent = {"name": kind.name, "priority": kind.priority, "state": "dormant",
             "visual_id": _identifier(rng)}
    if kind.is_gate:
        agent |= {"is_open": False, "target_value": _number(rng)}
    if kind.name == INEQUALITY_GATE:
        agent["rule"] = rng.choice(INEQUALITY_RULES)
    return agent


def _random_tree(rng: random.Random) -> Zone:
    zones: list[Zone] = []
    for number in range(rng.randint(1, 10)):
        zone = {"agents": [_agent(rng) for _ in range(rng.randint(0, 3))],
                "charges": [_charge(rng) for _ in range(rng.randint(0, 4))],
                "id": _identifier(rng), "is_time_frozen": rng.random() < 0.2,
                "sub_environments": []}
        if zones:
            rng.choice(zones)["sub_environments"].append(zone)
        zones.append(zone)
    return zones[0]


def _oddify(rng: random.Random, zone: Zone) -> None:
    """Odd numbers into some charges and gate targets; the one-valued keys left out of some."""
    for charge in zone["charges"]:
        if rng.random() < 0.2:
            charge["magnitude"] = rng.choice(ODD_NUMBERS)
    for agent in zone["agents"]:
        if "target_value" in agent and rng.random() < 0.2:
            agent["target_value"] = rng.choice(ODD_NUMBERS)
        for key in ("priority", "state", "is_open"):
            if key in agent and rng.random() < 0.3:
                del agent[key]
    if rng.random() < 0.3:
        del zone["is_time_frozen"]

