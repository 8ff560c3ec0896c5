"""The engine's log, log10 and pow checked against MPFR (through gmpy2), input by input.

Run: .venv/bin/python bench/check_math.py [--count N] [--seed S]
(needs gmpy2: pip install -r bench/requirements.txt)

For each function it draws N inputs (default 10,000,000) from the families below, in equal
shares, and compares orv._native's result with MPFR's correctly rounded one (binary64 with
subnormals, round to nearest). It prints, per function and family: the inputs, the share
correctly rounded, the largest error in units in the last place (against the exact value at
200 bits, measured on every result that is not correctly rounded and on a 2% sample of the
rest), and how many of the platform's own results (Python's math module, that
is the C library) differ from the correctly rounded one. Exit status 1 when any result of
log or log10 is not correctly rounded or any pow is off by more than one ulp.

Then, with --spells N (default 100,000), it draws N spell evaluations on the numbers of
bench/levels.py (Power Sorcerer, The Extractor, The Architect with one and with two charges,
in equal shares) and counts the results that the engine's math changes compared with the C
library's (--count 0 for this part alone).
"""

import argparse
import math
import operator
import random
import struct
import sys
import time
from collections.abc import Callable

import gmpy2
from gmpy2 import mpfr

from orv import _native

IEEE = gmpy2.ieee(64)
EXACT = gmpy2.context(precision=200, emax=1 << 20, emin=-(1 << 20))

Draw = Callable[[random.Random], tuple[float, ...]]


def any_double(rng: random.Random) -> float:
    return struct.unpack("<d", struct.pack("<Q", rng.getrandbits(64)))[0]


def positive_double(rng: random.Random) -> float:
    return abs(any_double(rng))


def level_number(rng: random.Random) -> float:
    """A number a level holds: a whole number, a half, a third, a tenth, a power of ten."""
    n = rng.randint(-1000, 1000)
    return rng.choice([float(n), n / 2, n / 3, n / 10, 10.0 ** rng.randint(-20, 22)])


def near_one(rng: random.Random) -> float:
    if rng.random() < 0.5:
        return 1.0 + rng.choice([-1, 1]) * rng.randint(1, 1 << 20) * 2.0 ** -52
    return 1.0 + rng.uniform(-1e-3, 1e-3)


def subnormal(rng: random.Random) -> float:
    return rng.getrandbits(52) * 2.0 ** -1074 or 5e-324


def unit_fraction(rng: random.Random) -> float:
    return 1 / rng.randint(2, 20)


def in_range_power(rng: random.Random) -> tuple[float, float]:
    """Random x and an exponent that keeps x^y within the doubles (|y log x| <= 745)."""
    x = math.ldexp(rng.uniform(0.5, 1), rng.randint(-1074, 1024))
    log_x = math.log(x) if x != 1 else 1.0
    return x, rng.uniform(-745, 745) / log_x


LOG_FAMILIES: dict[str, Draw] = {
    "random doubles": lambda rng: (positive_double(rng),),
    "level numbers": lambda rng: (abs(level_number(rng)) or 1.5,),
    "near 1": lambda rng: (near_one(rng),),
    "subnormals": lambda rng: (subnormal(rng),),
    "powers of ten": lambda rng: (10.0 ** rng.randint(-323, 308),),
}

POW_FAMILIES: dict[str, Draw] = {
    "random doubles": lambda rng: (any_double(rng), any_double(rng)),
    "in range": in_range_power,
    "integers ^ integers": lambda rng: (float(rng.randint(-1000, 1000)),
                                       float(rng.randint(-40, 40))),
    "level numbers": lambda rng: (level_number(rng), level_number(rng)),
    "roots 1/k": lambda rng: (abs(level_number(rng)), unit_fraction(rng)),
    "halves and thirds": lambda rng: (rng.randint(0, 2000) / rng.choice([2, 3]),
                                      rng.randint(-40, 40) / rng.choice([2, 3])),
    "near 1": lambda rng: (near_one(rng), rng.uniform(-1e6, 1e6)),
    "subnormals": lambda rng: (subnormal(rng), rng.uniform(-1.2, 1.2)),
}


def platform_pow(x: float, y: float) -> float:
    try:
        return math.pow(x, y)
    except (ValueError, OverflowError):
        return math.nan  # Python refuses these; the C library's value is not reachable


FUNCTIONS: dict[str, tuple[Callable[..., float], Callable[..., mpfr], Callable[..., float],
                           dict[str, Draw]]] = {
    "log": (_native.log, gmpy2.log, math.log, LOG_FAMILIES),
    "log10": (_native.log10, gmpy2.log10, math.log10, LOG_FAMILIES),
    "pow": (_native.pow, operator.pow, platform_pow, POW_FAMILIES),
}


def same(a: float, b: float) -> bool:
    return (a == b and math.copysign(1, a) == math.copysign(1, b)) or (a != a and b != b)


def ulp_error(ours: float, correct: float, reference: Callable[..., mpfr],
              args: tuple[float, ...]) -> float:
    """|ours - exact| in ulps of the exact value; 0 or inf for infinities, zeros and NaN
    (overflow and underflow have no ulp to speak of)."""
    if not math.isfinite(ours) or ours == 0 or not math.isfinite(correct) or correct == 0:
        return 0.0 if same(ours, correct) else math.inf
    with gmpy2.context(EXACT):
        exact = reference(*(mpfr(a) for a in args))
        ulp = mpfr(2) ** max(gmpy2.get_exp(exact) - 53, -1074)
        return float(abs(mpfr(ours) - exact) / ulp)


