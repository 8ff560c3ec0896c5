"""Checking many levels on a Dask distributed cluster.

Dask is an optional extra: this module imports it only when a run asks for a scheduler. The
workers may be other machines that cannot see this one's files, so each level travels as its
text; the workers need the ``orv_engine`` package installed, nothing else.
"""

from __future__ import annotations

import pickle
import sys
from collections.abc import Iterator, Sequence
from contextlib import contextmanager
from typing import TYPE_CHECKING, Any

from orv.checking.level import check_packed, failed
from orv.checking.local import IN_FLIGHT_PER_WORKER, Result, batch_size

if TYPE_CHECKING:
    from distributed import Client

LOCAL = "local"
CONNECT_TIMEOUT_SECONDS = 10
# A task stands for a whole batch, so it may be larger than for local processes: the
# scheduler's cost per task is about a millisecond, several times a small level's.
LARGEST_BATCH = 500


class DaskUnavailable(Exception):
    """Dask is not installed, or the scheduler cannot be reached."""


@contextmanager
def dask_client(address: str, workers: int, name: str = "orv check") -> Iterator[Client]:
    """A client of the scheduler at ``address``, or of a new local cluster with ``workers``
    single-threaded worker processes for ``local``; everything is closed on leaving. Notes
    for the user go to standard error, behind ``name``."""
    try:
        from distributed import Client, LocalCluster
    except ImportError:
        raise DaskUnavailable("--scheduler needs Dask, which is not installed; install it "
                              "with: pip install 'orv_engine[dask]'") from None
    if address != LOCAL:
        try:
            client = Client(  # type: ignore[no-untyped-call]
                address, timeout=CONNECT_TIMEOUT_SECONDS)
        except (OSError, TimeoutError) as error:
            raise DaskUnavailable(f"cannot reach the Dask scheduler at {address}: "
                                  f"{error}") from None
        with client:
            if not client.scheduler_info()["workers"]:
                print(f"{name}: the scheduler at {address} has no workers yet; "
                      "waiting for them (start some with: dask worker ADDRESS)",
                      file=sys.stderr)
            yield client
        return
    print(f"{name}: starting a local Dask cluster of {workers} worker "
          f"process{'es' if workers > 1 else ''}", file=sys.stderr)
    with LocalCluster(  # type: ignore[no-untyped-call]
            n_workers=workers, threads_per_worker=1, processes=True, host="127.0.0.1",
            dashboard_address=None) as cluster:
        with Client(cluster) as client:  # type: ignore[no-untyped-call]
            yield client


def worker_count(client: Client) -> int:
    return max(1, len(client.scheduler_info()["workers"]))


def check_on_dask(client: Client, paths: Sequence[str],
                  size: int | None = None) -> Iterator[Result]:
    """Check the levels on the client's cluster, a batch of level texts per task.

    A worker lost mid-run has its tasks run again by the scheduler (up to its
    allowed-failures setting); a batch that still fails, or raises, is reported level by level
    as "error" with the reason, and the rest of the run goes on.
    """
    from distributed import as_completed

    workers = worker_count(client)
    size = size or batch_size(len(paths), workers, LARGEST_BATCH)
    starts = iter(range(0, len(paths), size))
    running = as_completed(  # type: ignore[no-untyped-call]
        with_results=True, raise_errors=False)
    batches: dict[Any, list[int]] = {}
    for _ in range(workers * IN_FLIGHT_PER_WORKER):
        yield from _submit_next(client, paths, starts, size, running, batches)
    for future, value in running:
        batch = batches.pop(future.key)
        if future.status == "finished":
            yield from zip(batch, pickle.loads(value))
        else:
            reason = f"the Dask cluster could not check it: {_failure(future)}"
            yield from ((index, failed(paths[index], reason)) for index in batch)
        future.release()
        yield from _submit_next(client, paths, starts, size, running, batches)


def _failure(future: Any) -> str:
    """Why a batch's task did not finish: its exception, or its state (a task is cancelled
    when the client loses its scheduler)."""
    if future.status != "error":
        return f"its task was {future.status}"
    error = future.exception()
    return f"{type(error).__name__}: {error}"


def _submit_next(client: Client, paths: Sequence[str], starts: Iterator[int], size: int,
                 running: Any, batches: dict[Any, list[int]]) -> Iterator[Result]:
    """Read the next batch and submit it; files that cannot be read are results at once."""
    for start in starts:
        indexes, texts = [], []
        for index in range(start, min(start + size, len(paths))):
            try:
                with open(paths[index], "rb") as file:
                    texts.append((paths[index], file.read()))
            except OSError as error:
                yield index, failed(paths[index], "cannot read the file: "
                                    f"{error.strerror or error}")
                continue
            indexes.append(index)
        if not texts:
            continue
        try:
            future = client.submit(check_packed, pickle.dumps(texts, pickle.HIGHEST_PROTOCOL),
                                   pure=False, retries=1)
        except Exception as error:  # noqa: BLE001 - the client has lost its scheduler
            # Nothing more can be sent: every level not yet checked gets this as its result.
            reason = f"not checked: the connection to the Dask scheduler was lost ({error})"
            left = [*indexes, *(index for rest in starts
                                for index in range(rest, min(rest + size, len(paths))))]
            yield from ((index, failed(paths[index], reason)) for index in left)
            return
        batches[future.key] = indexes
        running.add(future)
        return
