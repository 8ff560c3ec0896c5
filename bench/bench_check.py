"""Throughput of ``python -m orv check`` on generated levels, against the engine alone.

Run: .venv/bin/python bench/bench_check.py [--count N] [--zones Z] [--seed S] [--repeat R]

Generates N small levels (10,000 of 4 zones by default) into a temporary folder, then measures
in one run, best of R:

- engine only: every level built from its text beforehand, then played with next_frame and
  nothing else; and the same with the building from text counted, which the checker also does;
- the command itself, end to end as a user runs it, with ``--report`` writing JSON Lines:
  ``--jobs 1``, ``--jobs 2`` and ``--scheduler local --jobs 2`` (two worker processes). The
  rate is over the command's whole wall time (interpreter start, and for Dask the cluster's
  start, included); "run s" is the time the command itself reports for checking the levels;
  "cpu s" the processor time of the command and all its worker processes;
- the processor time per level of each part of checking a level, which does not depend on
  what else the machine is running.
"""

from __future__ import annotations

import argparse
import os
import platform
import re
import resource
import subprocess
import sys
import tempfile
import time
from collections.abc import Callable
from pathlib import Path

import orv_engine

from orv.checking.level import check_level_file
from orv.generating.levels import generate_levels
from orv.levels.files import level_from_json
from orv.playing.outcome import play_outcome

RUN_TIME = re.compile(r"checked [\d,]+ levels? in ([\d.]+) s")


def best_of(repeat: int, run: Callable[[], float]) -> float:
    return min(run() for _ in range(repeat))


def engine_only(texts: list[bytes], include_loading: bool) -> float:
    started = time.perf_counter()
    tops = [level_from_json(text) for text in texts]
    if not include_loading:
        started = time.perf_counter()
    for top in tops:
        sequencer = orv_engine.NarrativeSequencer(top)
        while not sequencer.is_finished:
            sequencer.next_frame()
    return time.perf_counter() - started


def cpu_per_level(texts: list[bytes], paths: list[str], repeat: int) -> list[tuple[str, float]]:
    """Processor microseconds per level of each part of checking one level, in this process."""
    def loading() -> None:
        for text in texts:
            level_from_json(text)

    def playing(play: Callable[[orv_engine.Environment], object]) -> float:
        tops = [level_from_json(text) for text in texts]
        started = time.process_time()
        for top in tops:
            play(top)
        return time.process_time() - started

    def next_frames(top: orv_engine.Environment) -> None:
        sequencer = orv_engine.NarrativeSequencer(top)
        while not sequencer.is_finished:
            sequencer.next_frame()

    def timed(run: Callable[[], object]) -> float:
        started = time.process_time()
        run()
        return time.process_time() - started

    parts = [
        ("loading (level_from_json)", best_of(repeat, lambda: timed(loading))),
        ("next_frame to the end", best_of(repeat, lambda: playing(next_frames))),
        ("play_outcome (next_frame included)", best_of(repeat, lambda: playing(play_outcome))),
        ("check_level_file (all of it)",
         best_of(repeat, lambda: timed(lambda: [check_level_file(path) for path in paths]))),
    ]
    return [(label, seconds / len(texts) * 1e6) for label, seconds in parts]


def command(folder: Path, report: Path, *options: str) -> tuple[float, float, float]:
    """Wall seconds of one ``orv check`` run, the run time that it reports itself, and the
    processor seconds of all its processes."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    started = time.perf_counter()
    done = subprocess.run([sys.executable, "-m", "orv", "check", str(folder), "--report",
                           str(report), *options], capture_output=True, text=True, check=False)
    wall = time.perf_counter() - started
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
    found = RUN_TIME.search(done.stdout)
    if done.returncode not in (0, 1, 3) or found is None:
        raise SystemExit(f"orv check {' '.join(options)} failed:\n{done.stderr}")
    return wall, float(found.group(1)), cpu


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--count", type=int, default=10_000)
    parser.add_argument("--zones", type=int, default=4)
    parser.add_argument("--seed", type=int, default=2026)
    parser.add_argument("--repeat", type=int, default=3)
    options = parser.parse_args()
    count = options.count
    print(f"{platform.processor() or platform.machine()}, {os.cpu_count()} cores, "
          f"Python {platform.python_version()}; {count:,} levels of {options.zones} zones, "
          f"seed {options.seed}, best of {options.repeat}")
    with tempfile.TemporaryDirectory() as scratch:
        folder = Path(scratch, "levels")
        generate_levels(count, options.seed, folder, options.zones)
        paths = [str(path) for path in sorted(folder.iterdir())]
        texts = [Path(path).read_bytes() for path in paths]
        parts = cpu_per_level(texts, paths, options.repeat)
        rows: list[tuple[str, float, tuple[float, float] | None]] = [
            ("engine only (next_frame)", best_of(options.repeat,
                                                 lambda: engine_only(texts, False)), None),
            ("engine only, with loading", best_of(options.repeat,
                                                  lambda: engine_only(texts, True)), None),
        ]
        report = Path(scratch, "report.jsonl")
        for label, flags in (("check --jobs 1", ("--jobs", "1")),
                             ("check --jobs 2", ("--jobs", "2")),
                             ("check --scheduler local --jobs 2",
                              ("--scheduler", "local", "--jobs", "2"))):
            runs = [command(folder, report, *flags) for _ in range(options.repeat)]
            wall, run, cpu = min(runs)
            rows.append((label, wall, (run, cpu)))
    print(f"{'':<34}{'s':>8}{'levels/s':>12}{'run s':>8}{'run levels/s':>14}{'cpu s':>8}")
    for label, seconds, measured in rows:
        run_columns = ""
        if measured is not None:
            run, cpu = measured
            run_columns = f"{run:>8.2f}{count / run:>14,.0f}{cpu:>8.2f}"
        print(f"{label:<34}{seconds:>8.3f}{count / seconds:>12,.0f}{run_columns}")
    print(f"\n{'processor time per level, this process':<40}{'us':>8}")
    for label, micros in parts:
        print(f"{label:<40}{micros:>8.1f}")


if __name__ == "__main__":
    main()
