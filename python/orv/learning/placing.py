"""A player's placement of a puzzle's hand, move by move, for learners: which moves the
player's API accepts now, and the run of the placement.

Every move is made on the puzzle's ``Attempt`` (``orv.Puzzle.attempt``), and whether a move
would be accepted is asked of it too: it is made and taken back with ``undo``. So a mask
built from ``place_refusal`` and ``run_refusal`` forbids exactly what the player's API
refuses, in its own words.
"""

from __future__ import annotations

from orv.puzzles.attempt import AttemptRun, PlacementError
from orv.puzzles.puzzle import HandAgent, Puzzle

__all__ = ["PlacementError", "Placing"]


class Placing:
    """An attempt at a puzzle and its moves: ``moves`` lists (hand index, zone id) in the
    order they were made, each agent at the end of its zone's hand agents."""

    def __init__(self, puzzle: Puzzle) -> None:
        self.puzzle = puzzle
        self.attempt = puzzle.attempt()
        self.moves: list[tuple[int, str]] = []

    @property
    def hand(self) -> list[HandAgent]:
        return self.puzzle.hand

    @property
    def zone_ids(self) -> list[str]:
        return self.puzzle.zone_ids

    @property
    def placed(self) -> list[tuple[str, str]]:
        """(visual id, zone id) of each move, in order."""
        return [(self.hand[index].visual_id, zone_id) for index, zone_id in self.moves]

    def place(self, hand_index: int, zone_id: str) -> None:
        """Put hand agent ``hand_index`` at the end of ``zone_id``; PlacementError when the
        attempt refuses it, or when that agent is placed already (a hand may hold twins of
        one visual id, and the attempt places the first of them still in the hand)."""
        refusal = self._placed_already(hand_index)
        if refusal is not None:
            raise PlacementError(refusal)
        self.attempt.place(self.hand[hand_index].visual_id, zone_id)
        self.moves.append((hand_index, zone_id))

    def place_refusal(self, hand_index: int, zone_id: str) -> str | None:
        """Why placing hand agent ``hand_index`` into ``zone_id`` would be refused; None when
        it would not. Asked of the attempt: the move is made, then undone."""
        refusal = self._placed_already(hand_index)
        if refusal is not None:
            return refusal
        try:
            self.attempt.place(self.hand[hand_index].visual_id, zone_id)
        except PlacementError as error:
            return str(error)
        self.attempt.undo()
        return None

    def run_refusal(self) -> str | None:
        """Why running now would be refused; None when it would not."""
        try:
            # The check that Attempt.level and Attempt.run make first, without building the
            # level's tree (which costs more than the rest of a step).
            self.attempt._native.check_playable()
        except PlacementError as error:
            return str(error)
        return None

    def run(self) -> AttemptRun:
        return self.attempt.run()

    def _placed_already(self, hand_index: int) -> str | None:
        if any(index == hand_index for index, _ in self.moves):
            return f'hand agent {hand_index + 1} ("{self.hand[hand_index].visual_id}") is ' \
                   "placed already"
        return None

