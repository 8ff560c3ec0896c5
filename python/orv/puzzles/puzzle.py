"""A puzzle: a level whose top zone has a hand of agents, the slot zones they may go into, and
whether all of them must be placed.

Zones are numbered in tree order (each zone before its sub-zones, the top zone 0); the search
knows slots by number, the files and the results by zone id.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import TYPE_CHECKING, NamedTuple

import orv_engine

from orv import _native
from orv.levels.files import LevelError, level_from_json, level_to_json
from orv.levels.puzzle_keys import (
    HAND,
    PUZZLE,
    SLOTS,
    USE,
    check_hand,
    check_slots,
    check_use,
    slot_problems,
    zone_ids_and_places,
)
from orv.levels.samples import LevelSource, open_level_source
from orv.levels.top_zone_keys import level_extras, set_level_extras

if TYPE_CHECKING:
    from orv.puzzles.attempt import Attempt
    from orv.puzzles.result import Solution

PUZZLE_KEYS = (HAND, SLOTS, USE, PUZZLE)


@dataclass(frozen=True)
class HandAgent:
    """An agent of the hand, as a level file names it."""

    name: str
    visual_id: str

    def describe(self) -> str:
        return f'{self.name} "{self.visual_id}"'


class SearchInputs(NamedTuple):
    """What a search of the puzzle needs, in a form that is sent to worker processes and Dask
    workers as it is: the level's engine text, the hand as (name, visual id) pairs, the slot
    zone numbers in tree order, and whether the whole hand must be used."""

    level_text: str
    hand: tuple[tuple[str, str], ...]
    slots: tuple[int, ...]
    use_all: bool


class Puzzle:
    """A level and its hand, from a zone tree, a level file's path or a sample's name;
    LevelError when the level has no hand, or its puzzle keys are wrong (LevelNotFound when
    the name is neither a file nor a sample). The puzzle keeps the level as it was given:
    changing the tree afterwards changes no attempt at it.

    ``attempt()`` starts the player's placement of the hand (``orv.Attempt``)."""

    def __init__(self, level: LevelSource) -> None:
        top = open_level_source(level)
        extras = level_extras(top)
        if HAND not in extras:
            raise LevelError("top zone", f'the level has no "{HAND}" of agents to place, so '
                             "it is no puzzle")
        problems = _problems_of(extras, top)
        if problems:
            raise LevelError(*problems[0], more=problems[1:])
        self.top = top
        self.hand = [HandAgent(agent["name"], agent["visual_id"]) for agent in extras[HAND]]
        self.zone_ids = [zone_id for zone_id, _ in zone_ids_and_places(top)]
        named = extras.get(SLOTS)
        self.slots = list(range(len(self.zone_ids))) if named is None else sorted(
            self.zone_ids.index(zone_id) for zone_id in named)
        self.use_all = extras.get(USE, "any") == "all"
        # The engine's reading of the puzzle, which places hands by its rules.
        self.file = _native.PuzzleFile(level_to_json(top))

    @classmethod
    def of(cls, puzzle: Puzzle | LevelSource) -> Puzzle:
        if isinstance(puzzle, Puzzle):
            return puzzle
        return cls(puzzle)

    def attempt(self) -> Attempt:
        """A new attempt at the puzzle, with nothing placed yet."""
        from orv.puzzles.attempt import Attempt
        return Attempt(self)

    @property
    def slot_ids(self) -> list[str]:
        return [self.zone_ids[number] for number in self.slots]

    def sizes(self) -> range:
        """The sizes a placement can have, smallest first."""
        return range(len(self.hand), len(self.hand) + 1) if self.use_all else range(
            len(self.hand) + 1)

    def search_inputs(self) -> SearchInputs:
        return SearchInputs(self.top.to_json(),
                          tuple((agent.name, agent.visual_id) for agent in self.hand),
                          tuple(self.slots), self.use_all)

    def apply(self, solution: Solution) -> orv_engine.Environment:
        """A new tree of the level with the solution's agents placed at the end of their
        zones' agent lists; it has no hand, and keeps the level's other top-zone keys.
        ValueError names each refused part: a zone that is no slot, an agent of no hand or
        placed more often than the hand holds it, and with "use": "all" an agent left out."""
        return self.placed_level(self.file.placed_level_text([
            (zone_id, [agent.visual_id for agent in agents])
            for zone_id, agents in solution.placement]))

    def placed_level(self, level_text: str) -> orv_engine.Environment:
        """The tree of ``level_text``, the engine text of the level with a placement, with
        the level's top-zone keys other than the puzzle's."""
        level = level_from_json(level_text)
        set_level_extras(level, {name: value for name, value in level_extras(self.top).items()
                                 if name not in PUZZLE_KEYS})
        return level


def _problems_of(extras: dict[str, object], top: orv_engine.Environment
                 ) -> list[tuple[str, str]]:
    """The puzzle keys checked again, for a tree whose keys were set in code, not loaded."""
    problems: list[tuple[str, str]] = []
    for key, check in ((HAND, check_hand), (SLOTS, check_slots), (USE, check_use)):
        if key in extras:
            try:
                check(extras[key], key, top)
            except LevelError as error:
                problems.extend(error.problems)
    return problems or slot_problems(extras, top)
