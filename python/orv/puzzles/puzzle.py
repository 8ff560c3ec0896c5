"""A puzzle: a level whose top zone has a hand of agents, the slot zones they may go into, and
whether all of them must be placed.

Zones are numbered in tree order (each zone before its sub-zones, the top zone 0); the search
knows slots by number, the files and the results by zone id.
"""

from __future__ import annotations

import os
from dataclasses import dataclass
from typing import TYPE_CHECKING, NamedTuple

import orv_engine

from orv.levels.files import LevelError, load_level
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
from orv.levels.top_zone_keys import level_extras, set_level_extras
from orv.puzzles.building import LevelBlueprint

if TYPE_CHECKING:
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
    """A level and its hand. ``Puzzle.of`` takes a puzzle, a level file's path or a loaded
    tree; LevelError when the level has no hand, or its puzzle keys are wrong."""

    def __init__(self, top: orv_engine.Environment) -> None:
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

    @classmethod
    def of(cls, puzzle: Puzzle | str | os.PathLike[str] | orv_engine.Environment) -> Puzzle:
        if isinstance(puzzle, Puzzle):
            return puzzle
        if isinstance(puzzle, orv_engine.Environment):
            return cls(puzzle)
        return cls(load_level(puzzle))

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
        zones' agent lists; it has no hand, and keeps the level's other top-zone keys."""
        slot_numbers = {self.zone_ids[number]: number for number in self.slots}
        level = LevelBlueprint(self.top.to_json()).build({
            slot_numbers[zone_id]: [(agent.name, agent.visual_id) for agent in agents]
            for zone_id, agents in solution.placement})
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
