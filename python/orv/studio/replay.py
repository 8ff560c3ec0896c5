"""What the studio's server does with an edited level: play it for the page, report its
problems with their places, and ask the solver (when it is installed) for its solutions."""

from __future__ import annotations

from importlib.util import find_spec

from orv.documents import Json
from orv.levels.files import LevelError, level_from_json
from orv.viewer.page import played_level, viewer_data


def replay(level_text: str | bytes) -> Json:
    """The viewer's data for a run of the level, and the warnings of loading it; LevelError
    when it cannot be loaded."""
    warnings: list[str] = []
    top = level_from_json(level_text, warnings.append)
    played = played_level(top)
    return {"viewer": viewer_data(played.documents, played.records), "warnings": warnings}


def problems(error: LevelError) -> Json:
    """The answer to a level that cannot be loaded: every problem with its place."""
    return {"error": "the level cannot be loaded",
            "problems": [{"place": place, "problem": problem}
                         for place, problem in error.problems]}


def solver_installed() -> bool:
    return find_spec("orv.puzzles") is not None


def solutions(level_text: str | bytes) -> Json:
    """The solutions the solver finds for a level with a hand, each as the agents of the
    hand (by visual id) to place in each zone; ImportError when there is no solver."""
    from orv.puzzles.search import solve  # type: ignore[import-not-found, unused-ignore]

    result = solve(level_from_json(level_text))
    return {"complete": bool(result.complete),
            "solutions": [solution.to_json()["placement"] for solution in result.solutions]}
