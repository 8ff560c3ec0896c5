"""Running the chunks of a search: here, in worker processes, or on a Dask cluster.

A chunk is a range of ranks of one size. Every runner yields each chunk with its result,
(tried, solved, the ranks of its first solving placements), in whatever order chunks finish;
the search puts them back in order, so the route and the chunking never change what it
reports. No chunk is lost: one whose worker died is run again.
"""

from __future__ import annotations

import functools
import multiprocessing
import queue
import signal
import time
from collections.abc import Iterator, Sequence
from concurrent.futures import FIRST_COMPLETED, Future, ProcessPoolExecutor, wait
from concurrent.futures.process import BrokenProcessPool
from typing import TYPE_CHECKING, Any, NamedTuple, Protocol

from orv._native import PuzzleSearch
from orv.checking.dask_connection import CONNECT_TIMEOUT_SECONDS, scheduler_answers
from orv.puzzles.puzzle import SearchInputs
from orv.puzzles.reference import ReferenceSearch

if TYPE_CHECKING:
    from distributed import Client

# How often a chunk may fail (its worker died, or the cluster lost it) before the search
# gives up: a chunk that kills every worker it meets is a fault of the engine, not bad luck.
ATTEMPTS = 3
IN_FLIGHT_PER_WORKER = 3


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


class Runner(Protocol):
    workers: int

    def run(self, chunks: Sequence[Chunk]) -> Iterator[tuple[Chunk, ChunkResult]]: ...
    def close(self) -> None: ...


class HereRunner:
    """The chunks one after another in this process; Ctrl-C stops the search inside one."""

    workers = 1

    def __init__(self, inputs: SearchInputs, reference: bool, max_solutions: int) -> None:
        self._work = functools.partial(search_chunk, inputs, reference,
                                       max_solutions=max_solutions)

    def run(self, chunks: Sequence[Chunk]) -> Iterator[tuple[Chunk, ChunkResult]]:
        for chunk in chunks:
            yield chunk, self._work(chunk)

    def close(self) -> None:
        pass


def _deaf_to_ctrl_c() -> None:
    # The terminal sends Ctrl-C to the whole process group; the search in this process stops
    # and reports, and the workers just finish the chunk they hold.
    signal.signal(signal.SIGINT, signal.SIG_IGN)


class ProcessRunner:
    """The chunks in ``jobs`` worker processes. The workers are started by a fork server,
    not forked from this process, whose threads (a progress bar, a Dask client) a fork
    would copy in whatever state they are."""

    def __init__(self, inputs: SearchInputs, reference: bool, max_solutions: int,
                 jobs: int) -> None:
        self.workers = jobs
        self._work = functools.partial(search_chunk, inputs, reference,
                                       max_solutions=max_solutions)
        self._context = multiprocessing.get_context("forkserver")
        self._pool: ProcessPoolExecutor | None = None

    def _new_pool(self) -> ProcessPoolExecutor:
        return ProcessPoolExecutor(self.workers, mp_context=self._context,
                                   initializer=_deaf_to_ctrl_c)

    def run(self, chunks: Sequence[Chunk]) -> Iterator[tuple[Chunk, ChunkResult]]:
        if len(chunks) == 1:
            # A size too small to share out is not worth starting the workers for.
            yield chunks[0], self._work(chunks[0])
            return
        if self._pool is None:
            self._pool = self._new_pool()
        waiting = list(reversed(chunks))
        failures: dict[Chunk, int] = {}
        pending: dict[Future[ChunkResult], Chunk] = {}
        while waiting or pending:
            while waiting and len(pending) < self.workers * IN_FLIGHT_PER_WORKER:
                chunk = waiting.pop()
                pending[self._pool.submit(self._work, chunk)] = chunk
            done, _ = wait(pending, return_when=FIRST_COMPLETED)
            broken = False
            for future in done:
                chunk = pending.pop(future)
                try:
                    result = future.result()
                except BrokenProcessPool:
                    broken = True
                    _count_failure(failures, chunk, "a worker process died searching it")
                    waiting.append(chunk)
                    continue
                yield chunk, result
            if broken:
                # Every chunk still in the broken pool fails with it; they go again too.
                waiting.extend(pending.values())
                pending.clear()
                self._restart()

    def _restart(self) -> None:
        self.close()
        self._pool = self._new_pool()

    def close(self) -> None:
        if self._pool is not None:
            self._pool.shutdown(cancel_futures=True)


def _count_failure(failures: dict[Chunk, int], chunk: Chunk, why: str) -> None:
    failures[chunk] = failures.get(chunk, 0) + 1
    if failures[chunk] >= ATTEMPTS:
        raise SearchFailed(f"placements {chunk.start:,} to {chunk.stop:,} of size "
                           f"{chunk.size} could not be searched: {why}, {ATTEMPTS} times")


class DaskRunner:
    """The chunks as tasks on a Dask cluster. The scheduler runs the tasks of a lost worker
    again by itself; a task that still fails is sent again, up to ``ATTEMPTS`` times."""

    def __init__(self, client: Client, inputs: SearchInputs, reference: bool,
                 max_solutions: int, timeout: float = CONNECT_TIMEOUT_SECONDS) -> None:
        self._client = client
        self._arguments = (inputs, reference)
        self._max_solutions = max_solutions
        self._timeout = timeout
        self.workers = max(1, len(client.scheduler_info()["workers"]))

    def run(self, chunks: Sequence[Chunk]) -> Iterator[tuple[Chunk, ChunkResult]]:
        finished: queue.SimpleQueue[Any] = queue.SimpleQueue()
        waiting = list(reversed(chunks))
        running: dict[Any, tuple[Any, Chunk]] = {}
        failures: dict[Chunk, int] = {}
        try:
            while waiting or running:
                while waiting and len(running) < self.workers * IN_FLIGHT_PER_WORKER:
                    chunk = waiting.pop()
                    future = self._client.submit(search_chunk, *self._arguments, chunk,
                                                 self._max_solutions, pure=False, retries=1)
                    running[future.key] = (future, chunk)
                    future.add_done_callback(finished.put)  # type: ignore[no-untyped-call]
                future = self._next(finished)
                if future.key not in running:
                    continue
                _, chunk = running.pop(future.key)
                result = self._result_of(future)
                future.release()
                if result is None:
                    _count_failure(failures, chunk, f"its task was {future.status}")
                    waiting.append(chunk)
                else:
                    yield chunk, result
        finally:
            for future, _ in running.values():
                future.release()

    def _next(self, finished: queue.SimpleQueue[Any]) -> Any:
        quiet_since = time.monotonic()
        while True:
            try:
                return finished.get(timeout=min(0.5, self._timeout / 2))
            except queue.Empty:
                lost = self._client.status != "running"
                if not lost and time.monotonic() - quiet_since >= self._timeout / 2:
                    lost = not scheduler_answers(self._client, self._timeout / 2)
                    quiet_since = time.monotonic()
                if lost:
                    raise SearchFailed("the connection to the Dask scheduler was lost") \
                        from None

    def _result_of(self, future: Any) -> ChunkResult | None:
        if future.status != "finished":
            return None
        try:
            return ChunkResult(*future.result(timeout=self._timeout))
        except Exception:  # noqa: BLE001 - a result that cannot be fetched is run again
            return None

    def close(self) -> None:
        pass
