"""A puzzle in plain text, for a reader that sees no picture: its zones (each inside the one
above it) with their charges and agents, the slots, and the hand; and the rules of the kinds
it uses, from the engine's table of kinds."""

from __future__ import annotations

import json
import math
from typing import Any

from orv.documents import walk_zones
from orv.playing.numbers import number
from orv.puzzles.puzzle import Puzzle
from orv.rules.roster import AGENT_KINDS, EQUALS_GATE, AgentKind
from orv.rules.text import STEP_RULES

INDENT = "  "


def exact(value: float | None) -> str:
    """A number with every digit a gate compares, whole numbers without a decimal point:
    ``15``, ``0.6462390352404706``, ``NaN``."""
    if value is not None and math.isfinite(value) and float(value).is_integer():
        return number(value)
    return number(value, None)


def describe_agent(agent: dict[str, Any]) -> str:
    """``Plus Magician "p1"``; a gate with what opens it, its target with every digit:
    ``Equals Gate "door" (wants a total of 15)``, ``The Judge "j" (wants a total > 20)``."""
    text = f'{agent["name"]} "{agent["visual_id"]}"'
    if agent["name"] == EQUALS_GATE:
        return f"{text} (wants a total of {exact(agent['target_value'])})"
    if "rule" in agent:
        return f"{text} (wants a total {agent['rule']} {exact(agent['target_value'])})"
    return text


def zone_lines(puzzle: Puzzle) -> list[str]:
    """One line per zone, indented under the zone that holds it: its id, whether the hand
    may go there, its charges and its agents in order."""
    lines = []
    depth: dict[int, int] = {}
    slots = set(puzzle.slot_ids)
    for at in walk_zones(json.loads(puzzle.top.to_json())):
        zone = at.zone
        depth[id(zone)] = 0 if at.parent is None else depth[id(at.parent)] + 1
        charges = ", ".join(f"{exact(charge['magnitude'])} {charge['polarity']} "
                            f"({charge['visual_id']})" for charge in zone["charges"]) or "none"
        agents = ", ".join(describe_agent(agent) for agent in zone["agents"]) or "none"
        marks = [mark for mark, present in (("top zone", at.parent is None),
                                            ("slot", zone["id"] in slots),
                                            ("time-frozen", zone["is_time_frozen"])) if present]
        lines.append(f"{INDENT * depth[id(zone)]}- zone {zone['id']} "
                     f"({', '.join(marks) or 'no slot'}): charges {charges}; agents {agents}")
    return lines


def hand_line(puzzle: Puzzle) -> str:
    return "Hand: " + ", ".join(agent.describe() for agent in puzzle.hand)


def kinds_used(puzzle: Puzzle) -> list[AgentKind]:
    """The kinds of the hand and of the level's agents, in the engine's roster order."""
    names = {agent.name for agent in puzzle.hand}
    for at in walk_zones(json.loads(puzzle.top.to_json())):
        names.update(agent["name"] for agent in at.zone["agents"])
    return [kind for kind in AGENT_KINDS.values() if kind.name in names]


def kind_rule(kind: AgentKind) -> str:
    """What a kind does, as the engine's table tells it: ``Plus Magician (priority 10).
    Operands: ... Result: ... Declines, saying: needs 2 charges, has [count].``"""
    return (f"{kind.name} (priority {kind.priority}). Operands: {kind.operands}. "
            f"Result: {kind.result}. Declines, saying: {kind.declines}.")


def rules_lines(puzzle: Puzzle) -> list[str]:
    """The rules of the kinds the puzzle uses, then how a step is taken."""
    return ([f"- {kind_rule(kind)}" for kind in kinds_used(puzzle)]
            + [f"- {topic}: {text}" for topic, text in STEP_RULES])
