"""What the studio's server does with an edited level: report its problems with their
places, ask the solver (when it is installed) for its solutions, and make the game page that
playtests a puzzle."""

from __future__ import annotations

from importlib.util import find_spec

from orv.documents import Json
from orv.levels.files import LevelError, level_from_json


def playtest_page(puzzle_text: str | bytes, name: str) -> str:
    """The game page of the puzzle, to play it as a player will; LevelError when it cannot be
    loaded or has no hand."""
    from orv.game.page import game_page, game_puzzle

    puzzle = game_puzzle(level_from_json(puzzle_text), name)
    return game_page([puzzle], puzzle.title or name)


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
