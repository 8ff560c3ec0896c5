"""A player's placement of a puzzle's hand, move by move, for learners: what each move would
be refused for, and the run of the placement.

The moves and their refusals are the player's API's own (``orv.Puzzle.attempt``): a mask
that forbids what it refuses asks it, move by move, rather than repeating its rules.
"""

from __future__ import annotations

from orv import _native
from orv.levels.files import level_from_json, level_to_json
from orv.levels.samples import LevelSource, open_level_source
from orv.playing.outcome import LevelOutcome, play_outcome
from orv.puzzles.puzzle import HandAgent, Puzzle


class PlacementError(ValueError):
    """A move the puzzle refuses."""


class Placing:
    """A puzzle's hand being placed: ``placed`` lists (visual id, zone id) in the order of the
    moves, each appended at the end of its zone's agents."""

    def __init__(self, puzzle: Puzzle) -> None:
        self.puzzle = puzzle
        self._file = _native.PuzzleFile(level_to_json(puzzle.top))
        self.placed: list[tuple[str, str]] = []

    @property
    def hand(self) -> list[HandAgent]:
        return self.puzzle.hand

    @property
    def zone_ids(self) -> list[str]:
        return self.puzzle.zone_ids

    def place(self, visual_id: str, zone_id: str) -> None:
        refusal = self.place_refusal(visual_id, zone_id)
        if refusal is not None:
            raise PlacementError(refusal)
        self.placed.append((visual_id, zone_id))

    def place_refusal(self, visual_id: str, zone_id: str) -> str | None:
        if visual_id not in {agent.visual_id for agent in self.hand}:
            return f'"{visual_id}" is not in the hand'
        if any(placed == visual_id for placed, _ in self.placed):
            return f'"{visual_id}" is already placed'
        if zone_id not in self.puzzle.slot_ids:
            return f'"{zone_id}" is not a slot'
        return None

    def run_refusal(self) -> str | None:
        if self.puzzle.use_all and len(self.placed) < len(self.hand):
            return "the whole hand must be placed"
        return None

    def run(self) -> LevelOutcome:
        refusal = self.run_refusal()
        if refusal is not None:
            raise PlacementError(refusal)
        zones: dict[str, list[str]] = {}
        for visual_id, zone_id in self.placed:
            zones.setdefault(zone_id, []).append(visual_id)
        return play_outcome(level_from_json(self._file.placed_level_text(list(zones.items()))))


def open_puzzle(puzzle: Puzzle | LevelSource) -> Puzzle:
    return puzzle if isinstance(puzzle, Puzzle) else Puzzle(open_level_source(puzzle))
