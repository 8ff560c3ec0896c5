"""A long run keeps memory flat: 100,000 next_frame calls over levels rebuilt in a loop.

Run: .venv/bin/python bench/bench_memory.py [calls]
Prints the resident set size every tenth of the run and the growth from the first sample
(taken after warm-up) to the last.
"""

import os
import sys

import orv_engine as orv

PAGE_KIB = os.sysconf("SC_PAGE_SIZE") // 1024


def resident_kib() -> int:
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * PAGE_KIB


def build_level(round_number: int) -> orv.Environment:
    """A level of every agent family: nested zones, spells, collapses, gates, a stale item."""
    top = orv.Environment(f"top{round_number}")
    top.add_equals_gate("goal", 25)
    top.add_inequality_gate("judge", 0, ">")
    top.add_plus_magician("sum")
    for index in range(3):
        inner = orv.Environment(f"inner{index}")
        inner.add_charge(index + 2, orv.POSITIVE, "base")
        inner.add_charge(2, orv.NEGATIVE if index == 1 else orv.POSITIVE, "exponent")
        inner.add_power_sorcerer("pow")
        inner.add_abs_magician("abs")
        deeper = orv.Environment(f"deeper{index}")
        deeper.add_charge(1, orv.NEUTRAL, "n")
        inner.add_sub_environment(deeper)
        top.add_sub_environment(inner)
    stale_item = top.charges  # items taken and dropped each round
    del stale_item
    return top


def main(total_calls: int) -> None:
    calls = 0
    round_number = 0
    samples = []
    next_sample = 0
    while calls < total_calls:
        sequencer = orv.NarrativeSequencer(build_level(round_number))
        round_number += 1
        while not sequencer.is_finished and calls < total_calls:
            sequencer.next_frame()
            calls += 1
            if calls >= next_sample:
                samples.append((calls, resident_kib()))
                next_sample += total_calls // 10
    samples.append((calls, resident_kib()))
    for done, kib in samples:
        print(f"{done:>8} calls  {kib:>8} KiB resident")
    baseline = samples[1][1]
    print(f"levels built: {round_number}; growth after warm-up: {samples[-1][1] - baseline} KiB")


if __name__ == "__main__":
    main(int(sys.argv[1]) if len(sys.argv) > 1 else 100_000)
