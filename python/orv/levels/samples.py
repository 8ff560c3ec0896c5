"""The sample levels that ship with the package, as level files in ``sample_levels/``, and the
LEVEL argument of the commands, which names a level file or a sample."""

from __future__ import annotations

import os
from collections.abc import Callable
from difflib import get_close_matches
from importlib import resources
from importlib.resources.abc import Traversable

import orv_engine

from orv.levels.files import level_from_json, level_to_json, load_level

DEFAULT_SAMPLE = "workshop"

# What each sample shows; the keys are the file names in sample_levels/ without ".json".
SAMPLES = {
    "workshop": "2 + 2 and 3 ** 2 are worked out in two inner zones while the workshop "
                "waits frozen; both collapse, a Plus Magician adds them and an Equals Gate "
                "checks the 13",
    "judges_hall": "a Minus Magician, a Divide Magician and The Scavenger settle three "
                   "accounts; one Judge opens once the hall holds more than 20, the other "
                   "(less than 0) stays closed",
    "alchemists_tower": "The Purifier, The Replicator, The Extractor and The Architect feed "
                        "an observatory and a Multiply Magician; the gate opens at 60",
    "chronomancer_vault": "a Chronomancer never leaves the timelock, so the vault stays frozen "
                          "and its door stays closed, though the antechamber still collapses "
                          "into it",
    "endless_ritual": "1000 Purifiers take turns and the level runs out of its 1000 steps "
                      "before the altar is tried",
    "locksmiths_vault": "a puzzle: the vault's door wants 15, and a hand of two Plus "
                        "Magicians, a Multiply Magician and a Minus Magician must go into "
                        "the forge, the crucible and the mill; orv solve finds the one way",
}


def sample_file(name: str) -> Traversable:
    """The packaged level file of a sample; KeyError names the samples there are."""
    if name not in SAMPLES:
        raise KeyError(f'no sample level "{name}" (samples: {", ".join(SAMPLES)})')
    return resources.files("orv.levels").joinpath("sample_levels", f"{name}.json")


def load_sample(name: str) -> orv_engine.Environment:
    """Build the zone tree of a bundled sample level."""
    return level_from_json(sample_file(name).read_bytes())


class LevelNotFound(Exception):
    """The LEVEL argument names neither a file nor a bundled sample."""


def open_level(argument: str, on_warning: Callable[[str], None] | None = None
               ) -> orv_engine.Environment:
    """A level file if ``argument`` names one, else the bundled sample of that name."""
    if os.path.isdir(argument):
        raise LevelNotFound(f'"{argument}" is a directory, not a level file')
    if os.path.exists(argument):
        return load_level(argument, on_warning)
    if argument in SAMPLES:
        return load_sample(argument)
    close = get_close_matches(argument, SAMPLES, n=1)
    hint = f'did you mean "{close[0]}"? ' if close else ""
    raise LevelNotFound(f'no level file or bundled sample named "{argument}" '
                        f'({hint}samples: {", ".join(SAMPLES)})')


# A level as the package's functions take it: a zone tree, a level file's path, or the name of
# a bundled sample.
LevelSource = orv_engine.Environment | str | os.PathLike[str]


def open_level_source(level: LevelSource) -> orv_engine.Environment:
    """The zone tree of ``level``: the tree itself, or one loaded from the file or sample."""
    if isinstance(level, orv_engine.Environment):
        return level
    return open_level(os.fspath(level))


def level_source_text(level: LevelSource) -> str:
    """The level file text of ``level``: a tree's own text, with the keys it was loaded with.
    The text carries what a level file can: an infinite magnitude or target is written null
    and reads back as NaN, and a zone held at several places becomes independent copies."""
    return level_to_json(open_level_source(level))
