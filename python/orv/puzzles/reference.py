"""The search of a puzzle's placements written against the public Python API only: slow, but
plainly right, so tests and benchmarks compare the native search with it.

``ReferenceSearch`` has the native search's interface and its ranks. Placements of one size
are ranked first by how many agents of each kind they use (the counts of the hand's kinds, in
order of their first appearance in the hand, compared as a tuple), then priority by priority,
highest first, by where that priority's agents go. Those agents, written slot by slot with a
separator between two slots, form a word; the words are ranked in lexicographic order, the
separator before every kind and the kinds by first appearance (rank 0 puts every agent in the
last slot). Each placement is built
with the ``add_*`` methods and played with ``next_frame``, and it solves when the run's
outcome is "solved" as ``orv check`` tells it.
"""

from __future__ import annotations

import itertools
import math
from collections.abc import Iterator, Sequence

import orv_engine

from orv.playing.outcome import Outcome, play_outcome
from orv.puzzles.building import LevelBlueprint
from orv.rules.roster import AGENT_KINDS

# What each slot receives, as hand indices in order.
Placement = list[tuple[int, list[int]]]
SEPARATOR = -1.0


class ReferenceSearch:
    def __init__(self, level_text: str, hand: Sequence[tuple[str, str]],
                 slots: Sequence[int], use_all: bool) -> None:
        self._level = LevelBlueprint(level_text)
        zones = len(self._level.zones)
        if any(not 0 <= slot < zones for slot in slots):
            raise ValueError(f"a slot number is not one of the {zones} zones")
        names = [name for name, _ in hand]
        if any(name not in AGENT_KINDS or AGENT_KINDS[name].is_gate for name in names):
            raise ValueError("the hand holds an agent that is not a magician")
        self._hand = list(hand)
        self._slots = list(slots)
        self._use_all = use_all
        self._kinds = list(dict.fromkeys(names))
        self._members = [[index for index, name in enumerate(names) if name == kind]
                         for kind in self._kinds]
        priorities = sorted({AGENT_KINDS[kind].priority for kind in self._kinds}, reverse=True)
        self._groups = [[number for number, kind in enumerate(self._kinds)
                         if AGENT_KINDS[kind].priority == priority] for priority in priorities]

    def placement_count(self, size: int) -> int:
        return sum(math.prod(_arrangements([counts[k] for k in group], len(self._slots))
                             for group in self._groups) for counts in self._counts(size))

    def search(self, size: int, start: int, stop: int, max_solutions: int
               ) -> tuple[int, int, list[int]]:
        start, stop = max(start, 0), max(min(stop, self.placement_count(size)), 0)
        tried = solved = 0
        ranks: list[int] = []
        for rank, placement in enumerate(itertools.islice(self._placements(size), start, stop),
                                         start):
            tried += 1
            if self.solves(placement):
                solved += 1
                if len(ranks) < max_solutions:
                    ranks.append(rank)
        return tried, solved, ranks

    def placement(self, size: int, rank: int) -> Placement:
        if not 0 <= rank < self.placement_count(size):
            raise IndexError(f"no placement of size {size} has the rank {rank}")
        return next(itertools.islice(self._placements(size), rank, None))

    def solves(self, placement: Placement) -> bool:
        top = self.build(placement)
        return play_outcome(top).outcome == Outcome.SOLVED

    def build(self, placement: Placement) -> orv_engine.Environment:
        """The level with the placement's agents added, built through the public API."""
        return self._level.build({self._slots[slot]: [self._hand[index] for index in agents]
                                  for slot, agents in placement})

    def _counts(self, size: int) -> Iterator[tuple[int, ...]]:
        if self._use_all and size != len(self._hand):
            return
        for counts in itertools.product(*(range(len(members) + 1)
                                          for members in self._members)):
            if sum(counts) == size:
                yield counts

    def _placements(self, size: int) -> Iterator[Placement]:
        for counts in self._counts(size):
            words = [_words([k for k in group for _ in range(counts[k])], len(self._slots))
                     for group in self._groups]
            for chosen in itertools.product(*words):
                yield self._placed(chosen)

    def _placed(self, words: Sequence[tuple[float, ...]]) -> Placement:
        """The hand indices each slot receives: every priority's word split at its
        separators, the higher priorities first, each kind's agents in hand order."""
        received: list[list[int]] = [[] for _ in self._slots]
        for word in words:
            slot = 0
            for letter in word:
                if letter == SEPARATOR:
                    slot += 1
                else:
                    received[slot].append(int(letter))
        used = [0] * len(self._kinds)
        placement = []
        for slot, kinds in enumerate(received):
            if kinds:
                agents = []
                for kind in kinds:
                    agents.append(self._members[kind][used[kind]])
                    used[kind] += 1
                placement.append((slot, agents))
        return placement


def _arrangements(counts: list[int], slots: int) -> int:
    """Ways to deal these counts of kinds to the slots, order within a slot mattering: the
    words of their letters and slots - 1 separators."""
    if slots == 0:
        return 1 if not any(counts) else 0
    letters = sum(counts) + slots - 1
    ways = math.factorial(letters) // math.factorial(slots - 1)
    for count in counts:
        ways //= math.factorial(count)
    return ways


def _words(letters: list[int], slots: int) -> list[tuple[float, ...]]:
    """Every distinct word of the letters and slots - 1 separators, in lexicographic order."""
    if slots == 0:
        return [()] if not letters else []
    return list(_permutations(sorted([*letters, *[SEPARATOR] * (slots - 1)])))


def _permutations(symbols: list[float]) -> Iterator[tuple[float, ...]]:
    if not symbols:
        yield ()
        return
    for symbol in dict.fromkeys(symbols):
        rest = list(symbols)
        rest.remove(symbol)
        for tail in _permutations(rest):
            yield (symbol, *tail)
