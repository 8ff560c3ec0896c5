"""Checking many levels in this process or in local worker processes.

Each runner yields ``(index, LevelCheck)`` pairs as levels finish, in whatever order they
finish; ``index`` is the level's place in the input, so callers can put results back in order.
"""

from __future__ import annotations

from collections import deque
from collections.abc import Generator, Iterator, Sequence
from concurrent.futures import FIRST_COMPLETED, Future, ProcessPoolExecutor, wait
from concurrent.futures.process import BrokenProcessPool

from orv.checking.level import LevelCheck, check_files, check_level_file, describe, failed

Result = tuple[int, LevelCheck]
# What a runner gives; closing it stops the run and the work it has under way.
Results = Generator[Result, None, None]

# Batches in flight per worker: enough that a worker never waits for its next batch, few
# enough that a million paths do not all become pending futures at once.
IN_FLIGHT_PER_WORKER = 4


def batch_size(count: int, workers: int, largest: int = 256) -> int:
    """Levels per unit of work: about 16 batches per worker, so that uneven levels even out
    and progress moves, but each batch large enough that sending it costs little next to
    checking it."""
    return max(1, min(largest, count // (workers * 16)))


def check_here(paths: Sequence[str]) -> Results:
    """Check the levels one after another in this process."""
    for index, path in enumerate(paths):
        yield index, check_level_file(path)


def check_in_processes(paths: Sequence[str], jobs: int) -> Results:
    """Check the levels in ``jobs`` worker processes, a batch of paths per task.

    A worker that dies (the engine crashed on a level, or the system ended it for want of
    memory) breaks the whole pool and fails every batch in flight, and a batch can fail as a
    whole in other ways (its results too large to send back); those levels are checked again
    afterwards, one at a time in a process of their own, so that only a level that fails
    alone is reported as an error and its neighbours keep their outcomes.
    """
    size = batch_size(len(paths), jobs)
    waiting = deque(range(0, len(paths), size))
    suspects: list[int] = []
    while waiting:
        pool = ProcessPoolExecutor(jobs)
        try:
            yield from _run_batches(pool, paths, waiting, size, jobs, suspects)
        finally:
            # A run that stops early (Ctrl-C, a report that cannot be written) waits only
            # for the batches already running.
            pool.shutdown(cancel_futures=True)
    yield from _check_alone(paths, suspects)


def _run_batches(pool: ProcessPoolExecutor, paths: Sequence[str], waiting: deque[int],
                 size: int, jobs: int, suspects: list[int]) -> Iterator[Result]:
    """Feed the waiting batches to the pool until none is left or the pool breaks."""
    pending: dict[Future[list[LevelCheck]], int] = {}

    def submit_next() -> None:
        if not waiting:
            return
        start = waiting.popleft()
        try:
            pending[pool.submit(check_files, paths[start:start + size])] = start
        except BrokenProcessPool:
            waiting.appendleft(start)  # for the next pool

    for _ in range(jobs * IN_FLIGHT_PER_WORKER):
        submit_next()
    while pending:
        done, _ = wait(pending, return_when=FIRST_COMPLETED)
        for future in done:
            start = pending.pop(future)
            batch = range(start, min(start + size, len(paths)))
            try:
                checks = future.result()
            except Exception:  # noqa: BLE001 - the pool broke, or the batch failed as a whole
                suspects.extend(batch)
                continue
            yield from enumerate(checks, start)
            submit_next()


def _check_alone(paths: Sequence[str], indexes: list[int]) -> Iterator[Result]:
    pool = ProcessPoolExecutor(1)
    try:
        for index in indexes:
            try:
                yield index, pool.submit(check_level_file, paths[index]).result()
            except BrokenProcessPool:
                yield index, failed(paths[index], "the worker process checking this level "
                                    "died (the engine crashed on it, or the system ended it "
                                    "for want of memory)")
                pool.shutdown(cancel_futures=True)
                pool = ProcessPoolExecutor(1)
            except Exception as error:  # noqa: BLE001 - reported for this level alone
                yield index, failed(paths[index], f"checking it failed in its worker process: "
                                    f"{describe(error)}")
    finally:
        pool.shutdown(cancel_futures=True)
