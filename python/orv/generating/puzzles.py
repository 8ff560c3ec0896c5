"""Random puzzle files: levels with a hand of agents that the solver has shown to open every
gate, and that meet what the set demands of them (``PuzzleDemands``): exactly one placement
of the smallest size that does, a difficulty within a range, numbers one can work in one's
head.

Puzzle ``index`` of a set depends only on the seed and on ``index``. It is made from a
random tree of zones with charges and a few agents of its own, a hand of K random magicians
and a random intended place for each; the level is played with the hand in those places, and
an Equals Gate on the top zone asks for the total it ended with. The solver then searches the
puzzle: a candidate is kept when it is solvable but not as it stands and meets the demands,
and otherwise the next candidate is drawn. Demands only turn candidates away, so a set asked
for nothing more is the same as it always was.
"""

from __future__ import annotations

import json
import math
import random
from collections.abc import Callable
from dataclasses import dataclass
from pathlib import Path
from typing import Any

import orv_engine

from orv.documents import Json, walk_zones, zone_total
from orv.generating.levels import write_numbered
from orv.generating.numbers import first_unworkable, workable
from orv.levels.files import level_from_json, level_to_json
from orv.levels.puzzle_keys import PUZZLE
from orv.levels.top_zone_keys import level_extras
from orv.playing.frames import RecordedRun
from orv.playing.numbers import number as readable
from orv.puzzles.building import LevelBlueprint
from orv.puzzles.puzzle import Puzzle
from orv.puzzles.reference import ReferenceSearch
from orv.puzzles.result import SolveResult
from orv.puzzles.search import solve
from orv.rules.roster import AGENT_KINDS, EQUALS_GATE, INEQUALITY_GATE

HAND_KINDS = ("Plus Magician", "Minus Magician", "Multiply Magician", "Divide Magician",
              "The Scavenger", "Power Sorcerer", "The Extractor", "The Purifier")
# The level's own agents: any magician but the Chronomancer, which would freeze its parent.
LEVEL_KINDS = tuple(kind.name for kind in AGENT_KINDS.values()
                    if not kind.is_gate and kind.min_charges > 0)
ATTEMPTS = 500
# Per candidate: generous for the sizes the generator is asked for, and a bound on the rest.
MAX_PLACEMENTS = 2_000_000
# With number limits, every minimal solution is played; a candidate with more is drawn again.
MAX_CHECKED_SOLUTIONS = 20
# What a seal wants while the intended run finds out what it should want: any total at all.
ANY_TOTAL = -1e300
GATE_STEP = "gate"


class GenerationFailed(Exception):
    """No candidate of a puzzle passed within ``ATTEMPTS`` draws."""


@dataclass(frozen=True)
class PuzzleShape:
    """What a candidate is drawn from: its zones, the agents of its hand, the kinds its hand
    and its own agents are drawn from, the range of its charges' magnitudes and of the
    number of charges of a zone below the top, and the chance of a seal (an Equals Gate
    asking for the total the intended placement leaves there) on such a zone without
    sub-zones."""

    zones: int = 4
    hand: int = 3
    hand_kinds: tuple[str, ...] = HAND_KINDS
    level_kinds: tuple[str, ...] = LEVEL_KINDS
    magnitudes: tuple[int, int] = (1, 9)
    charges: tuple[int, int] = (1, 3)
    seals: float = 0.0


@dataclass(frozen=True)
class PuzzleDemands:
    """What a puzzle must be beyond solvable, but not as it stands: ``unique``, one minimal
    solution; a difficulty from ``min_bits`` to ``max_bits`` (as ``orv solve`` measures it);
    with ``largest_number``, every minimal solution played from the first frame keeps every
    charge, gate target and zone total a whole number within ±``largest_number``."""

    unique: bool = False
    min_bits: float = 0.0
    max_bits: float = math.inf
    largest_number: float | None = None

    def placement_bound(self, top: orv_engine.Environment) -> int:
        """The placements the search of the candidate ``top`` may try. A unique puzzle of
        at most ``max_bits`` has at most 2 ** max_bits placements of its minimal size, so
        the search can stop before the first size that has more."""
        if not self.unique or self.max_bits >= math.log2(MAX_PLACEMENTS):
            return MAX_PLACEMENTS
        puzzle = Puzzle(top)
        counts = ReferenceSearch(*puzzle.search_inputs())
        bound = 0
        for size in puzzle.sizes():
            count = counts.placement_count(size)
            if count > 2 ** self.max_bits:
                break
            bound += count
        return min(bound, MAX_PLACEMENTS)

    def solutions_to_find(self) -> int:
        return 1 if self.largest_number is None else MAX_CHECKED_SOLUTIONS

    def describe(self) -> str:
        """``unique, 4 to 6 bits, whole numbers within ±1000`` (empty when nothing is asked)."""
        parts = ["unique"] if self.unique else []
        if self.min_bits > 0 or math.isfinite(self.max_bits):
            parts.append(f"{readable(self.min_bits)} to {readable(self.max_bits)} bits")
        if self.largest_number is not None:
            parts.append(f"whole numbers within ±{readable(self.largest_number)}")
        return ", ".join(parts)