class Tally:
    def __init__(self) -> None:
        self.count = self.rounded = self.platform_differs = 0
        self.worst = 0.0
        self.worst_args: tuple[float, ...] = ()

    def add(self, ours: float, correct: float, platform: float, error: float,
            args: tuple[float, ...]) -> None:
        self.count += 1
        self.rounded += same(ours, correct)
        self.platform_differs += not same(platform, correct) and platform == platform
        if error > self.worst:
            self.worst, self.worst_args = error, args


def check(name: str, count: int, seed: int) -> dict[str, Tally]:
    ours_of, reference, platform_of, families = FUNCTIONS[name]
    rng = random.Random(f"{seed}-{name}")
    tallies = {family: Tally() for family in families}
    draws = list(families.items())
    with gmpy2.context(IEEE):
        for i in range(count):
            family, draw = draws[i % len(draws)]
            args = draw(rng)
            ours = ours_of(*args)
            correct = float(reference(*(mpfr(a) for a in args)))
            try:
                platform = platform_of(*args)
            except ValueError:
                platform = math.nan
            measured = rng.random() < 0.02 or not same(ours, correct)
            error = ulp_error(ours, correct, reference, args) if measured else 0.0
            tallies[family].add(ours, correct, platform, error, args)
    return tallies


def spell_magnitude(rng: random.Random) -> float:
    """A charge of bench/levels.py: a whole number up to 100 or an ordinary fraction."""
    if rng.random() < 0.2:
        return float(rng.randint(0, 100))
    return rng.uniform(0, 1000) / rng.choice((1, 3, 7, 10))


def c_library(call: Callable[[], float], overflow: float = math.inf) -> float:
    try:
        return call()
    except OverflowError:
        return overflow
    except ValueError:
        return math.nan


def spell_changes(count: int, seed: int) -> dict[str, tuple[int, int]]:
    """Per spell: (evaluations, results that differ from the C library's)."""
    rng = random.Random(f"{seed}-spells")
    tally = {"power": [0, 0], "root": [0, 0], "log10": [0, 0], "log base b": [0, 0]}
    for i in range(count):
        a, b = spell_magnitude(rng), spell_magnitude(rng)
        spell = list(tally)[i % 4]
        if spell == "power":
            a, b = a * rng.choice((-1, 1)), b * rng.choice((-1, 1))
            ours = _native.pow(a, b)
            theirs = c_library(lambda: math.pow(a, b), math.copysign(math.inf, a))
        elif spell == "root":
            ours = _native.pow(b, 1.0 / a) if a else math.inf
            theirs = c_library(lambda: math.pow(b, 1.0 / a)) if a else math.inf
        elif spell == "log10":
            if b <= 0:
                continue
            ours, theirs = _native.log10(b), math.log10(b)
        else:
            if b <= 0 or a <= 0 or a == 1:
                continue
            ours = _native.log(b) / _native.log(a)
            theirs = math.log(b) / math.log(a)
        tally[spell][0] += 1
        tally[spell][1] += not same(abs(ours), abs(theirs))
    return {name: (n, changed) for name, (n, changed) in tally.items()}


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--count", type=int, default=10_000_000, help="inputs per function")
    parser.add_argument("--spells", type=int, default=100_000, help="spell evaluations")
    parser.add_argument("--seed", type=int, default=2026)
    options = parser.parse_args()
    failed = False
    if options.count:
        print(f"{'function':8} {'family':20} {'inputs':>11} {'correctly rounded':>18} "
              f"{'max ulp':>8} {'libm differs':>12}")
    for name in FUNCTIONS if options.count else ():
        start = time.perf_counter()
        tallies = check(name, options.count, options.seed)
        for family, t in tallies.items():
            share = t.rounded / t.count if t.count else 1.0
            print(f"{name:8} {family:20} {t.count:>11,} {share:>18.7%} {t.worst:>8.4f} "
                  f"{t.platform_differs:>12,}")
            limit = 0.5 if name != "pow" else 1.0
            if t.worst > limit or (name != "pow" and t.rounded != t.count):
                failed = True
                print(f"  worst input: {t.worst_args}", file=sys.stderr)
        total = sum(t.count for t in tallies.values())
        rounded = sum(t.rounded for t in tallies.values())
        print(f"{name:8} {'all':20} {total:>11,} {rounded / total:>18.7%} "
              f"{max(t.worst for t in tallies.values()):>8.4f} "
              f"{sum(t.platform_differs for t in tallies.values()):>12,}   "
              f"({time.perf_counter() - start:.0f} s)")
    if options.spells:
        print(f"\n{'spell':12} {'evaluations':>11} {'changed from the C library':>27}")
        changes = spell_changes(options.spells, options.seed)
        for spell, (n, changed) in changes.items():
            print(f"{spell:12} {n:>11,} {changed:>20,} ({changed / n:.3%})")
        n, changed = (sum(column) for column in zip(*changes.values()))
        print(f"{'all':12} {n:>11,} {changed:>20,} ({changed / n:.3%})")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
