"""Building long chains of nested zones must stay near-linear, top-down and bottom-up.

Every `add_sub_environment` checks that the new sub-zone does not already hold its new parent.
Run: .venv/bin/python bench/bench_zone_chains.py
Prints, for each chain length and direction, the total time and the time per added zone; a
near-linear build keeps the per-zone time flat as the length grows tenfold.
"""

import time

import orv_engine as orv


def top_down(length: int) -> orv.Environment:
    top = current = orv.Environment("z0")
    for index in range(1, length):
        nested = orv.Environment(f"z{index}")
        current.add_sub_environment(nested)
        current = nested
    return top


def bottom_up(length: int) -> orv.Environment:
    current = orv.Environment(f"z{length - 1}")
    for index in range(length - 2, -1, -1):
        parent = orv.Environment(f"z{index}")
        parent.add_sub_environment(current)
        current = parent
    return current


def best_of(repeats: int, build, length: int) -> float:
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        tree = build(length)
        best = min(best, time.perf_counter() - start)
        del tree
    return best


def main() -> None:
    print(f"{'direction':<10} {'zones':>8} {'total ms':>10} {'ns/zone':>9}")
    for build in (top_down, bottom_up):
        for length in (1_000, 10_000, 100_000):
            seconds = best_of(5, build, length)
            print(f"{build.__name__:<10} {length:>8} {seconds * 1e3:>10.1f} "
                  f"{seconds / length * 1e9:>9.0f}")


if __name__ == "__main__":
    main()
