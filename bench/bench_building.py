"""Building a level through the Python API, against building the same tree of plain Python
objects with the same random choices.

Run: .venv/bin/python bench/bench_building.py
Prints, for each generated level, the seconds to build it through orv_engine, the seconds to
build the mirror of plain objects, and their ratio (best of 3).
"""

import random
import time

from levels import LEVELS, magnitude

import orv_engine as orv


class PlainZone:
    """What a zone holds, as plain Python objects."""

    __slots__ = ("id", "charges", "agents", "sub_environments")

    def __init__(self, zone_id: str) -> None:
        self.id = zone_id
        self.charges = []
        self.agents = []
        self.sub_environments = []


def plain_level(seed: int, zones: int, charges: int, agents: int) -> PlainZone:
    """The mirror of levels.random_level: one object per zone, charge and agent."""
    rng = random.Random(seed)
    all_zones = [PlainZone("z0")]
    for index in range(1, zones):
        zone = PlainZone(f"z{index}")
        all_zones[rng.randrange(index)].sub_environments.append(zone)
        all_zones.append(zone)
    for index in range(charges):
        rng.choice(all_zones).charges.append(
            {"magnitude": magnitude(rng), "polarity": rng.randrange(3), "visual_id": f"c{index}"})
    for index in range(agents):
        rng.choice(all_zones).agents.append({"kind": rng.randrange(13), "visual_id": f"a{index}"})
    return all_zones[0]


SIZES = {
    "small": (10, 50, 10),
    "medium": (1_000, 10_000, 2_000),
    "large": (10_000, 100_000, 20_000),
}


def best_of(build, repeats: int = 3) -> float:
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        level = build()
        best = min(best, time.perf_counter() - start)
        del level
    return best


def main() -> None:
    print(f"{'level':<8}{'orv_engine s':>14}{'plain s':>10}{'ratio':>8}")
    for name, (zones, charges, agents) in SIZES.items():
        engine = best_of(lambda: LEVELS[name](2026))
        plain = best_of(lambda: plain_level(2026, zones, charges, agents))
        print(f"{name:<8}{engine:>14.4f}{plain:>10.4f}{engine / plain:>8.2f}")


if __name__ == "__main__":
    _ = orv  # the engine is imported up front, so that import time is not measured
    main()
