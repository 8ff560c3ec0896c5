"""What the engine's own log, log10 and pow cost.

Run: .venv/bin/python bench/bench_math.py   (needs a C++17 compiler as `c++`)

1. bench_math.cpp, compiled here with the module's flags (-O2 -ffp-contract=off) next to the
   engine's src/math: nanoseconds per call of orv::math::log, log10 and pow against the C
   library's, best of 7 passes over 2^20 inputs.
2. Frames of a level full of Power Sorcerers, Extractors and Architects: 200 zones under the
   top zone, each with three charges and one of those agents, played to the end; the median
   time per frame of 5 runs.
3. Quiet runs, where a spell is a large share of the work: the native puzzle search
   (orv._native.PuzzleSearch) over every placement of a hand of two Power Sorcerers, two
   Extractors, two Architects and a Plus Magician in six zones of two charges each;
   placements per processor second, best of 3.
Run it against another build (say the previous one) with PYTHONPATH pointing at that build's
orv_engine and orv package to compare the spell costs; measurements 2 and 3 need no compiler.
"""

import pathlib
import random
import statistics
import subprocess
import sys
import tempfile
import time
from typing import Any

import orv_engine as orv

ROOT = pathlib.Path(__file__).resolve().parent.parent
SPELLS = ("add_power_sorcerer", "add_root_magician", "add_log_magician")


def run_call_benchmark() -> None:
    sources = sorted(str(p) for p in (ROOT / "src" / "math").glob("*.cpp"))
    with tempfile.TemporaryDirectory() as folder:
        binary = pathlib.Path(folder) / "bench_math"
        subprocess.run(["c++", "-std=c++17", "-O2", "-ffp-contract=off",
                        "-I", str(ROOT / "include"),
                        str(ROOT / "bench" / "bench_math.cpp"), *sources, "-o", str(binary)],
                       check=True)
        subprocess.run([str(binary)], check=True)


def spell_level(seed: int) -> orv.Environment:
    rng = random.Random(seed)
    top = orv.Environment("top")
    for index in range(200):
        zone = orv.Environment(f"z{index}")
        for charge in range(3):
            zone.add_charge(rng.choice([rng.randint(1, 1000), rng.randint(2, 9) / 2]),
                            orv.POSITIVE, f"c{index}_{charge}")
        getattr(zone, SPELLS[index % 3])(f"a{index}")
        top.add_sub_environment(zone)
    return top


def frame_microseconds(seed: int) -> tuple[float, int]:
    runs = []
    for _ in range(5):
        sequencer = orv.NarrativeSequencer(spell_level(seed))
        frames, start = 0, time.perf_counter()
        while not sequencer.is_finished:
            sequencer.next_frame()
            frames += 1
        runs.append((time.perf_counter() - start) / frames * 1e6)
    return statistics.median(runs), frames


SEARCH_ZONES = [[3, 4], [2, 8], [27, 3], [9, 0.5], [100, 7], [16, 2]]
SEARCH_HAND = [("Power Sorcerer", "w1"), ("Power Sorcerer", "w2"), ("The Extractor", "r1"),
               ("The Extractor", "r2"), ("The Architect", "l1"), ("The Architect", "l2"),
               ("Plus Magician", "p1")]


def spell_search() -> Any:
    """The native search of SEARCH_HAND over SEARCH_ZONES, up to 6 agents a zone."""
    from orv import _native

    top = orv.Environment("top")
    top.add_equals_gate("goal", 12.0)
    for index, charges in enumerate(SEARCH_ZONES):
        zone = orv.Environment(f"s{index}")
        for number, magnitude in enumerate(charges):
            zone.add_charge(float(magnitude), orv.POSITIVE, f"c{index}_{number}")
        top.add_sub_environment(zone)
    return _native.PuzzleSearch(top.to_json(), SEARCH_HAND, list(range(1, 7)), False)


def search_placements_per_second() -> tuple[float, int]:
    search = spell_search()
    best, tried = 0.0, 0
    for _ in range(3):
        start, tried = time.process_time(), 0
        for size in range(len(SEARCH_HAND) + 1):
            tried += search.search(size, 0, search.placement_count(size), 0)[0]
        best = max(best, tried / (time.process_time() - start))
    return best, tried


def main() -> int:
    if "--no-compiler" not in sys.argv:
        run_call_benchmark()
    per_frame, frames = frame_microseconds(2026)
    print(f"\nspell level: {frames} frames, {per_frame:.1f} us per frame (median of 5 runs)")
    rate, tried = search_placements_per_second()
    print(f"quiet runs: {tried:,} placements, {rate:,.0f} placements per processor second")
    return 0


if __name__ == "__main__":
    sys.exit(main())
