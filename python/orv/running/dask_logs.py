"""Dask's own log lines, held back while a command works on Dask.

Dask logs to standard error through its ``distributed`` loggers (and tornado's and asyncio's,
on its event loop): every reconnection attempt, a connection closed mid-send with its
traceback, a worker that left. A command says what matters of that in its own words (the
levels that a lost scheduler left unchecked, a search that could not finish), so while its
client and cluster live those lines go nowhere. Someone debugging a cluster sees them with
``--verbose``, or with ``ORV_DASK_LOGS=1`` in the environment (for ``orv.solve`` in code too).
"""

from __future__ import annotations

import logging
import os
from collections.abc import Iterator
from contextlib import contextmanager

SHOW_VARIABLE = "ORV_DASK_LOGS"
# The trees of loggers that Dask's client, scheduler and workers write to.
DASK_LOGGERS = ("distributed", "tornado", "bokeh", "asyncio")
# The level that a local cluster's worker processes log from when their lines are held: none.
NOTHING = logging.CRITICAL + 1


def dask_logs_shown(shown: bool = False) -> bool:
    """Whether Dask's lines reach standard error: asked for, or set in the environment."""
    return shown or os.environ.get(SHOW_VARIABLE, "") not in ("", "0")


@contextmanager
def dask_logs_held(shown: bool = False) -> Iterator[None]:
    """Within the block, every record of Dask's loggers goes nowhere, unless ``shown``.

    Each logger of those trees gets a handler that drops records instead of its own, and
    stops passing them up; a logger made later passes its records up to one of those.
    Enter it once Dask is imported, since importing it sets up its own handlers."""
    if dask_logs_shown(shown):
        yield
        return
    held = [(logger, logger.handlers, logger.propagate) for logger in _dask_loggers()]
    dropped: list[logging.Handler] = [logging.NullHandler()]
    for logger, _, _ in held:
        logger.handlers, logger.propagate = list(dropped), False
    try:
        yield
    finally:
        for logger, handlers, propagate in held:
            logger.handlers, logger.propagate = handlers, propagate


def _dask_loggers() -> Iterator[logging.Logger]:
    for root in DASK_LOGGERS:
        yield logging.getLogger(root)
    for name, logger in list(logging.root.manager.loggerDict.items()):
        if isinstance(logger, logging.Logger) and name.startswith(
                tuple(f"{root}." for root in DASK_LOGGERS)):
            yield logger
