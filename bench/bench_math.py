"""What the engine's own log, log10 and pow cost.

Run: .venv/bin/python bench/bench_math.py   (needs a C++17 compiler as `c++`)

1. bench_math.cpp, compiled here with the module's flags (-O2 -ffp-contract=off) next to the
   engine's src/math: nanoseconds per call of orv::math::log, log10 and pow against the C
   library's, best of 7 passes over 2^20 inputs.
2. Frames of a level full of Power Sorcerers, Extractors and Architects: 200 zones under the
   top zone, each with three charges and one of those agents, played to the end; the median
   time per frame of 5 runs.
"""

import pathlib
import random
import statistics
import subprocess
import sys
import tempfile
import time

import orv_engine as orv

ROOT = pathlib.Path(__file__).resolve().parent.parent
SPELLS = ("add_power_sorcerer", "add_root_magician", "add_log_magician")


def run_call_benchmark() -> None:
    sources = sorted(str(p) for p in (ROOT / "src" / "math").glob("*.cpp"))
    with tempfile.TemporaryDirectory() as folder:
        binary = pathlib.Path(folder) / "bench_math"
        subprocess.run(["c++", "-std=c++17", "-O2", "-ffp-contract=off", "-I", str(ROOT / "include"),
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


def main() -> int:
    run_call_benchmark()
    per_frame, frames = frame_microseconds(2026)
    print(f"\nspell level: {frames} frames, {per_frame:.1f} us per frame (median of 5 runs)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
