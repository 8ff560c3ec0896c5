"""The runner on a Dask distributed cluster.

Dask is an optional extra: this module only needs it once a client is made
(``orv.running.dask_connection``). A unit goes out as a task of its own, which the scheduler
runs again by itself when its worker is lost (once, and within its allowed-failures
setting); a task that still fails hands its unit back failed, as every runner does. While
units are out, the scheduler is watched: lost, or silent for the connect timeout, the run
raises ``SchedulerLost``.
"""

from __future__ import annotations

import queue
import time
from collections.abc import Callable, Iterator
from typing import TYPE_CHECKING, Any

from orv.running.dask_connection import CONNECT_TIMEOUT_SECONDS, scheduler_answers
from orv.running.runners import IN_FLIGHT_PER_WORKER, Done, Feed, Output, RunFailure, Unit, Where

if TYPE_CHECKING:
    from distributed import Client

LOST = "the connection to the Dask scheduler was lost"
# How often the run looks at the client's state while it waits for a unit.
POLL_SECONDS = 0.5


class SchedulerLost(Exception):
    """The scheduler went away, or stopped answering, while units were out."""

    def __init__(self) -> None:
        super().__init__(LOST)


class TaskFailed(RunFailure):
    """A unit's task did not finish, and no exception of its own says why."""


class DaskRunner:
    """The units as tasks on the client's cluster; ``timeout`` bounds every wait for the
    scheduler."""

    where: Where = "dask"

    def __init__(self, client: Client, timeout: float = CONNECT_TIMEOUT_SECONDS) -> None:
        self._client = client
        self._timeout = timeout
        self.workers = max(1, len(client.scheduler_info()["workers"]))

    def run(self, work: Callable[[Unit], Output],
            feed: Feed[Unit]) -> Iterator[Done[Unit, Output]]:
        # Futures are put here as they finish, from Dask's callback thread.
        finished: queue.SimpleQueue[Any] = queue.SimpleQueue()
        running: dict[Any, tuple[Any, Unit]] = {}
        try:
            while True:
                while len(running) < self.workers * IN_FLIGHT_PER_WORKER and (
                        taken := feed.take()) is not None:
                    self._watch()
                    future = self._client.submit(work, taken[0], pure=False, retries=1)
                    running[future.key] = (future, taken[0])
                    future.add_done_callback(finished.put)  # type: ignore[no-untyped-call]
                if not running:
                    return
                future = self._next(finished)
                if future.key in running:
                    _, unit = running.pop(future.key)
                    yield self._done(unit, future)
                    future.release()
        finally:
            for future, _ in running.values():
                future.release()

    def _next(self, finished: queue.SimpleQueue[Any]) -> Any:
        """The next future to finish, while the scheduler is there and answers."""
        quiet_since = time.monotonic()
        while True:
            try:
                return finished.get(timeout=min(POLL_SECONDS, self._timeout / 2))
            except queue.Empty:
                self._watch()
                if time.monotonic() - quiet_since >= self._timeout / 2:
                    if not scheduler_answers(self._client, self._timeout / 2):
                        raise SchedulerLost() from None
                    quiet_since = time.monotonic()

    def _watch(self) -> None:
        if self._client.status != "running":
            raise SchedulerLost()

    def _done(self, unit: Unit, future: Any) -> Done[Unit, Output]:
        if future.status == "finished":
            try:
                return Done(unit, future.result(timeout=self._timeout))
            except Exception as error:  # noqa: BLE001 - a result that cannot be fetched
                self._watch()  # lost on the way, because the scheduler went away
                return Done(unit, error=TaskFailed(f"its result could not be fetched: {error}"))
        self._watch()  # cancelled because the scheduler went away
        return Done(unit, error=self._failure(future))

    def _failure(self, future: Any) -> BaseException:
        """Why a task did not finish: its exception, or its state."""
        if future.status != "error":
            return TaskFailed(f"its task was {future.status}")
        try:
            error: BaseException = future.exception(timeout=self._timeout)
        except Exception as failure:  # noqa: BLE001 - the reason itself could not be fetched
            return TaskFailed(f"its task failed, and why could not be fetched ({failure})")
        return error

    def alone(self) -> DaskRunner:
        # The scheduler keeps a task's failure to itself already.
        return self

    def close(self) -> None:
        pass
