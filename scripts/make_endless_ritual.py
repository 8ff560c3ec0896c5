"""Writes the bundled sample level that runs out of steps.

Its file is python/orv/levels/sample_levels/endless_ritual.json.

A level gets at most 1000 steps, and every step removes an agent or a zone, so only a level
with at least 1000 agents and zones can run that long. Here 1000 Purifiers take turns in a
ritual zone (a Purifier casts whenever its zone holds a charge), which keeps the hall around
it frozen: the step budget is spent before the altar's gate is ever tried.

Usage: python scripts/make_endless_ritual.py [OUTPUT]
"""

import sys
from pathlib import Path

import orv_engine

from orv import save_level

PURIFIERS = 1000
DEFAULT_OUTPUT = Path(__file__).parent.parent / "python/orv/levels/sample_levels/endless_ritual.json"


def build_level() -> orv_engine.Environment:
    ritual = orv_engine.Environment("ritual")
    ritual.add_charge(5, orv_engine.NEGATIVE, "shadow")
    for number in range(1, PURIFIERS + 1):
        ritual.add_abs_magician(f"purifier_{number:04d}")
    hall = orv_engine.Environment("hall")
    hall.add_equals_gate("altar", 5)
    hall.add_sub_environment(ritual)
    return hall


if __name__ == "__main__":
    save_level(build_level(), sys.argv[1] if len(sys.argv) > 1 else DEFAULT_OUTPUT)
