"""The unit of work of a search: a chunk, a range of ranks of one size, searched on any
runner of ``orv.running`` (here, in worker processes or on a Dask cluster).

Every chunk comes back with its result, (tried, solved, the ranks of its first solving
placements), in whatever order chunks finish; the search puts them back in order, so the
route and the chunking never change what it reports. No chunk is lost: one that failed (its
worker died, its task was lost) is sent again.
"""

from __future__ import annotations

import functools
from collections import Counter
from collections.abc import Callable, Iterator, Sequence
from typing import NamedTuple, Protocol

from orv._native import PuzzleSearch
from orv.puzzles.puzzle import SearchInputs
from orv.puzzles.reference import ReferenceSearch
from orv.running.on_dask import SchedulerLost
from orv.running.runners import Feed, RunFailure, Runner, WorkerDied

# How often a chunk may fail (its worker died, or the cluster lost it) before the search
# gives up: a chunk that kills every worker it meets is a fault of the engine, not bad luck.
ATTEMPTS = 3


class Chunk(NamedTuple):
    size: int
    start: int
    stop: int


class ChunkResult(NamedTuple):
    tried: int
    solved: int
    ranks: list[int]


class SearchFailed(Exception):
    """A chunk could not be searched anywhere, or the cluster went away."""


class Searcher(Protocol):
    def placement_count(self, size: int) -> int: ...
    def search(self, size: int, start: int, stop: int,
               max_solutions: int) -> tuple[int, int, list[int]]: ...
    def placement(self, size: int, rank: int) -> list[tuple[int, list[int]]]: ...


@functools.lru_cache(maxsize=4)
def searcher(inputs: SearchInputs, reference: bool = False) -> Searcher:
    """The search of the puzzle, built once per process: the native one of ``orv._native``,
    or with ``reference`` the one over the public API."""
    if reference:
        return ReferenceSearch(*inputs)
    return PuzzleSearch(inputs.level_text, list(inputs.hand), list(inputs.slots), inputs.use_all)


def search_chunk(inputs: SearchInputs, reference: bool, chunk: Chunk,
                 max_solutions: int) -> ChunkResult:
    """The unit of work of every route."""
    tried, solved, ranks = searcher(inputs, reference).search(chunk.size, chunk.start,
                                                            chunk.stop, max_solutions)
    return ChunkResult(tried, solved, list(ranks))


def chunk_work(inputs: SearchInputs, reference: bool,
               max_solutions: int) -> Callable[[Chunk], ChunkResult]:
    """``search_chunk`` for one search, as a runner calls it: with the chunk alone."""
    return functools.partial(search_chunk, inputs, reference, max_solutions=max_solutions)


def searched(runner: Runner, work: Callable[[Chunk], ChunkResult],
             chunks: Sequence[Chunk]) -> Iterator[tuple[Chunk, ChunkResult]]:
    """Each chunk with its result, as they finish on ``runner``. A chunk that fails is sent
    again, up to ``ATTEMPTS`` times; SearchFailed then, or when the scheduler is lost."""
    feed = Feed(chunks)
    failures: Counter[Chunk] = Counter()
    try:
        for done in runner.run(work, feed):
            if done.error is None:
                yield done.unit, ChunkResult(*done.output or ())
                continue
            failures[done.unit] += 1
            if failures[done.unit] >= ATTEMPTS:
                chunk = done.unit
                raise SearchFailed(f"placements {chunk.start:,} to {chunk.stop:,} of size "
                                   f"{chunk.size} could not be searched: "
                                   f"{_why(done.error)}, {ATTEMPTS} times")
            feed.again(done.unit)
    except SchedulerLost as lost:
        raise SearchFailed(str(lost)) from None


def _why(error: BaseException) -> str:
    if isinstance(error, WorkerDied):
        return "a worker process died searching it"
    if isinstance(error, RunFailure):
        return str(error)
    return f"it raised {type(error).__name__}: {error}"
