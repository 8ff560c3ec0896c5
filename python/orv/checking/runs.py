"""Checking many levels on any runner of ``orv.running``: in this process, in worker
processes or on a Dask cluster.

Levels go out in batches, one unit of work each, and come back as ``(index, LevelCheck)``
pairs in whatever order they finish; ``index`` is the level's place in the input, so that
callers can put results back in order. Where the workers share this machine's files a batch
is a list of paths; on Dask, whose workers may be other machines, it is the levels' texts,
read as the batch goes out. A batch that fails as a whole (a worker process died on it, its
results could not be sent back, its task was lost) has its levels checked again alone after
the other batches, where the runner can tell a level that fails by itself
(``Runner.alone``): only that one is reported as an error, with the reason, and its
neighbours keep their outcomes. When the Dask scheduler is lost, every level not yet checked
is reported as not checked.
"""

from __future__ import annotations

import pickle
from collections.abc import Generator, Iterable, Iterator, Sequence
from contextlib import closing
from typing import Any

from orv.checking.level import (
    LevelCheck,
    check_files,
    check_packed,
    describe,
    failed,
    read_failure,
)
from orv.levels.files import LevelError
from orv.levels.reading import read_level_file
from orv.running.dask_connection import CONNECT_TIMEOUT_SECONDS
from orv.running.on_dask import LOST as SCHEDULER_LOST
from orv.running.on_dask import DaskRunner, SchedulerLost
from orv.running.runners import Done, Feed, HereRunner, ProcessRunner, RunFailure, Runner, WorkerDied

Result = tuple[int, LevelCheck]
# What a check gives; closing it stops the run and the work it has under way.
Results = Generator[Result, None, None]

LOST = f"not checked: {SCHEDULER_LOST}"
# Levels per batch at most. Alone, a level at a time (so that Ctrl-C and the progress never
# wait); on Dask larger than in local processes, since the scheduler's cost per task is about
# a millisecond, several times a small level's.
LARGEST_BATCH = {"here": 1, "processes": 256, "dask": 500}
# The command has no threads of its own when its pool starts, and forked workers start with
# the package imported, where a fork server's would import it again.
CHECK_START_METHOD = "fork"
WORKER_DIED = ("the worker process checking this level died (the engine crashed on it, or the "
               "system ended it for want of memory)")


def batch_size(count: int, workers: int, largest: int = LARGEST_BATCH["processes"]) -> int:
    """Levels per unit of work: about 16 batches per worker, so that uneven levels even out
    and progress moves, but each batch large enough that sending it costs little next to
    checking it."""
    return max(1, min(largest, count // (workers * 16)))


def check_levels(runner: Runner, paths: Sequence[str], size: int | None = None) -> Results:
    """Check the levels on ``runner``, ``size`` levels a batch (by default, a share that
    suits the runner)."""
    size = size or batch_size(len(paths), runner.workers, LARGEST_BATCH[runner.where])
    run = _CheckRun(runner, paths)
    batches = (list(range(start, min(start + size, len(paths))))
               for start in range(0, len(paths), size))
    try:
        suspects = yield from run.batches(runner, batches)
        runner.close()  # its workers are idle from here on
        with closing(runner.alone()) as alone:
            yield from run.alone(alone, suspects)
    except SchedulerLost:
        yield from run.not_checked()


def check_here(paths: Sequence[str]) -> Results:
    """Check the levels one after another in this process."""
    yield from check_levels(HereRunner(), paths)


def check_in_processes(paths: Sequence[str], jobs: int) -> Results:
    """Check the levels in ``jobs`` worker processes, a batch of paths per task."""
    with closing(ProcessRunner(jobs, CHECK_START_METHOD)) as runner:
        yield from check_levels(runner, paths)


def check_on_dask(client: Any, paths: Sequence[str], size: int | None = None,
                  timeout: float = CONNECT_TIMEOUT_SECONDS) -> Results:
    """Check the levels on the Dask client's cluster, a batch of level texts per task."""
    yield from check_levels(DaskRunner(client, timeout), paths, size)


class _CheckRun:
    """The levels of one run: which unit holds which levels, and which are not yet told."""

    def __init__(self, runner: Runner, paths: Sequence[str]) -> None:
        self.paths = paths
        self.on_dask = runner.where == "dask"
        # Read here, not at import, so that a test can put a batch that fails in its place.
        self.work: Any = check_packed if self.on_dask else check_files
        self.untold = set(range(len(paths)))
        # Each unit out, by its identity: the unit itself (which keeps that identity its
        # own while it is out) and the indexes of its levels.
        self.sent: dict[int, tuple[object, list[int]]] = {}
        # Levels whose files could not be read as their batch went out.
        self.unread: list[Result] = []

    def batches(self, runner: Runner, batches: Iterable[list[int]]
                ) -> Generator[Result, None, list[int]]:
        """Check every batch; returns the levels of the batches that failed as a whole."""
        suspects: list[int] = []
        for done in runner.run(self.work, Feed(self.units(batches))):
            yield from self.told_unread()
            indexes = self.sent.pop(id(done.unit))[1]
            if done.error is None:
                yield from self.told(zip(indexes, self.checks_of(done)))
            else:
                suspects += indexes
        yield from self.told_unread()
        return suspects

    def alone(self, runner: Runner, indexes: list[int]) -> Iterator[Result]:
        for done in runner.run(self.work, Feed(self.units([index] for index in indexes))):
            yield from self.told_unread()
            [index] = self.sent.pop(id(done.unit))[1]
            yield from self.told(zip([index], self.checks_of(done) if done.error is None else [
                failed(self.paths[index], self.failure(done.error))]))
        yield from self.told_unread()

    def units(self, batches: Iterable[list[int]]) -> Iterator[object]:
        for indexes in batches:
            unit = self.texts_unit(indexes) if self.on_dask else [
                self.paths[index] for index in indexes]
            if unit is not None:
                self.sent[id(unit)] = (unit, indexes)
                yield unit

    def texts_unit(self, indexes: list[int]) -> bytes | None:
        """The batch's texts, pickled as one opaque object that Dask sends as it is (a list
        would be walked and serialized item by item); ``indexes`` keeps the levels read.
        Files that cannot be read are results at once."""
        texts = []
        for index in list(indexes):
            try:
                texts.append((self.paths[index], read_level_file(self.paths[index])))
            except (OSError, LevelError) as error:
                self.unread.append((index, failed(self.paths[index], read_failure(error))))
                indexes.remove(index)
        return pickle.dumps(texts, pickle.HIGHEST_PROTOCOL) if texts else None

    def checks_of(self, done: Done[Any, Any]) -> list[LevelCheck]:
        output: Any = done.output
        checks: list[LevelCheck] = pickle.loads(output) if self.on_dask else output
        return checks

    def told(self, results: Iterable[Result]) -> Iterator[Result]:
        for index, check in results:
            self.untold.discard(index)
            yield index, check

    def told_unread(self) -> Iterator[Result]:
        unread, self.unread = self.unread, []
        yield from self.told(unread)

    def failure(self, error: BaseException) -> str:
        """Why a level alone could not be checked, as its row says."""
        if self.on_dask:
            reason = str(error) if isinstance(error, RunFailure) else describe(error)
            return f"the Dask cluster could not check it: {reason}"
        if isinstance(error, WorkerDied):
            return WORKER_DIED
        return f"checking it failed in its worker process: {describe(error)}"

    def not_checked(self) -> Iterator[Result]:
        """Every level not yet told, reported as such."""
        yield from self.told_unread()
        yield from self.told([(index, failed(self.paths[index], LOST))
                              for index in sorted(self.untold)])
