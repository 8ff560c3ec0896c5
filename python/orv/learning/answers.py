"""Placements written as text, and how well one solves its puzzle, replayed with the engine.

An answer is one line per placed agent, ``visual_id -> zone_id``, in the order the agents
are placed (each goes to the end of its zone's agents); blank lines are skipped, and an
answer may be wrapped in ``<answer>`` tags (the last such block counts). Its score:

- 1.0 when the placement solves the puzzle: the level, run with it, opens every gate;
- ``PARTIAL_SCORE`` when it is well formed and the player's API accepts every move and the
  run, but the run does not solve the puzzle;
- 0.0 when it does not parse, places nothing, or breaks the hand's rules (an agent not in
  the hand or placed twice, a zone that is no slot, a hand that must all be used and is not).

Scoring never raises: an answer of any type, or one whose run fails, scores 0.0.
"""

from __future__ import annotations

import re
from collections.abc import Sequence
from functools import lru_cache

from orv.levels.files import level_from_json
from orv.puzzles.attempt import PlacementError
from orv.puzzles.puzzle import Puzzle
from orv.puzzles.result import Solution

PARTIAL_SCORE = 0.05
ARROW = "->"
_ANSWER_BLOCK = re.compile(r"<answer>(.*?)</answer>", re.DOTALL)
CACHED_PUZZLES = 256


class AnswerError(ValueError):
    """An answer that does not parse."""


def answer_text(placement: Sequence[tuple[str, str]]) -> str:
    """The lines of a placement given as (visual id, zone id) in the order of the moves."""
    return "\n".join(f"{visual_id} {ARROW} {zone_id}" for visual_id, zone_id in placement)


def solution_moves(solution: Solution) -> list[tuple[str, str]]:
    """A solver's solution as moves: zone by zone in tree order, each zone's agents in order."""
    return [(agent.visual_id, zone) for zone, agents in solution.placement for agent in agents]


def parse_answer(text: str) -> list[tuple[str, str]]:
    """The (visual id, zone id) of each line; AnswerError naming the first bad line."""
    blocks = _ANSWER_BLOCK.findall(text)
    body = blocks[-1] if blocks else text
    moves = []
    for number, line in enumerate(body.splitlines(), 1):
        if not line.strip():
            continue
        parts = line.split(ARROW)
        left, right = (part.strip() for part in parts) if len(parts) == 2 else ("", "")
        if not left or not right:
            raise AnswerError(f'line {number} is not "visual_id {ARROW} zone_id": {line!r}')
        moves.append((left, right))
    if not moves:
        raise AnswerError("the answer places no agent")
    return moves


def score_answer(answer: object, puzzle_text: str) -> float:
    """The answer's score on the puzzle file's text (see the module's description)."""
    try:
        if not isinstance(answer, str):
            return 0.0
        attempt = _puzzle(puzzle_text).attempt()
        for visual_id, zone_id in parse_answer(answer):
            attempt.place(visual_id, zone_id)
        return 1.0 if attempt.run().solved else PARTIAL_SCORE
    except (AnswerError, PlacementError):
        return 0.0
    except Exception:  # noqa: BLE001 - a score is asked for, whatever the answer holds
        return 0.0


@lru_cache(maxsize=CACHED_PUZZLES)
def _puzzle(text: str) -> Puzzle:
    return Puzzle(level_from_json(text))