def generate_puzzles(count: int, seed: int, out: Path, zones: int = 4, hand: int = 3,
                     unique: bool = False,
                     on_puzzle: Callable[[Path], None] | None = None, *,
                     bits: tuple[float, float] = (0.0, math.inf),
                     largest_number: float | None = None) -> list[Path]:
    """Write ``count`` puzzle files into ``out`` (made if missing) and return their paths."""
    demands = PuzzleDemands(unique, *bits, largest_number)
    return write_numbered(count, out, "puzzle",
                          lambda index: generate_puzzle(seed, index, zones, hand, unique,
                                                        demands=demands),
                          on_puzzle)


def generate_puzzle(seed: int, index: int, zones: int, hand: int, unique: bool, *,
                    demands: PuzzleDemands | None = None) -> orv_engine.Environment:
    """Puzzle ``index`` of the set made from ``seed``, with its "hand" and "puzzle" note."""
    demands = demands or PuzzleDemands(unique)
    shape = PuzzleShape(max(1, zones), hand)
    found = find_puzzle(random.Random(f"orv puzzle {seed}/{index}"), lambda _: shape, demands)
    if found is None:
        asked = demands.describe()
        raise GenerationFailed(f"puzzle {index} of seed {seed}: no candidate of {zones} zones "
                               f"and a hand of {hand}{f' ({asked})' if asked else ''} "
                               f"passed in {ATTEMPTS} draws")
    return found[0]


def find_puzzle(rng: random.Random, shape_of: Callable[[random.Random], PuzzleShape],
                demands: PuzzleDemands, attempts: int = ATTEMPTS
                ) -> tuple[orv_engine.Environment, SolveResult] | None:
    """The first of ``attempts`` candidates, each of the shape ``shape_of`` draws, that
    meets the demands, with its "puzzle" note and the search that passed it; None if none
    does."""
    for _ in range(attempts):
        shape = shape_of(rng)
        top = _candidate(rng, shape, demands.largest_number)
        if top is None:
            continue
        result = solve(top, max_placements=demands.placement_bound(top),
                       max_solutions=demands.solutions_to_find())
        if _passes(top, result, demands):
            assert result.difficulty is not None and result.min_size is not None
            level_extras(top)[PUZZLE] = {"difficulty": result.difficulty,
                                         "min_size": result.min_size}
            return top, result
    return None


def _passes(top: orv_engine.Environment, result: SolveResult, demands: PuzzleDemands) -> bool:
    size = result.min_size
    if size is None or size == 0 or not result.searched_sizes[size]:
        return False
    if demands.unique and result.unique is not True:
        return False
    assert result.difficulty is not None
    if not demands.min_bits <= result.difficulty <= demands.max_bits:
        return False
    return demands.largest_number is None or _numbers_workable(top, result,
                                                               demands.largest_number)


def _numbers_workable(top: orv_engine.Environment, result: SolveResult,
                      largest: float) -> bool:
    """Whether every minimal solution, played, keeps its numbers workable."""
    assert result.min_size is not None
    minimal = [solution for solution in result.solutions if solution.size == result.min_size]
    if len(minimal) < result.solution_count[result.min_size]:
        return False
    puzzle = Puzzle(top)
    return all(first_unworkable(level_to_json(puzzle.apply(solution)), largest) is None
               for solution in minimal)


