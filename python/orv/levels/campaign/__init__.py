"""The campaign that ships with the package: ``CAMPAIGN_LENGTH`` puzzles in play order, the
files that ``orv generate --campaign 20 --seed 7 --out DIR`` writes (``CAMPAIGN_LENGTH`` and
``CAMPAIGN_SEED``), kept here beside this module as ``01_title.json`` ...

Each is a puzzle file: a level whose top zone has the player's "hand", a "title", a "hint"
and the generator's "puzzle" note (difficulty in bits, size of the one minimal solution).
"""

from __future__ import annotations

from importlib import resources
from importlib.resources.abc import Traversable

import orv_engine

from orv.levels.files import level_from_json

CAMPAIGN_LENGTH = 20
CAMPAIGN_SEED = 7


def campaign_files() -> list[Traversable]:
    """The campaign's puzzle files in play order (file system paths in an installed package;
    ``read_text()`` and ``name`` work either way)."""
    folder = resources.files(__name__)
    return sorted((entry for entry in folder.iterdir() if entry.name.endswith(".json")),
                  key=lambda entry: entry.name)


def campaign_texts() -> list[str]:
    """The text of each puzzle file, in play order."""
    return [entry.read_text(encoding="utf-8") for entry in campaign_files()]


def load_campaign() -> list[orv_engine.Environment]:
    """The zone tree of each puzzle, in play order, with its hand, title and hint
    (``orv.levels.top_zone_keys.level_extras``; ``orv.solve`` takes the trees as they are)."""
    return [level_from_json(text) for text in campaign_texts()]
