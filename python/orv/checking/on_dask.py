"""Checking many levels on a Dask distributed cluster.

Dask is an optional extra: this module imports it only when a run asks for a scheduler. The
workers may be other machines that cannot see this one's files, so each level travels as its
text; the workers need the ``orv_engine`` package installed, nothing else. Connecting to the
scheduler is ``orv.checking.dask_connection``'s work.
"""

from __future__ import annotations

import pickle
import queue
import time
from collections import deque
from collections.abc import Generator, Iterator, Sequence
from typing import TYPE_CHECKING, Any

from orv.checking.dask_connection import (
    CONNECT_TIMEOUT_SECONDS,
    DaskUnavailable,
    dask_client,
    scheduler_answers,
)
from orv.checking.level import LevelCheck, check_packed, describe, failed, read_failure
from orv.checking.local import IN_FLIGHT_PER_WORKER, Result, Results, batch_size
from orv.levels.files import LevelError
from orv.levels.reading import read_level_file

if TYPE_CHECKING:
    from distributed import Client

__all__ = ["CONNECT_TIMEOUT_SECONDS", "DaskUnavailable", "check_on_dask", "dask_client"]

# A task stands for a whole batch, so it may be larger than for local processes: the
# scheduler's cost per task is about a millisecond, several times a small level's.
LARGEST_BATCH = 500
LOST = "not checked: the connection to the Dask scheduler was lost"


def worker_count(client: Client) -> int:
    return max(1, len(client.scheduler_info()["workers"]))


def check_on_dask(client: Client, paths: Sequence[str], size: int | None = None,
                  timeout: float = CONNECT_TIMEOUT_SECONDS) -> Results:
    """Check the levels on the client's cluster, a batch of level texts per task.

    A worker lost mid-run has its tasks run again by the scheduler (up to its
    allowed-failures setting). A batch that still fails, or raises, is split and each of its
    levels is checked again alone, so that only a level that fails by itself is reported as
    "error" with the reason. When the scheduler is lost, or stops answering for ``timeout``
    seconds, every level not yet checked is reported as not checked and the run ends.
    """
    size = size or batch_size(len(paths), worker_count(client), LARGEST_BATCH)
    run = _DaskRun(client, paths, timeout)
    run.waiting.extend(list(range(start, min(start + size, len(paths))))
                       for start in range(0, len(paths), size))
    yield from run.results(worker_count(client) * IN_FLIGHT_PER_WORKER)


class _DaskRun:
    """The batches of one run: waiting to be sent, and running on the cluster."""

    def __init__(self, client: Client, paths: Sequence[str], timeout: float) -> None:
        self.client = client
        self.paths = paths
        self.timeout = timeout
        self.waiting: deque[list[int]] = deque()
        self.running: dict[Any, tuple[Any, list[int]]] = {}
        # Futures are put here as they finish, from Dask's callback thread.
        self.finished: queue.SimpleQueue[Any] = queue.SimpleQueue()

    def results(self, in_flight: int) -> Iterator[Result]:
        try:
            while self.waiting or self.running:
                while self.waiting and len(self.running) < in_flight:
                    if not self._connected():
                        yield from self._all_lost()
                        return
                    yield from self._submit(self.waiting.popleft())
                if self.running:
                    lost = yield from self._next_finished()
                    if lost:
                        yield from self._all_lost()
                        return
        finally:
            for future, _ in self.running.values():
                future.release()

    def _submit(self, batch: list[int]) -> Iterator[Result]:
        """Read the batch's files and send it; files that cannot be read are results at
        once."""
        indexes, texts = [], []
        for index in batch:
            try:
                texts.append((self.paths[index], read_level_file(self.paths[index])))
            except (OSError, LevelError) as error:
                yield index, failed(self.paths[index], read_failure(error))
                continue
            indexes.append(index)
        if not texts:
            return
        future = self.client.submit(check_packed, pickle.dumps(texts, pickle.HIGHEST_PROTOCOL),
                                    pure=False, retries=1)
        self.running[future.key] = (future, indexes)
        future.add_done_callback(self.finished.put)  # type: ignore[no-untyped-call]

    def _next_finished(self) -> Generator[Result, None, bool]:
        """Wait for the next batch to finish and take its results; True when the scheduler
        is lost. Generator-based: ``yield from`` gives the results and returns the flag."""
        quiet_since = time.monotonic()
        while True:
            try:
                future = self.finished.get(timeout=min(0.5, self.timeout / 2))
                break
            except queue.Empty:
                if not self._connected():
                    return True
                if time.monotonic() - quiet_since >= self.timeout / 2:
                    if not scheduler_answers(self.client, self.timeout / 2):
                        return True
                    quiet_since = time.monotonic()
        if future.key not in self.running:
            return False
        _, batch = self.running.pop(future.key)
        checks = self._checks_of(future)
        if checks is None and not self._connected():
            # Cancelled, or its result lost on the way, because the scheduler went away.
            self.running[future.key] = (future, batch)
            return True
        if checks is not None:
            yield from zip(batch, checks)
        elif len(batch) > 1:
            self.waiting.extendleft([index] for index in reversed(batch))
        else:
            yield batch[0], failed(self.paths[batch[0]], "the Dask cluster could not check "
                                   f"it: {self._failure(future)}")
        future.release()
        return False

    def _checks_of(self, future: Any) -> list[LevelCheck] | None:
        """The results of a batch whose task finished; None for one that did not, or whose
        results cannot be fetched."""
        if future.status != "finished":
            return None
        try:
            checks: list[LevelCheck] = pickle.loads(future.result(timeout=self.timeout))
        except Exception:  # noqa: BLE001 - a result that cannot be fetched is a failure
            return None
        return checks

    def _failure(self, future: Any) -> str:
        """Why a batch's task did not finish: its exception, or its state."""
        if future.status != "error":
            return f"its task was {future.status}"
        try:
            return describe(future.exception(timeout=self.timeout))
        except Exception as error:  # noqa: BLE001 - the reason itself could not be fetched
            return f"its task failed, and why could not be fetched ({describe(error)})"

    def _connected(self) -> bool:
        return self.client.status == "running"

    def _all_lost(self) -> Iterator[Result]:
        """Every level not yet checked, reported as such."""
        for _, batch in self.running.values():
            yield from ((index, failed(self.paths[index], LOST)) for index in batch)
        for batch in self.waiting:
            yield from ((index, failed(self.paths[index], LOST)) for index in batch)
        self.waiting.clear()
