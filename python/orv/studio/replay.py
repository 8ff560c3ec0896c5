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
    """What the solver finds for a level with a hand: each solution as the hand agents (by
    visual id and kind) to place in each zone, with its size; how many solutions there are
    of each size, the minimal size and the difficulty the solver reports. ImportError when
    there is no solver, LevelError when the level is no puzzle."""
    from orv.puzzles.search import solve  # type: ignore[import-not-found, unused-ignore]

    result = solve(level_from_json(level_text))
    return {"complete": bool(result.complete), "min_size": result.min_size,
            "difficulty": result.difficulty, "unique": result.unique,
            "solution_count": {str(size): count for size, count
                               in sorted(result.solution_count.items())},
            "solutions": [{"size": solution.size,
                           "placement": [{"zone": zone,
                                          "agents": [agent.visual_id for agent in agents],
                                          "kinds": [agent.name for agent in agents]}
                                         for zone, agents in solution.placement]}
                          for solution in result.solutions]}
