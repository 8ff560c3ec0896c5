"""Random puzzle files: levels with a hand of agents that the solver has shown to open every
gate, with ``unique`` by exactly one placement of the smallest size that does.

Puzzle ``index`` of a set depends only on the seed and on ``index``. It is made from a
random tree of zones with charges and a few agents of its own, a hand of K random magicians
and a random intended place for each; the level is played with the hand in those places, and
an Equals Gate on the top zone asks for the total it ended with. The solver then searches the
puzzle: a candidate is kept when it is solvable but not as it stands (and, for ``unique``,
has one minimal solution), and otherwise the next candidate is drawn.
"""

from __future__ import annotations

import json
import math
import random
from collections.abc import Callable
from pathlib import Path
from typing import Any

import orv_engine

from orv.documents import zone_total
from orv.generating.levels import write_numbered
from orv.levels.files import level_from_json
from orv.levels.puzzle_keys import PUZZLE
from orv.levels.top_zone_keys import level_extras
from orv.puzzles.building import LevelBlueprint
from orv.puzzles.result import SolveResult
from orv.puzzles.search import solve
from orv.rules.roster import AGENT_KINDS

HAND_KINDS = ("Plus Magician", "Minus Magician", "Multiply Magician", "Divide Magician",
              "The Scavenger", "Power Sorcerer", "The Extractor", "The Purifier")
# The level's own agents: any magician but the Chronomancer, which would freeze its parent.
LEVEL_KINDS = tuple(kind.name for kind in AGENT_KINDS.values()
                    if not kind.is_gate and kind.min_charges > 0)
ATTEMPTS = 500
# Per candidate: generous for the sizes the generator is asked for, and a bound on the rest.
MAX_PLACEMENTS = 2_000_000


class GenerationFailed(Exception):
    """No candidate of a puzzle passed within ``ATTEMPTS`` draws."""


def generate_puzzles(count: int, seed: int, out: Path, zones: int = 4, hand: int = 3,
                     unique: bool = False,
                     on_puzzle: Callable[[Path], None] | None = None) -> list[Path]:
    """Write ``count`` puzzle files into ``out`` (made if missing) and return their paths."""
    return write_numbered(count, out, "puzzle",
                          lambda index: generate_puzzle(seed, index, zones, hand, unique),
                          on_puzzle)


def generate_puzzle(seed: int, index: int, zones: int, hand: int,
                    unique: bool) -> orv_engine.Environment:
    """Puzzle ``index`` of the set made from ``seed``, with its "hand" and "puzzle" note."""
    rng = random.Random(f"orv puzzle {seed}/{index}")
    for _ in range(ATTEMPTS):
        top = _candidate(rng, max(1, zones), hand)
        if top is None:
            continue
        result = solve(top, max_placements=MAX_PLACEMENTS, max_solutions=1)
        if _passes(result, unique):
            assert result.difficulty is not None and result.min_size is not None
            level_extras(top)[PUZZLE] = {"difficulty": result.difficulty,
                                         "min_size": result.min_size}
            return top
    raise GenerationFailed(f"puzzle {index} of seed {seed}: no candidate of {zones} zones "
                           f"and a hand of {hand} passed in {ATTEMPTS} draws")


def _passes(result: SolveResult, unique: bool) -> bool:
    size = result.min_size
    return (size is not None and size > 0 and result.searched_sizes[size]
            and (result.unique is True or not unique))


def _candidate(rng: random.Random, zones: int, hand: int) -> orv_engine.Environment | None:
    """A level and hand whose intended placement ends with a number for the gate to want;
    None when the run leaves none (no charge on top, or a total that is not finite)."""
    level = _random_tree(rng, zones)
    held = [_agent(rng.choice(HAND_KINDS), f"h{number + 1}") for number in range(hand)]
    intended: dict[int, list[tuple[str, str]]] = {}
    for agent in held:
        intended.setdefault(rng.randrange(zones), []).append((agent["name"], agent["visual_id"]))
    played = LevelBlueprint(json.dumps(level)).build(intended)
    sequencer = orv_engine.NarrativeSequencer(played)
    while not sequencer.is_finished:
        sequencer.next_frame()
    left = json.loads(played.to_json())["charges"]
    target = zone_total(left)
    if not left or not math.isfinite(target):
        return None
    level["agents"].append({"name": "Equals Gate", "visual_id": "door",
                            "target_value": target})
    level["hand"] = held
    return level_from_json(json.dumps(level))


def _random_tree(rng: random.Random, zones: int) -> dict[str, Any]:
    """The level file's document of a random tree of zones: each but the top with one to
    three charges, now and then an agent of its own."""
    parents = [-1] + [rng.randrange(number) for number in range(1, zones)]
    level: dict[str, Any] = {"id": "z0", "charges": [], "agents": [], "sub_environments": [],
             "is_time_frozen": False}
    made = [level]
    for number in range(zones):
        zone: dict[str, Any] = made[number] if number == 0 else {
            "id": f"z{number}", "charges": [], "agents": [], "sub_environments": [],
            "is_time_frozen": False}
        zone["charges"] = [{"magnitude": float(rng.randint(1, 9)),
                            "polarity": "positive" if rng.random() < 0.8 else "negative",
                            "visual_id": f"c{number}_{count}"}
                           for count in range(rng.randint(1, 3) if number else rng.randint(0, 1))]
        if rng.random() < 0.3:
            zone["agents"].append(_agent(rng.choice(LEVEL_KINDS), f"a{number}"))
        if number:
            made[parents[number]]["sub_environments"].append(zone)
            made.append(zone)
    return level


def _agent(name: str, visual_id: str) -> dict[str, str]:
    return {"name": name, "visual_id": visual_id}
