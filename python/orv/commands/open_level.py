"""The LEVEL argument of play and view: a level file or a bundled sample, its warnings and
its problems reported on standard error."""

from __future__ import annotations

import sys

import orv_engine

from orv.levels.files import LevelError
from orv.levels.samples import LevelNotFound, open_level


def open_level_or_report(argument: str, prog: str) -> orv_engine.Environment | None:
    """The level's tree, or None once the reason it cannot be loaded is printed."""
    try:
        return open_level(argument,
                          lambda warning: print(f"{prog}: warning: {warning}", file=sys.stderr))
    except (LevelError, LevelNotFound, OSError) as error:
        print(f"{prog}: cannot load level: {error}", file=sys.stderr)
        return None
