"""The arithmetic of a step, as the player and the viewer show it."""

import pytest
from orv_engine import NEGATIVE, NEUTRAL, POSITIVE, Environment

from orv.playing.arithmetic import explain_step
from orv.viewer.page import level_frames

SPELLS = {
    "minus": ("add_minus_magician", [(10, POSITIVE), (5, NEGATIVE), (2, NEUTRAL)],
              "Minus Magician in z: 10 - (-5) - (-2) → 17"),
    "multiply to zero": ("add_multiply_magician", [(0, POSITIVE), (3, NEGATIVE)],
                         "Multiply Magician in z: 0 × (-3) → 0 (neutral)"),
    "divide": ("add_divide_magician", [(10, POSITIVE), (4, POSITIVE)],
               "Divide Magician in z: 10 ÷ 4 → 2.5"),
    "odd root of a negative": ("add_root_magician", [(3, POSITIVE), (-8, POSITIVE)],
                               "The Extractor in z: root 3 of -8 → -2"),
    "log base": ("add_log_magician", [(2, POSITIVE), (8, POSITIVE)],
                 "The Architect in z: log base 2 of 8 → 3"),
    "factorial": ("add_factorial_magician", [(4.7, NEUTRAL)], "The Replicator in z: 4.7! → 24"),
    "purifier": ("add_abs_magician", [(5, NEGATIVE), (2, NEUTRAL)],
                 "The Purifier in z: |-5| → 5"),
}


@pytest.mark.parametrize("method, charges, text", SPELLS.values(), ids=SPELLS.keys())
def test_a_spell_step_shows_its_operands_and_result(method, charges, text):
    zone = Environment("z")
    for number, (magnitude, polarity) in enumerate(charges):
        zone.add_charge(magnitude, polarity, f"c{number}")
    getattr(zone, method)("caster")
    start, first = level_frames(zone)[:2]
    assert explain_step(start, first).text == text
