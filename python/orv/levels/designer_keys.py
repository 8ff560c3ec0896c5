"""Text a level's designer writes on the top zone: "title", "hint" and "notes".

The engine never sees them; the tools show them (``play`` before the first frame, the
viewer's header, ``check`` rows). Each is a string; a level without them saves as before.
"""

from __future__ import annotations

from typing import Any

import orv_engine

from orv.levels.top_zone_keys import level_extras, register_top_zone_key
from orv.levels.values import text

DESIGNER_KEYS = ("title", "hint", "notes")


def _checked_text(value: Any, place: str, _top: orv_engine.Environment) -> str:
    return text(value, place)


for _name in DESIGNER_KEYS:
    register_top_zone_key(_name, _checked_text)


def designer_text(top: orv_engine.Environment) -> dict[str, str]:
    """The designer's keys that ``top`` was loaded with, in the order of ``DESIGNER_KEYS``."""
    extras = level_extras(top)
    return {name: extras[name] for name in DESIGNER_KEYS if name in extras}
