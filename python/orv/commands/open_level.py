"""The LEVEL argument of play and view: a level file or a bundled sample, its warnings and
its problems reported on standard error."""

from __future__ import annotations

import orv_engine

from orv.levels.files import LevelError
from orv.levels.samples import LevelNotFound, open_level
from orv.terminal import say


def open_level_or_report(argument: str, prog: str) -> orv_engine.Environment | None:
    """The level's tree, or None once the reason it cannot be loaded is printed."""
    try:
        return open_level(argument, lambda warning: say(f"{prog}: warning: {warning}"))
    except LevelError as error:
        problems = error.problems
    except (LevelNotFound, OSError) as error:
        problems = [("", str(error))]
    if len(problems) == 1:
        say(f"{prog}: cannot load level: {_joined(*problems[0])}")
    else:
        say(f"{prog}: cannot load level: {len(problems)} problems")
        for place, problem in problems:
            say(f"  {_joined(place, problem)}")
    return None


def _joined(place: str, problem: str) -> str:
    return f"{place}: {problem}" if place else problem
