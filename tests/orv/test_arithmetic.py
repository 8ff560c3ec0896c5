"""The arithmetic of a step and the numbers in it, as the player and the viewer show them."""

import math

import pytest
from orv_engine import NEGATIVE, NEUTRAL, POSITIVE, Environment

from orv import explain_step
from orv.playing.numbers import number
from orv.rules.roster import AGENT_KINDS
from orv.viewer.page import level_frames

# Per kind: the zone's charges, the extra arguments of its add_ method, the line of the
# first step, and the charges of a resolved sub-zone "room" (for the kind that never casts).
STEPS = {
    "Plus Magician": [([(3, POSITIVE), (5, NEGATIVE)], (), "3 + (-5) → -2")],
    "Minus Magician": [([(10, POSITIVE), (5, NEGATIVE), (2, NEUTRAL)], (),
                        "10 - (-5) - (-2) → 17")],
    "Multiply Magician": [([(0, POSITIVE), (3, NEGATIVE)], (), "0 × (-3) → 0 (neutral)")],
    "Divide Magician": [([(10, POSITIVE), (3, POSITIVE)], (), "10 ÷ 3 → 3.33333")],
    "The Scavenger": [([(4, POSITIVE), (7, POSITIVE), (3, NEGATIVE)], (), "7 mod 3 → 1")],
    "Power Sorcerer": [([(2, NEGATIVE), (3, POSITIVE)], (), "(-2) ^ 3 → -8"),
                       ([(-0.0, POSITIVE), (3, POSITIVE)], (), "(-0) ^ 3 → 0 (neutral)")],
    "The Extractor": [([(16, POSITIVE)], (), "√16 → 4"),
                      ([(3, POSITIVE), (-8, POSITIVE)], (), "root 3 of -8 → -2")],
    "The Architect": [([(0.01, POSITIVE)], (), "log10(0.01) → -2"),
                      ([(2, POSITIVE), (8, POSITIVE)], (), "log base 2 of 8 → 3")],
    "The Replicator": [([(4.7, NEUTRAL)], (), "4.7! → 24")],
    "The Purifier": [([(5, NEGATIVE), (2, NEUTRAL)], (), "|-5| → 5"),
                     ([(-5, NEGATIVE)], (), "5 → -5"),
                     ([(2, POSITIVE)], (), "no negative charge, nothing changes")],
    # Never casts: the engine names it as the actor of every collapse, which the line leaves
    # out.
    "Chronomancer": [([], (), "Zone room collapsed: +7 moves up to z", [(7, POSITIVE)])],
    "Equals Gate": [([(4, POSITIVE), (6, POSITIVE)], (10,), "total 10 == 10 → opened")],
    "The Judge": [([(2.4837872594988064, POSITIVE)], (2, ">"), "total 2.48379 > 2 → opened")],
}


def add_charges(zone, charges):
    for index, (magnitude, polarity) in enumerate(charges):
        zone.add_charge(magnitude, polarity, f"c{index}")


@pytest.mark.parametrize("kind, case", [
    pytest.param(kind, case, id=f"{kind.name}-{number}")
    for kind in AGENT_KINDS.values()
    for number, case in enumerate(STEPS.get(kind.name, [None]))])
def test_the_first_step_of_every_kind_shows_its_arithmetic(kind, case):
    assert case is not None, f"no arithmetic line is tested for {kind.name}"
    charges, arguments, line, *room = case
    zone = Environment("z")
    add_charges(zone, charges)
    getattr(zone, kind.add_method)("caster", *arguments)
    if room:
        sub = Environment("room")
        add_charges(sub, room[0])
        zone.add_sub_environment(sub)
    start, first = level_frames(zone)[:2]
    where = "" if room else f"{kind.name} in z: "
    assert explain_step(start, first).text == where + line


# Numbers as a person reads them; the page script's formatter is checked against these too.
NUMBERS = [
    (2.4837872594988064, "2.48379"), (13.0, "13"), (-2.5, "-2.5"), (0.1, "0.1"),
    (1 / 3, "0.333333"), (123456.7, "123457"), (999999.7, "1e+6"), (1234567.0, "1234567"),
    (1e15, "1e+15"), (1.5e20, "1.5e+20"), (1e-7, "1e-7"), (0.000123456789, "0.000123457"),
    (1234.125, "1234.13"), (-1234.125, "-1234.13"), (5e-324, "4.94066e-324"),
    (-0.0, "0"), (0.0, "0"), (math.inf, "inf"), (-math.inf, "-inf"), (math.nan, "NaN"),
]


@pytest.mark.parametrize("value, text", NUMBERS, ids=[text for _, text in NUMBERS])
def test_numbers_keep_six_significant_digits_and_whole_numbers_stay_whole(value, text):
    assert number(value) == text
    assert float(number(value, digits=None)) == value or math.isnan(value)


def test_a_negative_zero_keeps_its_sign_only_where_asked():
    assert (number(-0.0, signed_zero=True), number(0.0, signed_zero=True)) == ("-0", "0")
    assert number(None) == "NaN"
