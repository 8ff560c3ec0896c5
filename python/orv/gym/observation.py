"""The observation of a puzzle environment: the level and the placement in fixed-size arrays.

Zones are numbered in tree order (the top zone 0, each zone before its sub-zones), as the
solver numbers them. Categorical values are 0 for "none" and the category's number plus 1
otherwise: agent kinds in the engine's roster order, polarities and comparison rules in the
order of the engine's rule constants. Numbers beyond ``largest_number`` are clipped to it,
and a NaN reads 0 (its polarity still tells the charge is there).
"""

from __future__ import annotations

import json
import math
from dataclasses import dataclass
from typing import Any

import numpy as np
from gymnasium import spaces

from orv.documents import walk_zones
from orv.puzzles.puzzle import Puzzle
from orv.rules.roster import AGENT_KINDS, INEQUALITY_RULES, rule_constants

KIND_NUMBERS = {name: number + 1 for number, name in enumerate(AGENT_KINDS)}
POLARITY_NUMBERS = {name: number + 1 for number, name in enumerate(rule_constants()["polarities"])}
RULE_NUMBERS = {rule: number + 1 for number, rule in enumerate(INEQUALITY_RULES)}

# Each value an array; typed as Gymnasium's Dict space types its members.
Observation = dict[str, Any]


@dataclass(frozen=True)
class Maxima:
    """The sizes the arrays are made for: zones of a level, agents of a hand, charges and
    agents of one zone, and the largest magnitude or target told apart."""

    zones: int
    hand: int
    charges: int
    agents: int
    largest_number: float = 1e6

    @property
    def actions(self) -> int:
        """One action per (hand agent, zone), then the run."""
        return self.hand * self.zones + 1

    def check(self) -> None:
        for name in ("zones", "hand", "charges", "agents"):
            if getattr(self, name) < 1:
                raise ValueError(f"max_{name} must be at least 1, not {getattr(self, name)}")
        if not self.largest_number > 0:
            raise ValueError(f"largest_number must be above 0, not {self.largest_number}")

    def space(self) -> spaces.Dict:
        zones, hand, charges, agents = self.zones, self.hand, self.charges, self.agents
        number = np.float32(self.largest_number)

        def categories(shape: tuple[int, ...], count: int) -> spaces.MultiDiscrete:
            return spaces.MultiDiscrete(np.full(shape, count + 1, dtype=np.int64))

        return spaces.Dict({
            "zone_parents": categories((zones,), zones),
            "zone_flags": spaces.MultiBinary((zones, 3)),
            "charge_magnitudes": spaces.Box(0, number, (zones, charges), np.float32),
            "charge_polarities": categories((zones, charges), len(POLARITY_NUMBERS)),
            "agent_kinds": categories((zones, agents), len(KIND_NUMBERS)),
            "agent_targets": spaces.Box(-number, number, (zones, agents), np.float32),
            "agent_rules": categories((zones, agents), len(RULE_NUMBERS)),
            "hand_kinds": categories((hand,), len(KIND_NUMBERS)),
            "hand_zones": categories((hand,), zones),
            "hand_order": categories((hand,), hand),
            "action_mask": spaces.MultiBinary(self.actions),
        })

    def problems(self, puzzle: Puzzle) -> list[str]:
        """Where the puzzle is larger than the arrays; empty when it fits."""
        own = sizes_of(puzzle)
        found = [("zones", own.zones, self.zones), ("hand agents", own.hand, self.hand),
                 ("charges in a zone", own.charges, self.charges),
                 ("agents in a zone", own.agents, self.agents)]
        return [f"the puzzle has {count} {what}, more than the {limit} the observation holds"
                for what, count, limit in found if count > limit]


def sizes_of(puzzle: Puzzle) -> Maxima:
    """The puzzle's own sizes: its zones, its hand, and the most charges and agents of one of
    its zones (at least 1 each)."""
    zones = [at.zone for at in walk_zones(json.loads(puzzle.top.to_json()))]
    return Maxima(len(zones), len(puzzle.hand),
                  max(1, *(len(zone["charges"]) for zone in zones)),
                  max(1, *(len(zone["agents"]) for zone in zones)))


class LevelEncoding:
    """The arrays of one puzzle's level, made once per episode, and the placement's arrays
    on top of them."""

    def __init__(self, puzzle: Puzzle, maxima: Maxima) -> None:
        self.maxima = maxima
        zones, charges, agents = maxima.zones, maxima.charges, maxima.agents
        largest = maxima.largest_number
        level: Observation = {
            "zone_parents": np.zeros(zones, np.int64),
            "zone_flags": np.zeros((zones, 3), np.int8),
            "charge_magnitudes": np.zeros((zones, charges), np.float32),
            "charge_polarities": np.zeros((zones, charges), np.int64),
            "agent_kinds": np.zeros((zones, agents), np.int64),
            "agent_targets": np.zeros((zones, agents), np.float32),
            "agent_rules": np.zeros((zones, agents), np.int64),
        }
        numbers: dict[int, int] = {}
        slots = set(puzzle.slots)
        for number, at in enumerate(walk_zones(json.loads(puzzle.top.to_json()))):
            numbers[id(at.zone)] = number
            zone = at.zone
            if at.parent is not None:
                level["zone_parents"][number] = numbers[id(at.parent)] + 1
            level["zone_flags"][number] = (1, number in slots, bool(zone["is_time_frozen"]))
            for place, charge in enumerate(zone["charges"]):
                level["charge_magnitudes"][number, place] = _clipped(charge["magnitude"],
                                                                     0.0, largest)
                level["charge_polarities"][number, place] = POLARITY_NUMBERS[charge["polarity"]]
            for place, agent in enumerate(zone["agents"]):
                level["agent_kinds"][number, place] = KIND_NUMBERS[agent["name"]]
                if "target_value" in agent:
                    level["agent_targets"][number, place] = _clipped(agent["target_value"],
                                                                     -largest, largest)
                level["agent_rules"][number, place] = RULE_NUMBERS.get(agent.get("rule", ""), 0)
        hand_kinds = np.zeros(maxima.hand, np.int64)
        hand_kinds[:len(puzzle.hand)] = [KIND_NUMBERS[agent.name] for agent in puzzle.hand]
        level["hand_kinds"] = hand_kinds
        self.level = level

    def observe(self, placed: list[tuple[int, int]], mask: np.ndarray[Any, Any]) -> Observation:
        """The observation with ``placed`` (hand index, zone number) in the order of the
        moves, and the action mask; fresh arrays each time."""
        observation = {key: value.copy() for key, value in self.level.items()}
        zones = np.zeros(self.maxima.hand, np.int64)
        order = np.zeros(self.maxima.hand, np.int64)
        for move, (hand_index, zone) in enumerate(placed):
            zones[hand_index] = zone + 1
            order[hand_index] = move + 1
        observation["hand_zones"] = zones
        observation["hand_order"] = order
        observation["action_mask"] = mask.astype(np.int8)
        return observation


def _clipped(value: float | None, low: float, high: float) -> float:
    if value is None or math.isnan(value):
        return 0.0
    return max(low, min(high, value))
