"""The player's side of a puzzle: an ``Attempt`` places the hand move by move, runs the level
with what is placed, and asks for a hint.

The rules of a move, its refusals and the hint's search live in the engine
(include/orv/attempt.hpp, include/orv/hint.hpp), which the browser engine follows too; this
module gives them the package's types.
"""

from __future__ import annotations

import json
from dataclasses import dataclass
from typing import TYPE_CHECKING, Literal, cast

import orv_engine

from orv import _native
from orv.playing.frames import Frame, RecordedRun
from orv.playing.outcome import LevelOutcome, Outcome, OutcomeTally
from orv.puzzles.puzzle import HandAgent
from orv.puzzles.result import Solution

if TYPE_CHECKING:
    from orv.puzzles.puzzle import Puzzle

PlacementError = _native.PlacementError
DEFAULT_HINT_PLACEMENTS = _native.DEFAULT_MAX_PLACEMENTS

HintAction = Literal["place", "remove", "solved", "none", "unknown"]


@dataclass(frozen=True)
class Hint:
    """One next move toward a solution of the smallest size that keeps what is placed.

    ``action`` is "place" (put hand agent ``visual_id`` into ``zone_id``, at ``index`` among
    the hand agents there), "remove" (take placed agent ``visual_id`` back out of
    ``zone_id``: no solution keeps everything placed), "solved" (the placement solves the
    puzzle), "none" (no placement of the hand does) or "unknown" (the search reached its bound
    first). ``text`` says it in words; ``placements`` is how many the search looked at."""

    action: HintAction
    text: str
    visual_id: str | None = None
    zone_id: str | None = None
    index: int | None = None
    placements: int = 0

    def follow(self, attempt: Attempt) -> None:
        """Make the hint's move on ``attempt``; ValueError for a hint that has none."""
        if self.action == "place" and self.visual_id is not None and self.zone_id is not None:
            attempt.place(self.visual_id, self.zone_id, self.index)
        elif self.action == "remove" and self.visual_id is not None:
            attempt.remove(self.visual_id)
        else:
            raise ValueError(f'a hint whose action is "{self.action}" has no move to make')


@dataclass(frozen=True)
class AttemptRun:
    """The level played with an attempt's placement: ``outcome`` (the package's ``Outcome``:
    solved, stuck, ...), ``level_outcome`` with its causes (closed gates, idle agents), and
    every frame with its step record (``Frame.record``)."""

    placement: Solution
    level_outcome: LevelOutcome
    frames: tuple[Frame, ...]

    @property
    def outcome(self) -> Outcome:
        return self.level_outcome.outcome

    @property
    def solved(self) -> bool:
        return self.outcome == Outcome.SOLVED


class Attempt:
    """A player's placement of a puzzle's hand, changed move by move (``puzzle.attempt()``).

    Every refused move raises ``PlacementError`` (a ValueError) with one line saying why, and
    changes nothing. Within a zone the hand agents keep the order they are given: the level
    tries agents by priority, and keeps their order among equal priorities.
    """

    def __init__(self, puzzle: Puzzle) -> None:
        self.puzzle = puzzle
        self._native = _native.Attempt(puzzle.file)

    @property
    def hand(self) -> list[HandAgent]:
        """The hand's agents, in the puzzle's order."""
        return list(self.puzzle.hand)

    @property
    def unplaced(self) -> list[HandAgent]:
        """The hand's agents not placed, in the hand's order."""
        return [agent for agent, placed in zip(self.puzzle.hand, self._native.placed)
                if not placed]

    @property
    def slots(self) -> list[str]:
        """The ids of the zones the hand may go into, in tree order."""
        return self.puzzle.slot_ids

    @property
    def placement(self) -> Solution:
        """What is placed, in the form of the solver's solutions: each zone that holds hand
        agents, in tree order, with them in their order there."""
        by_id = {agent.visual_id: agent for agent in self.puzzle.hand}
        placed = tuple((zone_id, tuple(by_id[visual_id] for visual_id in visual_ids))
                       for zone_id, visual_ids in self._native.placement())
        return Solution(sum(len(agents) for _, agents in placed), placed)

    def place(self, visual_id: str, zone_id: str, index: int | None = None) -> None:
        """Put the hand agent ``visual_id`` into slot ``zone_id``, at ``index`` among the hand
        agents there (last when None). Refused when no hand agent has the id, when it is
        placed already, when the zone is not a slot or does not exist, or the index is past
        the end."""
        self._native.place(visual_id, zone_id, index)

    def remove(self, visual_id: str) -> None:
        """Take the placed agent ``visual_id`` back into the hand; refused when it is not
        placed."""
        self._native.remove(visual_id)

    def move(self, visual_id: str, zone_id: str, index: int | None = None) -> None:
        """Move the placed agent ``visual_id`` to ``index`` of slot ``zone_id`` (last when
        None), its own zone too; the index counts the agents there once it has left."""
        self._native.move(visual_id, zone_id, index)

    def undo(self) -> bool:
        """Take back the last change (place, remove, move or reset); False when none."""
        return self._native.undo()

    def redo(self) -> bool:
        """Make the last change undone again; False when none."""
        return self._native.redo()

    def reset(self) -> None:
        """Take every agent back into the hand (undo takes this back too)."""
        self._native.reset()

    def level(self) -> orv_engine.Environment:
        """A new tree of the level with the placement, keeping the level's top-zone keys
        other than the puzzle's. Refused when the puzzle's "use" is "all" and an agent is
        left out."""
        return self.puzzle.placed_level(self._native.placed_level_text())

    def run(self) -> AttemptRun:
        """Play the level with the placement, on a new tree each time (the puzzle is never
        changed), to its end. Refused when the puzzle's "use" is "all" and an agent is left
        out."""
        placement = self.placement
        run = RecordedRun(self._native.placed_level_text())
        tally = OutcomeTally(run.start)
        frames = tuple(Frame.from_text(text, record) for text, record in run.texts())
        for frame in frames:
            if frame.record is not None:
                tally.record_step(frame.record)
        return AttemptRun(placement, tally.result(frames[-1].document), frames)

    def hint(self, max_placements: int = DEFAULT_HINT_PLACEMENTS) -> Hint:
        """The next move toward a solution of the smallest size that keeps what is placed,
        looking at no more than ``max_placements`` placements (see ``Hint``)."""
        found = json.loads(self._native.hint(max_placements))
        return Hint(cast(HintAction, found["action"]), found["text"], found.get("visual_id"),
                    found.get("zone_id"), found.get("index"), found["placements"])

    def __repr__(self) -> str:
        placed = len(self.puzzle.hand) - len(self.unplaced)
        return f"<Attempt: {placed} of {len(self.puzzle.hand)} hand agents placed>"
