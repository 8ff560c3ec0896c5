"""The reasoning-gym dataset ``orv_puzzles``: generated puzzles, their question text, a
solution the solver found, and a score that replays any answer with the engine."""

from __future__ import annotations

import math
from dataclasses import dataclass
from typing import Any

# reasoning-gym ships no type information: its classes are Any to mypy.
from reasoning_gym.coaching import (  # type: ignore[import-untyped]
    BaseCurriculum,
    RangeAttributeDefinition,
    ScalarAttributeDefinition,
)
from reasoning_gym.dataset import ProceduralDataset  # type: ignore[import-untyped]

from orv.learning import answers
from orv.learning.answers import answer_text, solution_moves
from orv.learning.drawing import PuzzleShape, draw_puzzle
from orv.levels.files import level_to_json
from orv.puzzles.puzzle import Puzzle
from orv.puzzles.search import solve
from orv.reasoning.question import question_text

DATASET_NAME = "orv_puzzles"
# Entry ``index`` of a dataset is drawn from the seed ``seed * ENTRY_SEEDS + index``.
ENTRY_SEEDS = 2**32


@dataclass
class OrvPuzzlesConfig:
    """Puzzles of ``zones`` zones and a hand of ``hand`` agents, of a difficulty from
    ``min_difficulty`` to ``max_difficulty`` bits (as ``orv solve`` measures it), with
    ``unique`` a single smallest solution each; ``size`` entries drawn from ``seed``."""

    zones: int = 3
    hand: int = 3
    min_difficulty: float = 0.0
    max_difficulty: float = math.inf
    unique: bool = False
    seed: int | None = None
    size: int = 500

    def shape(self) -> PuzzleShape:
        return PuzzleShape(self.zones, self.hand, self.min_difficulty, self.max_difficulty,
                           self.unique)

    def validate(self) -> None:
        problems = self.shape().problems()
        if self.size < 1:
            problems.append(f"size must be at least 1, not {self.size}")
        if problems:
            raise ValueError("; ".join(problems))


class OrvPuzzlesDataset(ProceduralDataset):  # type: ignore[misc]
    """Each entry: ``question`` (the puzzle in text), ``answer`` (a smallest solution the
    solver found, as answer lines) and ``metadata`` (the puzzle file's text under "puzzle",
    the solver's figures under "solver")."""

    def __init__(self, config: OrvPuzzlesConfig) -> None:
        super().__init__(config=config, seed=config.seed, size=config.size)
        self.shape = config.shape()

    def __getitem__(self, idx: int) -> dict[str, Any]:
        top = draw_puzzle(self.shape, self.seed * ENTRY_SEEDS + idx)
        puzzle = Puzzle(top)
        result = solve(puzzle, max_solutions=1)
        assert result.min_size is not None and result.solutions
        config = self.config
        return {
            "question": question_text(puzzle),
            "answer": answer_text(solution_moves(result.solutions[0])),
            "metadata": {
                "source_dataset": DATASET_NAME,
                "source_index": idx,
                "puzzle": level_to_json(top),
                "solver": {"min_size": result.min_size, "difficulty": result.difficulty,
                           "unique": result.unique,
                           "solutions": result.solution_count[result.min_size],
                           "placements": result.placement_counts[result.min_size]},
                "difficulty": {"zones": config.zones, "hand": config.hand,
                               "difficulty": (config.min_difficulty,
                                              _finite(config.max_difficulty))},
            },
        }

    def score_answer(self, answer: str | None, entry: dict[str, Any]) -> float:
        """1.0 for any placement that solves the entry's puzzle, ``PARTIAL_SCORE`` (0.05) for a
        well-formed one that does not, 0.0 for one that does not parse or breaks the hand's
        rules (``orv.learning.answers``); never raises."""
        try:
            puzzle_text = entry["metadata"]["puzzle"]
        except (TypeError, KeyError):
            return 0.0
        return answers.score_answer(answer, puzzle_text)


class OrvPuzzlesCurriculum(BaseCurriculum):  # type: ignore[misc]
    """Harder puzzles level by level: a larger hand, and a higher difficulty range."""

    def __init__(self) -> None:
        super().__init__(OrvPuzzlesCurriculum.__name__, OrvPuzzlesConfig)
        self._define_attributes(
            ScalarAttributeDefinition(name="hand", field_name="hand", levels=[2, 3, 4, 5],
                                      description="Agents in the hand"),
            RangeAttributeDefinition(name="difficulty", levels=[0, 2, 4, 6, 8],
                                     description="Difficulty in bits, as orv solve measures it",
                                     lower_field_name="min_difficulty",
                                     upper_field_name="max_difficulty",
                                     ensure_interval=True),
        )


def _finite(bound: float) -> float | None:
    """A bound as JSON writes it: None for no bound."""
    return bound if math.isfinite(bound) else None
