"""``orv.solve``: search a puzzle's distinct placements, smallest size first.

Each size's placements are ranked by the search (0 to P - 1) and cut into chunks of ranks,
which a runner searches here, in worker processes or on Dask. Whatever the route and the
chunking, the results are the same: per size the count of solving placements and the
solutions of the lowest ranks, reported by (size, rank).
"""

from __future__ import annotations

import time
from collections.abc import Callable, Iterator

from orv import _native
from orv.levels.samples import LevelSource
from orv.puzzles.chunks import Chunk, ChunkResult, Searcher, chunk_work, searched, searcher
from orv.puzzles.puzzle import Puzzle
from orv.puzzles.result import Solution, SolveResult
from orv.running.choice import runner_for
from orv.running.dask_connection import CONNECT_TIMEOUT_SECONDS
from orv.running.runners import HereRunner, Runner

DEFAULT_MAX_PLACEMENTS = _native.DEFAULT_MAX_PLACEMENTS
DEFAULT_MAX_SOLUTIONS = _native.DEFAULT_MAX_SOLUTIONS
# Chunks per worker and size: enough that uneven chunks even out and progress moves.
CHUNKS_PER_WORKER = 8
# Ranks per chunk, for the native search (about a microsecond each) and the reference one
# (tens of microseconds): large enough that sending a chunk costs little next to searching it,
# small enough that Ctrl-C and the progress bar never wait long.
NATIVE_CHUNK = (2_000, 250_000)
REFERENCE_CHUNK = (20, 500)

# progress(size, placements of that size tried so far, placements of that size to try)
ProgressCallback = Callable[[int, int, int], None]
PuzzleLike = Puzzle | LevelSource


def solve(puzzle: PuzzleLike, *, max_placements: int = DEFAULT_MAX_PLACEMENTS,
          max_solutions: int = DEFAULT_MAX_SOLUTIONS, all_sizes: bool = False, jobs: int = 1,
          scheduler: str | None = None, progress: ProgressCallback | None = None,
          reference: bool = False, chunk: int | None = None,
          connect_timeout: float = CONNECT_TIMEOUT_SECONDS,
          dask_logs: bool = False) -> SolveResult:
    """Search the placements of the puzzle's hand, smallest size first, up to the minimal
    size that solves it (every size with ``all_sizes``) and at most ``max_placements`` in
    all. ``jobs`` worker processes, or a Dask ``scheduler`` ("local" for a cluster of
    ``jobs`` workers here); ``reference`` searches through the public API instead of the
    native search; ``chunk`` ranks per chunk instead of a share of the work that suits the
    route (the results never depend on it); ``dask_logs`` lets Dask's own log lines reach
    standard error. Ctrl-C ends the search with the result found so far, marked incomplete.

    LevelError for a level that is no puzzle; DaskUnavailable when the scheduler cannot be
    reached; SearchFailed when chunks could not be searched.
    """
    puzzle = Puzzle.of(puzzle)
    inputs = puzzle.search_inputs()
    started = time.perf_counter()
    sizes = puzzle.sizes()
    result = SolveResult(_native.SearchTally(sizes.start, sizes.stop - 1, max_placements,
                                             max_solutions, all_sizes))
    with runner_for(jobs, scheduler, name="orv solve", timeout=connect_timeout,
                    dask_logs=dask_logs) as runner:
        search = _Search(puzzle, searcher(inputs, reference), runner,
                         chunk_work(inputs, reference, max_solutions), result)
        search.chunk_bounds = (chunk, chunk) if chunk else REFERENCE_CHUNK if reference \
            else NATIVE_CHUNK
        search.sizes(progress)
    result.seconds = time.perf_counter() - started
    return result


class _Search:
    """Searches the sizes that the result's tally leads it to, each in chunks of ranks."""

    def __init__(self, puzzle: Puzzle, search: Searcher, runner: Runner,
                 work: Callable[[Chunk], ChunkResult], result: SolveResult) -> None:
        self.puzzle = puzzle
        self.search = search
        self.runner = runner
        self.work = work
        self.result = result
        self.chunk_bounds = NATIVE_CHUNK

    def sizes(self, progress: ProgressCallback | None) -> None:
        tally = self.result.tally
        while (size := tally.next_size()) is not None:
            try:
                total = self.search.placement_count(size)
            except OverflowError:
                # More placements than 64 bits count: far beyond any bound.
                tally.start_uncounted()
                return
            todo = tally.start_size(total)
            if todo is None or not self.size(size, todo, progress):
                return

    def size(self, size: int, todo: int, progress: ProgressCallback | None) -> bool:
        """Search the first ``todo`` placements of the size; False when interrupted."""
        tally = self.result.tally
        ranks: list[int] = []
        tried = 0
        interrupted = False
        chunks = list(self.chunks(size, todo))
        # A size too small to share out is searched here: sending it costs more.
        runner = self.runner if len(chunks) > 1 else HereRunner()
        try:
            for _, found in searched(runner, self.work, chunks):
                tried += found.tried
                tally.add(found.tried, found.solved)
                ranks.extend(found.ranks)
                if progress is not None:
                    progress(size, tried, todo)
        except KeyboardInterrupt:
            interrupted = True
        kept = sorted(ranks)[:tally.keep_solutions(len(ranks))]
        self.result.solutions += [self.solution(size, rank) for rank in kept]
        tally.end_size(interrupted)
        return not interrupted

    def chunks(self, size: int, todo: int) -> Iterator[Chunk]:
        smallest, largest = self.chunk_bounds
        per_chunk = max(smallest, min(largest, todo // (self.runner.workers * CHUNKS_PER_WORKER)))
        for start in range(0, todo, per_chunk):
            yield Chunk(size, start, min(start + per_chunk, todo))

    def solution(self, size: int, rank: int) -> Solution:
        slot_ids, hand = self.puzzle.slot_ids, self.puzzle.hand
        return Solution(size, tuple((slot_ids[slot], tuple(hand[index] for index in agents))
                                    for slot, agents in self.search.placement(size, rank)))
