"""A campaign puzzle's hint: what its door wants, how many hand agents are needed, what a seal
is for, and a word about the zones, which says less the further into the campaign the puzzle
is.

Every sentence is read off the puzzle's one minimal solution, so a hint is always true; none
says which agent goes where.
"""

from __future__ import annotations

import json
from typing import Any

import orv_engine

from orv.documents import walk_zones
from orv.levels.top_zone_keys import level_extras
from orv.playing.numbers import number
from orv.puzzles.result import SolveResult
from orv.rules.roster import EQUALS_GATE, GATE_NAMES

WORDS = ("no", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten")
# Up to these shares of the campaign the hint names a zone that receives an agent, then one
# that receives none; after that it only counts the zones that receive agents.
NAMES_A_ZONE, NAMES_AN_EMPTY_ZONE = 1 / 3, 2 / 3


def hint_for(top: orv_engine.Environment, result: SolveResult, names: dict[str, str],
             progress: float) -> str:
    """The hint of the puzzle ``top`` (zones already named) whose search is ``result`` (its
    zones by the ids ``names`` renamed), for a place ``progress`` (0 to 1) into the
    campaign."""
    level = json.loads(top.to_json())
    solution = result.solutions[0]
    receiving = [names[zone] for zone, _ in solution.placement]
    zones = [at.zone["id"] for at in walk_zones(level)]
    hand = len(level_extras(top)["hand"])
    sentences = [_goal(level), _count(solution.size, hand)]
    if progress < NAMES_AN_EMPTY_ZONE and _has_seals(level):
        sentences.append("A seal shows the total its zone must come to.")
    if progress < NAMES_A_ZONE:
        # With one agent to place, naming its zone would leave only the agent to choose.
        if solution.size > 1:
            sentences.append(f"One of them goes into the {receiving[0]}.")
    elif progress < NAMES_AN_EMPTY_ZONE:
        empty = [zone for zone in zones if zone not in receiving]
        sentences.append(f"The {empty[0]} needs none of them." if empty
                         else "Every zone needs at least one of them.")
    elif solution.size > 1:
        sentences.append("They all go into one zone." if len(receiving) == 1
                         else f"They go into {_word(len(receiving))} different zones.")
    return " ".join(sentences)


def _has_seals(level: dict[str, Any]) -> bool:
    """Whether a zone below the top has a gate: a seal of a generated puzzle."""
    return any(agent["name"] in GATE_NAMES for at in walk_zones(level) if at.parent is not None
               for agent in at.zone["agents"])


def _goal(level: dict[str, Any]) -> str:
    target = next(agent["target_value"] for agent in level["agents"]
                  if agent["name"] == EQUALS_GATE)
    return f"The door of the {level['id']} opens at exactly {number(target)}."


def _count(size: int, hand: int) -> str:
    if size == hand:
        return {1: "Your one agent is needed.", 2: "Both of your agents are needed."}.get(
            hand, f"All {_word(hand)} of your agents are needed.")
    return (f"{_word(size).capitalize()} of your {_word(hand)} agents "
            f"{'is' if size == 1 else 'are'} enough.")


def _word(count: int) -> str:
    return WORDS[count] if count < len(WORDS) else str(count)
