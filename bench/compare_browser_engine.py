"""The browser engine against the Python module on many random levels: every frame of each
level, byte for byte, from both (the test suite does the same on 1,200).

Run: .venv/bin/python bench/compare_browser_engine.py [--levels N] [--first S]
     [--without KIND ...]

The levels are tests/orv/odd_levels.py's (every kind, nesting, collapses, gates, the
Chronomancer, NaN, -0.0, 1e308, subnormals, ...); ``--without`` leaves agents of the named
kinds out. Prints each level whose frames differ, then the counts and the time each build took.
Exit status 1 when any differs.
"""

from __future__ import annotations

import argparse
import sys
import time
from pathlib import Path

TESTS = Path(__file__).resolve().parent.parent / "tests" / "orv"
sys.path.insert(0, str(TESTS))

from node_engine import NodeEngine  # noqa: E402
from odd_levels import odd_level  # noqa: E402
from orv_test_support import frame_texts  # noqa: E402

from orv.levels.files import level_from_json  # noqa: E402
from orv.web import browser_engine_path  # noqa: E402


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--levels", type=int, default=100_000)
    parser.add_argument("--first", type=int, default=0, help="the seed of the first level")
    parser.add_argument("--without", nargs="*", default=[], metavar="KIND")
    options = parser.parse_args()
    differing, frames, native_seconds, browser_seconds = [], 0, 0.0, 0.0
    started = time.perf_counter()
    with NodeEngine(browser_engine_path()) as engine:
        for seed in range(options.first, options.first + options.levels):
            text = odd_level(seed, tuple(options.without))
            begin = time.perf_counter()
            expected = frame_texts(level_from_json(text))
            middle = time.perf_counter()
            played = engine.call("playLevel", text)["frames"]
            native_seconds += middle - begin
            browser_seconds += time.perf_counter() - middle
            frames += len(expected)
            if played != expected:
                differing.append(seed)
                print(f"level {seed}: frames differ", flush=True)
            if (seed - options.first + 1) % 10_000 == 0:
                print(f"{seed - options.first + 1:,} levels compared, {len(differing)} differ "
                      f"({time.perf_counter() - started:,.0f} s)", file=sys.stderr, flush=True)
    print(f"{options.levels:,} levels, {frames:,} frames: {len(differing)} levels differ; "
          f"native {native_seconds:.1f} s, browser (with the pipe to Node) "
          f"{browser_seconds:.1f} s")
    return 1 if differing else 0


if __name__ == "__main__":
    raise SystemExit(main())
