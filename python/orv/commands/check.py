"""``python -m orv check``: play many levels to their end and report each one's outcome."""

from __future__ import annotations

import argparse
import os
import sys
import time
from collections.abc import Iterator, Sequence
from contextlib import ExitStack, contextmanager
from pathlib import Path

from orv.checking.level import LevelCheck, failed
from orv.checking.paths import FoundPath, find_levels
from orv.checking.report import (
    GOOD_OUTCOMES,
    InOrder,
    ReportError,
    ReportFile,
    Tally,
    level_json,
    level_lines,
    report_format_of,
)
from orv.checking.runs import CHECK_START_METHOD, Result, check_levels
from orv.commands.options import add_dask_arguments, positive_int
from orv.commands.progress import Progress
from orv.exit_status import ExitStatus, StatusMeanings, precedence_note
from orv.running.choice import runner_for
from orv.running.dask_connection import DaskUnavailable
from orv.terminal import say, terminal_text


DESCRIPTION = ("Play every level to its end and report its outcome: solved (every gate "
               "opened), ended (the level has no gates), stuck (a gate stayed closed), out of "
               "steps (the 1000-step budget ran out) or error (it could not be loaded, or "
               "raised). Levels that are not solved or ended get a line each; a summary closes "
               "the run.")
EXIT_STATUSES: StatusMeanings = (
    (ExitStatus.OK, "when every level is solved or ended"),
    (ExitStatus.STUCK, "when any is stuck"),
    (ExitStatus.OUT_OF_STEPS, "when any ran out of steps"),
    (ExitStatus.CANNOT_RUN, "when any could not be loaded or raised (or nothing could be "
                            "checked at all)"))
EXIT_NOTE = precedence_note()


def add_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("paths", nargs="+", metavar="PATH",
                        help="a level file, a directory (every *.json file below it), a "
                             "glob pattern such as 'levels/**/*.json', or the name of a "
                             "bundled sample")
    parser.add_argument("--report", type=Path, metavar="FILE",
                        help="write one row per level, in input order: JSON Lines for "
                             "FILE.jsonl, CSV for FILE.csv")
    parser.add_argument("--json", action="store_true",
                        help="print one JSON object per level on standard output, in input "
                             "order; the summary goes to standard error")
    parser.add_argument("--all", action="store_true",
                        help="print a line for every level, solved and ended ones too")
    parser.add_argument("-j", "--jobs", type=positive_int, default=os.cpu_count() or 1,
                        metavar="N", help="worker processes (default: the number of cores, "
                                          "%(default)s here); 1 checks in this process")
    add_dask_arguments(parser, "check")


def run(arguments: argparse.Namespace, prog: str = "python -m orv") -> int:
    name = f"{prog} check"
    found = find_levels(arguments.paths)
    if not found:
        # Checking nothing is not a success: the paths were most likely mistyped.
        return _cannot_run(name, f"no level files (*.json) in {' '.join(arguments.paths)}")
    with ExitStack() as stack:
        try:
            report_format = report_format_of(arguments.report) if arguments.report else None
            results = stack.enter_context(_results(arguments, found, name))
            # Opened only once the run can start, so that a failed start leaves no file.
            report = ReportFile(arguments.report, report_format) if report_format else None
        except (DaskUnavailable, ValueError, ReportError) as error:
            return _cannot_run(name, str(error))
        except OSError as error:
            return _cannot_run(name, f"cannot write the report: {error.strerror or error}")
        try:
            return _collect(results, [entry.path for entry in found], arguments, report)
        except KeyboardInterrupt:
            _close(report, name)
            say(f"{name}: interrupted; the report holds the levels in input order up to "
                 "the first one not yet checked")
            return ExitStatus.INTERRUPTED
        except ReportError as error:
            return _cannot_run(name, f"{error}; the report is incomplete")


def _collect(results: Iterator[Result], paths: Sequence[str], arguments: argparse.Namespace,
             report: ReportFile | None) -> int:
    tally = Tally()
    progress = Progress(len(paths), "levels")
    started = time.perf_counter()

    def emit(check: LevelCheck) -> None:
        tally.add(check)
        if report is not None:
            report.write(check)
        if arguments.json:
            progress.write(level_json(check), sys.stdout)
        elif arguments.all or check.outcome not in GOOD_OUTCOMES:
            for line in level_lines(check):
                progress.write(terminal_text(line), sys.stdout)

    in_order = InOrder(emit)
    try:
        for index, check in results:
            in_order.add(index, check)
            progress.advance()
    finally:
        progress.close()
    if report is not None:
        report.close()
    seconds = time.perf_counter() - started
    summary_out = sys.stderr if arguments.json else sys.stdout
    for line in tally.summary_lines():
        say(line, summary_out)
    print(f"checked {len(paths):,} level{'' if len(paths) == 1 else 's'} in {seconds:.2f} s "
          f"({len(paths) / max(seconds, 1e-9):,.0f} levels/s)", file=summary_out)
    return tally.exit_status()


@contextmanager
def _results(arguments: argparse.Namespace, found: Sequence[FoundPath],
             name: str) -> Iterator[Iterator[Result]]:
    """The runner that the options ask for, with the paths that cannot be checked as error
    results of their own; the runner and its cluster are closed on leaving."""
    readable = [index for index, entry in enumerate(found) if not entry.problem]
    paths = [found[index].path for index in readable]
    # Never more worker processes than levels; a cluster's size is the user's to choose.
    jobs = arguments.jobs if arguments.scheduler else min(arguments.jobs, len(paths))
    with ExitStack() as stack:
        runner = stack.enter_context(runner_for(
            jobs, arguments.scheduler, name=name, timeout=arguments.connect_timeout,
            dask_logs=arguments.verbose, start_method=CHECK_START_METHOD))
        results = check_levels(runner, paths)
        stack.callback(results.close)
        yield _with_problems(found, readable, results)


def _with_problems(found: Sequence[FoundPath], readable: list[int],
                   runner: Iterator[Result]) -> Iterator[Result]:
    for index, entry in enumerate(found):
        if entry.problem:
            yield index, failed(entry.path, entry.problem)
    for position, check in runner:
        yield readable[position], check


def _close(report: ReportFile | None, name: str) -> None:
    try:
        if report is not None:
            report.close()
    except ReportError as error:
        say(f"{name}: {error}")


def _cannot_run(name: str, message: str) -> int:
    say(f"{name}: {message}")
    return ExitStatus.CANNOT_RUN
