"""The one place that turns --jobs and --scheduler into a runner, for every command."""

from __future__ import annotations

from collections.abc import Iterator
from contextlib import contextmanager

from orv.running.dask_connection import CONNECT_TIMEOUT_SECONDS, dask_client
from orv.running.on_dask import DaskRunner
from orv.running.runners import HereRunner, ProcessRunner, Runner


@contextmanager
def runner_for(jobs: int, scheduler: str | None = None, *, name: str,
               timeout: float = CONNECT_TIMEOUT_SECONDS, dask_logs: bool = False,
               start_method: str = "forkserver") -> Iterator[Runner]:
    """The runner that the options ask for: on the Dask cluster at ``scheduler`` ("local"
    for one of ``jobs`` workers here), else in ``jobs`` worker processes started by
    ``start_method``, else in this process. Whatever it started is closed on leaving; the
    notes for the user (a cluster starting, no workers yet) name the command ``name``.
    DaskUnavailable when the scheduler cannot be reached."""
    if scheduler is not None:
        with dask_client(scheduler, jobs, name, timeout, dask_logs) as client:
            yield DaskRunner(client, timeout)
        return
    runner: Runner = ProcessRunner(jobs, start_method) if jobs > 1 else HereRunner()
    try:
        yield runner
    finally:
        runner.close()
