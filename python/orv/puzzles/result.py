"""What a search of a puzzle found: its solutions, how many there are of each size, and how
hard the puzzle is.

The difficulty is measured at the minimal size n: with P the distinct placements of n agents
and S the ones among them that solve the puzzle, it is log2(P / S) bits, "1 in P/S". A
puzzle that one placement in many solves scores high; one that most placements solve scores
near 0. It is known only when every placement of that size was tried. The engine works the
figures out (include/orv/search_tally.hpp), for the browser build and this package alike.
"""

from __future__ import annotations

from dataclasses import dataclass

from orv import _native
from orv.documents import Json
from orv.playing.numbers import counted, number
from orv.puzzles.puzzle import HandAgent


@dataclass(frozen=True)
class Solution:
    """A placement that solves the puzzle: for each zone that receives agents, in tree order,
    the hand agents it receives in their order."""

    size: int
    placement: tuple[tuple[str, tuple[HandAgent, ...]], ...]

    def to_json(self) -> Json:
        return {"size": self.size,
                "placement": [{"zone": zone, "agents": [agent.visual_id for agent in agents]}
                              for zone, agents in self.placement]}

    def describe(self) -> str:
        """``adder ← Plus Magician "p1", Minus Magician "m1"; top ← ...``."""
        if not self.placement:
            return "place nothing: the level is solved as it stands"
        return "; ".join(f"{zone} ← {', '.join(agent.describe() for agent in agents)}"
                         for zone, agents in self.placement)


class SolveResult:
    """The search's findings: the solutions kept, how long it took, and the course of the
    search with its figures (``tally``, the engine's ``SearchTally``, which the browser build
    follows too). ``placement_counts`` holds P for each size searched, ``solution_count`` the
    solving placements found of each size (all of them for a size searched completely);
    ``interrupted`` says Ctrl-C ended the search and ``bound_reached`` that it stopped at its
    placement bound, or at ``uncounted_size``, a size of more placements than 64 bits count."""

    def __init__(self, tally: _native.SearchTally) -> None:
        self.tally = tally
        self.solutions: list[Solution] = []
        self.seconds = 0.0

    @property
    def complete(self) -> bool:
        return self.tally.complete

    @property
    def interrupted(self) -> bool:
        return self.tally.interrupted

    @property
    def bound_reached(self) -> bool:
        return self.tally.bound_reached

    @property
    def uncounted_size(self) -> int | None:
        return self.tally.uncounted_size

    @property
    def placements(self) -> int:
        return self.tally.placements

    @property
    def solution_count(self) -> dict[int, int]:
        return {size: solutions for size, _, solutions, _ in self.tally.sizes()}

    @property
    def placement_counts(self) -> dict[int, int]:
        return {size: placements for size, placements, _, _ in self.tally.sizes()}

    @property
    def searched_sizes(self) -> dict[int, bool]:
        return {size: searched for size, _, _, searched in self.tally.sizes()}

    @property
    def solvable(self) -> bool:
        return self.tally.solvable

    @property
    def outcome(self) -> str:
        """What the search came to, as ``orv.exit_status.OUTCOME_STATUSES`` names it."""
        if self.interrupted:
            return "interrupted"
        if self.solvable:
            return "solvable"
        return "not solvable" if self.complete else "bound reached"

    @property
    def min_size(self) -> int | None:
        return self.tally.min_size

    @property
    def unique(self) -> bool | None:
        """Whether one placement alone of the minimal size solves; None when nothing was
        found, or one was but the rest of its size was not searched."""
        return self.tally.unique

    @property
    def difficulty(self) -> float | None:
        return self.tally.difficulty

    def to_json(self) -> Json:
        return {"solvable": self.solvable, "complete": self.complete,
                "min_size": self.min_size,
                "solutions": [solution.to_json() for solution in self.solutions],
                "solution_count": {str(size): count for size, count
                                   in sorted(self.solution_count.items())},
                "unique": self.unique, "difficulty": self.difficulty,
                "placements": self.placements, "seconds": self.seconds}

    def lines(self, max_solutions: int) -> list[str]:
        """What ``orv solve`` prints."""
        lines = [self._verdict()]
        size = self.min_size
        if size is not None:
            shown = [s for s in self.solutions if s.size == size]
            lines.append(f"solutions of size {size}: {self._count_text(size)}")
            lines += [f"  {solution.describe()}" for solution in shown]
            lines += self._more_sizes(size)
            lines.append(self._difficulty_text(size))
        if len(self.solutions) >= max_solutions and self.solvable:
            lines.append(f"(showing at most {counted(max_solutions, 'solution')}; "
                         "--max-solutions shows more)")
        rate = self.placements / max(self.seconds, 1e-9)
        lines.append(f"tried {counted(self.placements, 'placement')} in {self.seconds:.2f} s "
                     f"({rate:,.0f} placements/s)")
        return lines

    def _verdict(self) -> str:
        size = self.min_size
        if size is not None:
            return f"solvable: yes, with {counted(size, 'agent')} at the least"
        if self.complete:
            tried = ", ".join(str(size) for size in sorted(self.searched_sizes))
            return f"solvable: no (every placement of size {tried} tried)"
        why = ("interrupted" if self.interrupted else "the placement bound was reached"
               if self.uncounted_size is None else "too many placements to count")
        return f"solvable: not found ({why} before every placement was tried)"

    def _count_text(self, size: int) -> str:
        count = self.solution_count[size]
        if not self.searched_sizes[size]:
            return f"at least {count} (the size was not searched to its end)"
        return f"{count} (unique)" if count == 1 else f"{count}"

    def _more_sizes(self, smallest: int) -> list[str]:
        lines = []
        for size in sorted(self.searched_sizes):
            if size <= smallest:
                continue
            lines.append(f"solutions of size {size}: {self._count_text(size)}")
            lines += [f"  {solution.describe()}" for solution in self.solutions
                      if solution.size == size]
        return lines

    def _difficulty_text(self, size: int) -> str:
        difficulty = self.difficulty
        if difficulty is None:
            return "difficulty: unknown (the minimal size was not searched to its end)"
        total, solving = self.placement_counts[size], self.solution_count[size]
        return (f"difficulty: {difficulty:.2f} bits (1 in {number(total / solving)}: "
                f"{solving:,} of the {counted(total, 'placement')} of size {size} "
                f"solve{'s' if solving == 1 else ''})")
