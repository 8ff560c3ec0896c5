"""The browser engine against the Python module on many random levels: every frame of each
level, byte for byte, from both (the test suite does the same on 1,200). Node sends back a
SHA-256 of each level's frames, in batches, rather than the frames themselves.

Run: .venv/bin/python bench/compare_browser_engine.py [--levels N] [--first S]
     [--without KIND ...]

The levels are tests/orv/odd_levels.py's (every kind, nesting, collapses, gates, the
Chronomancer, NaN, -0.0, 1e308, subnormals, ...); ``--without`` leaves agents of the named
kinds out. Prints each level whose frames differ, then the counts and the time each build took.
Exit status 1 when any differs.
"""

from __future__ import annotations

import argparse
import hashlib
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

# Levels sent to Node at once.
BATCH = 200


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--levels", type=int, default=100_000)
    parser.add_argument("--first", type=int, default=0, help="the seed of the first level")
    parser.add_argument("--without", nargs="*", default=[], metavar="KIND")
    options = parser.parse_args()
    differing, frames, native_seconds, browser_seconds = [], 0, 0.0, 0.0
    started = time.perf_counter()
    last = options.first + options.levels
    with NodeEngine(browser_engine_path()) as engine:
        for batch in range(options.first, last, BATCH):
            seeds = range(batch, min(batch + BATCH, last))
            texts = [odd_level(seed, tuple(options.without)) for seed in seeds]
            begin = time.perf_counter()
            expected = []
            for text in texts:
                played = frame_texts(level_from_json(text))
                frames += len(played)
                expected.append(hashlib.sha256("".join(f"{frame}\n" for frame in played)
                                               .encode("utf-8")).hexdigest())
            middle = time.perf_counter()
            digests = engine.call("frameDigests", texts)
            native_seconds += middle - begin
            browser_seconds += time.perf_counter() - middle
            for seed, mine, theirs in zip(seeds, expected, digests):
                if mine != theirs:
                    differing.append(seed)
                    print(f"level {seed}: frames differ", flush=True)
            done = seeds[-1] - options.first + 1
            if done % 10_000 == 0:
                print(f"{done:,} levels compared, {len(differing)} differ "
                      f"({time.perf_counter() - started:,.0f} s)", file=sys.stderr, flush=True)
    print(f"{options.levels:,} levels, {frames:,} frames: {len(differing)} levels differ; "
          f"native {native_seconds:.1f} s, browser (with the pipe to Node) "
          f"{browser_seconds:.1f} s")
    return 1 if differing else 0


if __name__ == "__main__":
    raise SystemExit(main())
