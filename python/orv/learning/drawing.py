"""Generated puzzles for learners: the generator's puzzles of one shape, kept only when their
difficulty lies within a range.

A draw depends only on its seed and the shape, so the same seed gives the same puzzle in any
process. Draws are kept in a small cache, since a learner resets onto the same seeds again
(Gymnasium's checker does, and so does a dataset read twice).
"""

from __future__ import annotations

import math
from dataclasses import dataclass
from functools import lru_cache

import orv_engine

from orv.generating.puzzles import GenerationFailed, generate_puzzle
from orv.levels.files import level_from_json, level_to_json
from orv.levels.puzzle_keys import PUZZLE
from orv.levels.top_zone_keys import level_extras

# Candidates of one seed before a range that the shape rarely meets is given up.
DRAWS = 64
CACHED_DRAWS = 512


@dataclass(frozen=True)
class PuzzleShape:
    """The puzzles to draw: ``zones`` zones, a hand of ``hand`` agents, a difficulty (bits,
    as ``orv solve`` measures it) from ``min_difficulty`` to ``max_difficulty``, and with
    ``unique`` a single smallest solution."""

    zones: int = 3
    hand: int = 3
    min_difficulty: float = 0.0
    max_difficulty: float = math.inf
    unique: bool = False

    def problems(self) -> list[str]:
        """What is wrong with the shape, one line each; empty when nothing is."""
        problems = []
        if self.zones < 1:
            problems.append(f"zones must be at least 1, not {self.zones}")
        if self.hand < 1:
            problems.append(f"the hand must hold at least 1 agent, not {self.hand}")
        if not 0 <= self.min_difficulty <= self.max_difficulty:
            problems.append(f"the difficulty range {self.min_difficulty} to "
                            f"{self.max_difficulty} is empty or below 0")
        return problems

    def check(self) -> None:
        problems = self.problems()
        if problems:
            raise ValueError("; ".join(problems))

    def accepts(self, difficulty: float) -> bool:
        return self.min_difficulty <= difficulty <= self.max_difficulty


def draw_puzzle(shape: PuzzleShape, seed: int) -> orv_engine.Environment:
    """The puzzle of ``shape`` drawn from ``seed``: a new tree each call (a caller may change
    it). GenerationFailed when no candidate of the seed meets the difficulty range."""
    return level_from_json(_drawn_text(shape, seed))


def puzzle_note(top: orv_engine.Environment) -> dict[str, float]:
    """The generator's note of a drawn puzzle: its "difficulty" and "min_size"."""
    note: dict[str, float] = level_extras(top)[PUZZLE]
    return note


@lru_cache(maxsize=CACHED_DRAWS)
def _drawn_text(shape: PuzzleShape, seed: int) -> str:
    shape.check()
    for index in range(DRAWS):
        top = generate_puzzle(seed, index, shape.zones, shape.hand, shape.unique)
        if shape.accepts(puzzle_note(top)["difficulty"]):
            return level_to_json(top)
    raise GenerationFailed(f"seed {seed}: none of {DRAWS} puzzles of {shape.zones} zones and a "
                           f"hand of {shape.hand} has a difficulty from {shape.min_difficulty} "
                           f"to {shape.max_difficulty} bits")
