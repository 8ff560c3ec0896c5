"""``orv solve``: find where a puzzle's hand of agents can go so that every gate opens."""

from __future__ import annotations

import argparse
import json
import sys
from pathlib import Path

from orv.running.dask_connection import DaskUnavailable
from orv.commands.open_level import open_level_or_report
from orv.commands.options import add_dask_arguments, positive_int
from orv.commands.progress import Progress
from orv.exit_status import OUTCOME_STATUSES, ExitStatus, StatusMeanings
from orv.levels.files import LevelError, save_level
from orv.puzzles.puzzle import Puzzle
from orv.puzzles.result import SolveResult
from orv.puzzles.chunks import SearchFailed
from orv.puzzles.search import DEFAULT_MAX_PLACEMENTS, DEFAULT_MAX_SOLUTIONS, solve
from orv.terminal import say

DESCRIPTION = ("Search the distinct placements of the puzzle's hand of agents, smallest first, "
               "and say whether the puzzle is solvable, with how few agents, in how many "
               "ways, and how hard it is: the difficulty is log2(P / S) bits, P being the "
               "distinct placements of the minimal size and S the solving ones among them.")
EXIT_STATUSES: StatusMeanings = (
    (ExitStatus.OK, "when the puzzle is solvable"),
    (ExitStatus.NOT_SOLVABLE, "when it is not (every placement tried)"),
    (ExitStatus.BOUND_REACHED, "when the placement bound was reached before a solution was "
                               "found"),
    (ExitStatus.CANNOT_RUN, "when the puzzle cannot be loaded or searched"),
    (ExitStatus.INTERRUPTED, "when Ctrl-C ended the search (what was found is printed)"))
EXIT_NOTE = ""


def add_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("puzzle", metavar="PUZZLE",
                        help='a level file with a "hand", or the name of a bundled sample')
    parser.add_argument("--json", action="store_true", help="print the result as one JSON "
                                                            "object")
    parser.add_argument("--all-sizes", action="store_true",
                        help="go on searching past the minimal size")
    parser.add_argument("--max-solutions", type=positive_int, default=DEFAULT_MAX_SOLUTIONS,
                        metavar="N", help="solutions to report (default: %(default)s)")
    parser.add_argument("--write-solution", type=Path, metavar="FILE",
                        help="write the level with the first minimal solution placed")
    parser.add_argument("--max-placements", type=positive_int,
                        default=DEFAULT_MAX_PLACEMENTS, metavar="N",
                        help="stop after trying this many placements (default: "
                             f"{DEFAULT_MAX_PLACEMENTS:,})")
    parser.add_argument("-j", "--jobs", type=positive_int, default=1, metavar="N",
                        help="worker processes (default: %(default)s, this process)")
    add_dask_arguments(parser, "search")


def run(arguments: argparse.Namespace, prog: str = "python -m orv") -> int:
    name = f"{prog} solve"
    top = open_level_or_report(arguments.puzzle, name)
    if top is None:
        return ExitStatus.CANNOT_RUN
    try:
        puzzle = Puzzle(top)
    except LevelError as error:
        for place, problem in error.problems:
            say(f"{name}: cannot load puzzle: {place}: {problem}")
        return ExitStatus.CANNOT_RUN
    bars = _SizeProgress()
    try:
        result = solve(puzzle, max_placements=arguments.max_placements,
                       max_solutions=arguments.max_solutions, all_sizes=arguments.all_sizes,
                       jobs=arguments.jobs, scheduler=arguments.scheduler, progress=bars,
                       connect_timeout=arguments.connect_timeout, dask_logs=arguments.verbose)
    except (DaskUnavailable, SearchFailed) as error:
        say(f"{name}: {error}")
        return ExitStatus.CANNOT_RUN
    except (ValueError, OverflowError) as error:
        say(f"{name}: cannot search the puzzle: {error}")
        return ExitStatus.CANNOT_RUN
    finally:
        bars.close()
    _report(result, arguments)
    if arguments.write_solution is not None and not _write(puzzle, result, arguments, name):
        return ExitStatus.CANNOT_RUN
    return exit_status(result)


def exit_status(result: SolveResult) -> ExitStatus:
    return OUTCOME_STATUSES[result.outcome]


def _report(result: SolveResult, arguments: argparse.Namespace) -> None:
    if arguments.json:
        print(json.dumps(result.to_json(), ensure_ascii=False))
        return
    for line in result.lines(arguments.max_solutions):
        say(line, sys.stdout)
    if result.interrupted:
        say("interrupted: what was found so far is above", sys.stdout)
    elif result.uncounted_size is not None:
        say(f"stopped before size {result.uncounted_size}: it has more placements than 64 "
            "bits can count", sys.stdout)
    elif result.bound_reached:
        say(f"stopped at the bound of {arguments.max_placements:,} placements "
            "(--max-placements)", sys.stdout)


def _write(puzzle: Puzzle, result: SolveResult, arguments: argparse.Namespace,
           name: str) -> bool:
    path = arguments.write_solution
    size = result.min_size
    first = next((solution for solution in result.solutions if solution.size == size), None)
    if first is None:
        say(f"{name}: no solution to write to {path}")
        return True
    try:
        save_level(puzzle.apply(first), path)
    except OSError as error:
        say(f"{name}: cannot write {path}: {error.strerror or error}")
        return False
    say(f"wrote {path}: the level with {first.describe()}",
        sys.stderr if arguments.json else sys.stdout)
    return True


class _SizeProgress:
    """A progress bar for each size searched, from 0 to its number of placements."""

    def __init__(self) -> None:
        self._size: int | None = None
        self._bar: Progress | None = None
        self._done = 0

    def __call__(self, size: int, tried: int, total: int) -> None:
        if size != self._size:
            self.close()
            self._size, self._done = size, 0
            self._bar = Progress(total, "placements")
        assert self._bar is not None
        self._bar.advance(tried - self._done)
        self._done = tried

    def close(self) -> None:
        if self._bar is not None:
            self._bar.close()
            self._bar = None