def _candidate(rng: random.Random, shape: PuzzleShape,
               largest: float | None) -> orv_engine.Environment | None:
    """A level and hand whose intended placement ends with a number for the door to want;
    None when the run leaves none (no charge on top, a total that is not finite, or with
    ``largest``, a total that is no whole number within ±largest) or a seal sees none."""
    zones = shape.zones
    level = _random_tree(rng, shape)
    held = [_agent(rng.choice(shape.hand_kinds), f"h{number + 1}")
            for number in range(shape.hand)]
    intended: dict[int, list[tuple[str, str]]] = {}
    for agent in held:
        intended.setdefault(rng.randrange(zones), []).append((agent["name"], agent["visual_id"]))
    seals = _place_seals(rng, level, shape.seals) if shape.seals else []
    played = LevelBlueprint(json.dumps(level)).build(intended)
    left, seen = _intended_run(played, bool(seals))
    target = zone_total(left)
    if not left or not _wanted(target, largest):
        return None
    for seal in seals:
        total = seen.get(seal["visual_id"])
        if total is None or not _wanted(total, largest):
            return None
        seal.update(name=EQUALS_GATE, target_value=total)
        del seal["rule"]
    level["agents"].append({"name": EQUALS_GATE, "visual_id": "door", "target_value": target})
    level["hand"] = held
    return level_from_json(json.dumps(level))


def _wanted(total: float | None, largest: float | None) -> bool:
    """Whether a gate may want this total: a finite one, and within the number limits."""
    return total is not None and math.isfinite(total) and (
        largest is None or workable(total, largest))


def _intended_run(played: orv_engine.Environment, recorded: bool
                  ) -> tuple[list[Json], dict[str, float | None]]:
    """The charges the top zone ends with, and (when ``recorded``) the total each gate that
    opened saw, by visual id."""
    run = RecordedRun(played.to_json())
    last, seen = run.start_text, {}
    for frame_text, record_text in run.texts():
        last = frame_text
        if recorded:
            record = json.loads(record_text)
            if record["step"] == GATE_STEP and record["agent"] is not None:
                seen[record["agent"]["visual_id"]] = record["total"]
    charges: list[Json] = json.loads(last)["charges"]
    return charges, seen


def _place_seals(rng: random.Random, level: dict[str, Any], chance: float
                 ) -> list[dict[str, Any]]:
    """A seal, by this chance, on each zone below the top without sub-zones: a gate that
    wants the total its zone holds once its agents are done. Until the intended run shows
    that total, the seal is The Judge wanting at least ``ANY_TOTAL``, which opens at its
    first try; its step record says what total it saw."""
    seals: list[dict[str, Any]] = []
    for at in walk_zones(level):
        zone = at.zone
        if at.parent is not None and not zone["sub_environments"] and rng.random() < chance:
            seal = {"name": INEQUALITY_GATE, "visual_id": f"seal{len(seals) + 1}",
                    "target_value": ANY_TOTAL, "rule": ">="}
            zone["agents"].append(seal)
            seals.append(seal)
    return seals


def _random_tree(rng: random.Random, shape: PuzzleShape) -> dict[str, Any]:
    """The level file's document of a random tree of zones: each but the top with one to
    three charges, now and then an agent of its own."""
    zones = shape.zones
    parents = [-1] + [rng.randrange(number) for number in range(1, zones)]
    level: dict[str, Any] = {"id": "z0", "charges": [], "agents": [], "sub_environments": [],
             "is_time_frozen": False}
    made = [level]
    for number in range(zones):
        zone: dict[str, Any] = made[number] if number == 0 else {
            "id": f"z{number}", "charges": [], "agents": [], "sub_environments": [],
            "is_time_frozen": False}
        zone["charges"] = [{"magnitude": float(rng.randint(*shape.magnitudes)),
                            "polarity": "positive" if rng.random() < 0.8 else "negative",
                            "visual_id": f"c{number}_{count}"}
                           for count in range(rng.randint(*shape.charges) if number
                                              else rng.randint(0, 1))]
        if rng.random() < 0.3 and shape.level_kinds:
            zone["agents"].append(_agent(rng.choice(shape.level_kinds), f"a{number}"))
        if number:
            made[parents[number]]["sub_environments"].append(zone)
            made.append(zone)
    return level


def _agent(name: str, visual_id: str) -> dict[str, str]:
    return {"name": name, "visual_id": visual_id}
