"""What the commands' parsers share: argument types and the LEVEL argument."""

from __future__ import annotations

import argparse

from orv.levels.samples import DEFAULT_SAMPLE
from orv.running.dask_connection import CONNECT_TIMEOUT_SECONDS

LEVEL_HELP = f"a level file, or the name of a bundled sample (default: {DEFAULT_SAMPLE})"


def positive_int(text: str) -> int:
    """An argparse type: a whole number of at least 1."""
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError(f"must be at least 1, not {value}")
    return value


def positive_seconds(text: str) -> float:
    """An argparse type: a finite number of seconds above 0."""
    value = float(text)
    if not 0 < value < float("inf"):
        raise argparse.ArgumentTypeError(f"must be a number of seconds above 0, not {text}")
    return value


def add_dask_arguments(parser: argparse.ArgumentParser, verb: str) -> None:
    """--scheduler, --connect-timeout and --verbose, for a command that can ``verb`` on Dask."""
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help=f"{verb} on a Dask cluster: the scheduler's address such as "
                             "tcp://scheduler-host:8786, or 'local' for a cluster of --jobs "
                             "workers on this machine (needs pip install 'orv_engine[dask]')")
    parser.add_argument("--connect-timeout", type=positive_seconds, metavar="SECONDS",
                        default=CONNECT_TIMEOUT_SECONDS,
                        help="how long to wait for the Dask scheduler to answer, when the run "
                             "starts and when its connection is lost mid-run (default: "
                             "%(default)s)")
    parser.add_argument("--verbose", action="store_true",
                        help="show Dask's own log lines (connections, workers, retries) on "
                             "standard error, to debug a cluster; without it they are held "
                             "back while the run uses Dask (ORV_DASK_LOGS=1 in the "
                             "environment shows them too)")


def add_level_argument(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("level", nargs="?", default=DEFAULT_SAMPLE, help=LEVEL_HELP)
