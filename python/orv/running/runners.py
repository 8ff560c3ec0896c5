"""The runners of this machine: this process, or a pool of worker processes.

A run takes units of work from a ``Feed`` as it has room for them and hands back each one as
a ``Done``, in whatever order they finish, with its result or with why it failed; what to do
with a failed unit (split it, send it again, report it) is the caller's choice, and the feed
takes a unit back at any time. Every runner does so alike, the one on Dask included
(``orv.running.on_dask``), so that the commands never ask which one they have.
"""

from __future__ import annotations

import multiprocessing
import signal
import threading
from collections import deque
from collections.abc import Callable, Iterable, Iterator
from concurrent.futures import FIRST_COMPLETED, Future, ProcessPoolExecutor, wait
from concurrent.futures.process import BrokenProcessPool
from dataclasses import dataclass
from typing import Generic, Literal, Protocol, TypeVar

Unit = TypeVar("Unit")
Output = TypeVar("Output")
# Units in flight per worker: enough that a worker never waits for its next one, few enough
# that a million units do not all become pending at once.
IN_FLIGHT_PER_WORKER = 4
Where = Literal["here", "processes", "dask"]


class RunFailure(Exception):
    """Why a unit failed where the runner, not the work, is to blame; its text says why."""


class WorkerDied(RunFailure):
    """The worker process running the unit died (the engine crashed, or the system ended it
    for want of memory), or another one of its pool did, which breaks the whole pool."""

    def __init__(self) -> None:
        super().__init__("a worker process died")


@dataclass
class Done(Generic[Unit, Output]):
    """A unit that finished: its ``output``, or the ``error`` that kept it from one."""

    unit: Unit
    output: Output | None = None
    error: BaseException | None = None


class Feed(Generic[Unit]):
    """The units of a run, taken one at a time as the runner has room; ``again`` puts a unit
    back in front of the others (to try it again, or its parts)."""

    def __init__(self, units: Iterable[Unit]) -> None:
        self._units = iter(units)
        self._front: deque[Unit] = deque()

    def again(self, *units: Unit) -> None:
        self._front.extendleft(reversed(units))

    def take(self) -> tuple[Unit] | None:
        """The next unit, in a tuple (a unit may be anything), or None when none is left."""
        if self._front:
            return (self._front.popleft(),)
        for unit in self._units:
            return (unit,)
        return None


class Runner(Protocol):
    """Runs ``work`` on every unit of a feed; ``close`` stops the work under way."""

    workers: int
    where: Where

    def run(self, work: Callable[[Unit], Output],
            feed: Feed[Unit]) -> Iterator[Done[Unit, Output]]: ...
    def alone(self) -> Runner: ...
    def close(self) -> None: ...


class HereRunner:
    """The units one after another in this process; a unit that raises ends the run, and
    Ctrl-C stops it inside a unit."""

    workers = 1
    where: Where = "here"

    def run(self, work: Callable[[Unit], Output],
            feed: Feed[Unit]) -> Iterator[Done[Unit, Output]]:
        while (taken := feed.take()) is not None:
            yield Done(taken[0], work(taken[0]))

    def alone(self) -> HereRunner:
        return self

    def close(self) -> None:
        pass


def _deaf_to_ctrl_c() -> None:
    # The terminal sends Ctrl-C to the whole process group; the command stops the run and
    # reports, and the workers just finish the unit they hold.
    signal.signal(signal.SIGINT, signal.SIG_IGN)


def _safe_start_method(start_method: str) -> str:
    # A fork copies only the thread that makes it: a lock that another thread held at that
    # moment (the allocator's, a queue's) stays held in the child, whose worker then hangs
    # before its first unit, and the run with it.
    if start_method == "fork" and threading.active_count() > 1:
        return "forkserver"
    return start_method


class ProcessRunner:
    """The units in ``jobs`` worker processes, ``in_flight`` each at most. A worker that dies
    breaks the whole pool: every unit it held fails with ``WorkerDied`` and the next units go
    to a new pool. ``start_method`` is multiprocessing's: "forkserver" for a process that may
    have threads of its own (a notebook's Dask client, the studio's server), which a fork
    would copy in whatever state they are; "fork" where it has none, and the workers then
    start with the package already imported. "fork" asked for while other threads run gets
    "forkserver" all the same."""

    where: Where = "processes"

    def __init__(self, jobs: int, start_method: str = "forkserver",
                 in_flight: int = IN_FLIGHT_PER_WORKER) -> None:
        self.workers = jobs
        self._in_flight = jobs * in_flight
        self._start_method = start_method
        self._pool: ProcessPoolExecutor | None = None

    def run(self, work: Callable[[Unit], Output],
            feed: Feed[Unit]) -> Iterator[Done[Unit, Output]]:
        pending: dict[Future[Output], Unit] = {}
        try:
            while True:
                while len(pending) < self._in_flight and (taken := feed.take()) is not None:
                    pending[self._submit(work, taken[0])] = taken[0]
                if not pending:
                    return
                done, _ = wait(pending, return_when=FIRST_COMPLETED)
                if any(isinstance(future.exception(), BrokenProcessPool) for future in done):
                    # Every unit still in the broken pool fails with it.
                    done = set(pending)
                    self.close()
                for future in done:
                    yield self._done(pending.pop(future), future)
        finally:
            for future in pending:
                future.cancel()

    def _submit(self, work: Callable[[Unit], Output], unit: Unit) -> Future[Output]:
        if self._pool is None:
            self._pool = ProcessPoolExecutor(
                self.workers, mp_context=multiprocessing.get_context(
                    _safe_start_method(self._start_method)),
                initializer=_deaf_to_ctrl_c)
        return self._pool.submit(work, unit)

    @staticmethod
    def _done(unit: Unit, future: Future[Output]) -> Done[Unit, Output]:
        error = future.exception() if future.done() and not future.cancelled() else WorkerDied()
        if isinstance(error, BrokenProcessPool):
            error = WorkerDied()
        return Done(unit, None if error else future.result(), error)

    def alone(self) -> ProcessRunner:
        """A pool of one process that takes one unit at a time, so that a unit that kills
        its worker is known to be the one."""
        return ProcessRunner(1, self._start_method, in_flight=1)

    def close(self) -> None:
        """Stops the pool; a run that stops early waits only for the units already running."""
        if self._pool is not None:
            self._pool.shutdown(cancel_futures=True)
            self._pool = None
