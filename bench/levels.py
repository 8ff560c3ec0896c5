"""Generated levels for the benchmarks, reproducible from a seed.

A level is a random recursive tree of zones (each zone hangs below a uniformly chosen earlier
one), with charges and agents scattered over the zones. Magnitudes are ordinary arithmetic
results: mostly fractions with full 17-digit texts, some integral values.
"""

import random

import orv_engine as orv

POLARITIES = (orv.POSITIVE, orv.NEGATIVE, orv.NEUTRAL)
ONE_ARGUMENT_KINDS = (
    "add_plus_magician", "add_minus_magician", "add_multiply_magician", "add_divide_magician",
    "add_power_sorcerer", "add_root_magician", "add_abs_magician", "add_factorial_magician",
    "add_modulo_magician", "add_log_magician", "add_chronomancer",
)
RULES = ("<", ">", "<=", ">=")


def magnitude(rng: random.Random) -> float:
    if rng.random() < 0.2:
        return float(rng.randint(0, 100))
    return rng.uniform(0, 1000) / rng.choice((1, 3, 7, 10))


def add_agent(rng: random.Random, zone: orv.Environment, visual_id: str) -> None:
    pick = rng.randrange(len(ONE_ARGUMENT_KINDS) + 2)
    if pick < len(ONE_ARGUMENT_KINDS):
        getattr(zone, ONE_ARGUMENT_KINDS[pick])(visual_id)
    elif pick == len(ONE_ARGUMENT_KINDS):
        zone.add_equals_gate(visual_id, magnitude(rng))
    else:
        zone.add_inequality_gate(visual_id, magnitude(rng), rng.choice(RULES))


def random_level(seed: int, zones: int, charges: int, agents: int) -> orv.Environment:
    rng = random.Random(seed)
    all_zones = [orv.Environment("z0")]
    for index in range(1, zones):
        zone = orv.Environment(f"z{index}")
        all_zones[rng.randrange(index)].add_sub_environment(zone)
        all_zones.append(zone)
    for index in range(charges):
        rng.choice(all_zones).add_charge(magnitude(rng), rng.choice(POLARITIES), f"c{index}")
    for index in range(agents):
        add_agent(rng, rng.choice(all_zones), f"a{index}")
    return all_zones[0]


def deep_chain(seed: int, depth: int) -> orv.Environment:
    rng = random.Random(seed)
    top = current = orv.Environment("z0")
    for index in range(1, depth):
        nested = orv.Environment(f"z{index}")
        nested.add_charge(magnitude(rng), rng.choice(POLARITIES), f"c{index}")
        current.add_sub_environment(nested)
        current = nested
    current.add_charge(magnitude(rng), orv.POSITIVE, "last")
    current.add_plus_magician("p")
    return top


def wide_zone(seed: int, charges: int) -> orv.Environment:
    rng = random.Random(seed)
    zone = orv.Environment("wide")
    for index in range(charges):
        zone.add_charge(magnitude(rng), rng.choice(POLARITIES), f"c{index}")
    zone.add_abs_magician("abs")
    zone.add_plus_magician("sum")
    return zone


LEVELS = {
    "small": lambda seed: random_level(seed, zones=10, charges=50, agents=10),
    "medium": lambda seed: random_level(seed, zones=1_000, charges=10_000, agents=2_000),
    "large": lambda seed: random_level(seed, zones=10_000, charges=100_000, agents=20_000),
    "deep": lambda seed: deep_chain(seed, depth=10_000),
    "wide": lambda seed: wide_zone(seed, charges=100_000),
}


def three_hundred_zones(seed: int) -> orv.Environment:
    """The level whose whole run the browser engine's benchmark times: 300 zones, 3,000
    charges and 600 agents, shaped like "medium" (about 240 frames of 250 KiB)."""
    return random_level(seed, zones=300, charges=3_000, agents=600)
