"""The engine's own log, log10 and pow (orv._native), checked against MPFR through gmpy2: the
special cases of C99 Annex F, exact results, and a seeded sample of the inputs that
bench/check_math.py draws by the million."""

import math
import operator
import random
import struct
from collections.abc import Callable

import gmpy2
import pytest

from orv import _native

INF, NAN = math.inf, math.nan
TINY = 5e-324


def correctly_rounded(reference: Callable[..., gmpy2.mpfr], *args: float) -> float:
    with gmpy2.context(gmpy2.ieee(64)):
        return float(reference(*(gmpy2.mpfr(a) for a in args)))


def same(a: float, b: float) -> bool:
    """Equal bit for bit: the sign of a zero counts, every NaN is alike."""
    return (a != a and b != b) or (a == b and math.copysign(1, a) == math.copysign(1, b))


POW_CASES = [  # (x, y, x ** y), C99 F.9.4.4 and exact results
    (NAN, 0.0, 1.0), (NAN, -0.0, 1.0), (1.0, NAN, 1.0), (1.0, -INF, 1.0), (NAN, 2.0, NAN),
    (2.0, NAN, NAN), (-1.0, INF, 1.0), (-1.0, -INF, 1.0),
    (0.0, -3.0, INF), (-0.0, -3.0, -INF), (-0.0, -2.0, INF), (-0.0, -0.5, INF), (-0.0, -INF, INF),
    (0.0, 3.0, 0.0), (-0.0, 3.0, -0.0), (-0.0, 2.0, 0.0), (-0.0, 0.5, 0.0), (-0.0, INF, 0.0),
    (0.5, -INF, INF), (-0.5, -INF, INF), (2.0, -INF, 0.0), (-2.0, -INF, 0.0), (0.5, INF, 0.0),
    (-0.5, INF, 0.0), (2.0, INF, INF), (-2.0, INF, INF),
    (-INF, -3.0, -0.0), (-INF, -2.0, 0.0), (-INF, -0.5, 0.0), (-INF, 3.0, -INF),
    (-INF, 2.0, INF), (-INF, 0.5, INF), (INF, -1.0, 0.0), (INF, 0.5, INF),
    (-8.0, 1 / 3, NAN), (-2.0, 0.5, NAN), (-INF, NAN, NAN),
    (-2.0, 3.0, -8.0), (-2.0, -3.0, -0.125), (-2.0, 2.0, 4.0), (-1.0, 2.0**60 + 1, 1.0),
    (10.0, 400.0, INF), (-10.0, 401.0, -INF), (10.0, -400.0, 0.0), (-10.0, -401.0, -0.0),
    (2.0, 1023.0, 2.0**1023), (2.0, 1024.0, INF), (2.0, -1074.0, TINY), (2.0, -1075.0, 0.0),
    (3.0, 4.0, 81.0), (2.0, -3.0, 0.125), (10.0, 15.0, 1e15), (10.0, 22.0, 1e22),
    (27.0, 1 / 3, 3.0), (4.0, 0.5, 2.0), (6561.0, 0.25, 9.0), (2.0**-1024, 0.5, 2.0**-512),
    (134217727.0, 2.0, 18014398241046528.0),  # 2^54 - 2^28 + 1: halfway, to even
    (1.5, 2.0, 2.25), (0.5, 1074.0, TINY), (TINY, 0.5, 2.0**-537),
]
LOG_CASES = [(NAN, NAN, NAN), (-1.0, NAN, NAN), (-INF, NAN, NAN), (0.0, -INF, -INF),
             (-0.0, -INF, -INF), (INF, INF, INF), (1.0, 0.0, 0.0)]


@pytest.mark.parametrize(("x", "y", "expected"), POW_CASES, ids=repr)
def test_pow_special_and_exact_cases(x: float, y: float, expected: float) -> None:
    assert same(_native.pow(x, y), expected)
    if not math.isnan(x) or y == 0:
        assert same(correctly_rounded(operator.pow, x, y), expected)


@pytest.mark.parametrize(("x", "log_x", "log10_x"), LOG_CASES, ids=repr)
def test_log_special_cases(x: float, log_x: float, log10_x: float) -> None:
    assert same(_native.log(x), log_x)
    assert same(_native.log10(x), log10_x)


@pytest.mark.parametrize("k", range(-30, 23))
def test_log10_of_a_power_of_ten_is_its_exponent(k: int) -> None:
    assert same(_native.log10(10.0**k), float(k))


def any_double(rng: random.Random) -> float:
    return struct.unpack("<d", struct.pack("<Q", rng.getrandbits(64)))[0]


def level_number(rng: random.Random) -> float:
    n = rng.randint(-1000, 1000)
    return rng.choice([float(n), n / 2, n / 3, 10.0 ** rng.randint(-20, 22)])


def near_one(rng: random.Random) -> float:
    return 1.0 + rng.choice([-1, 1]) * rng.randint(1, 1 << 20) * 2.0**-52


ARGUMENTS: dict[str, Callable[[random.Random], float]] = {
    "random": lambda rng: abs(any_double(rng)),
    "level": lambda rng: abs(level_number(rng)) or 2.0,
    "near 1": near_one,
    "subnormal": lambda rng: rng.getrandbits(52) * TINY or TINY,
    "whole": lambda rng: rng.choice([float(rng.randint(2, 300)),
                                     rng.randint(1, 255) * 2.0 ** rng.randint(-1074, 960)]),
}
POWERS: dict[str, Callable[[random.Random], tuple[float, float]]] = {
    "random": lambda rng: (any_double(rng), any_double(rng)),
    "integers": lambda rng: (float(rng.randint(-1000, 1000)), float(rng.randint(-40, 40))),
    "level": lambda rng: (level_number(rng), level_number(rng)),
    "roots": lambda rng: (abs(level_number(rng)), 1 / rng.randint(2, 20)),
    "near 1": lambda rng: (near_one(rng), rng.uniform(-1e6, 1e6)),
    "subnormal": lambda rng: (rng.getrandbits(52) * TINY, rng.uniform(-1.2, 1.2)),
    "small powers": lambda rng: (rng.choice([float(rng.randint(-300, 300)),
                                             rng.randint(-99, 99) / 8,
                                             2.0 ** rng.randint(-1074, 1023)]),
                                 float(rng.randint(-66, 66))),
    "roots of whole": lambda rng: (rng.randint(2, 255) * 2.0 ** rng.randint(-20, 20),
                                   1 / rng.choice([rng.randint(2, 40), rng.uniform(-9, 9)])),
}


@pytest.mark.parametrize("family", ARGUMENTS)
@pytest.mark.parametrize(("name", "reference"), [("log", gmpy2.log), ("log10", gmpy2.log10)])
def test_logarithms_are_correctly_rounded(name: str, reference: Callable[..., gmpy2.mpfr],
                                          family: str) -> None:
    rng = random.Random(f"{name}-{family}")
    ours = getattr(_native, name)
    wrong = [x for x in (ARGUMENTS[family](rng) for _ in range(500))
             if not same(ours(x), correctly_rounded(reference, x))]
    assert wrong == []


@pytest.mark.parametrize("family", POWERS)
def test_pow_is_correctly_rounded(family: str) -> None:
    rng = random.Random(f"pow-{family}")
    wrong = [(x, y) for x, y in (POWERS[family](rng) for _ in range(500))
             if not same(_native.pow(x, y), correctly_rounded(operator.pow, x, y))]
    assert wrong == []
