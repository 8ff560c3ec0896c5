"""Companion package of the ``orv_engine`` puzzle engine: level files, sample levels, a
command-line player and an HTML frame viewer.

    import orv
    top = orv.load_sample("workshop")        # or orv.load_level("my_level.json")
    for frame in orv.play_frames(top):
        print(frame.index, frame.status, frame.message)

    print(orv.play_outcome(orv.load_sample("judges_hall")).line())   # stuck (...)

``explain_step(before, after)`` says what a step did with its numbers (``Power Sorcerer in
squarer: 3 ^ 2 → 9``) and ``frame_changes(before, after)`` which charges, agents and zones it
changed, for a game that animates the frames itself.

``python -m orv play LEVEL`` and ``python -m orv view LEVEL -o level.html`` do the same from
the command line; ``python -m orv agents`` prints the rules. In a notebook, ``orv.Run(level)``
shows the run in the frame viewer (``.outcome``, ``.frames``, ``.to_gif(path)``);
``python -m orv studio LEVEL`` edits and replays a level in the browser and
``python -m orv export LEVEL --gif run.gif`` draws its run.

A puzzle is a level with a "hand" of agents for the player to place: ``orv.solve(puzzle)``
(or ``python -m orv solve PUZZLE``) finds every placement of the hand that opens all of its
gates, and says how hard finding one is. A player's go at one is an ``Attempt``:

    attempt = orv.Puzzle("locksmiths_vault").attempt()
    attempt.place("x1", "crucible")            # PlacementError (a ValueError) if refused
    print(attempt.hint().text)                 # put the Plus Magician p1 into forge
    print(attempt.run().outcome)               # stuck, until the hand is placed right
"""

from orv.levels.files import LevelError, level_from_json, level_to_json, load_level, save_level
from orv.levels.samples import DEFAULT_SAMPLE, SAMPLES, load_sample, sample_file
from orv.playing.arithmetic import Step, explain_step
from orv.playing.changes import frame_changes
from orv.playing.frames import Frame, play_frames
from orv.playing.outcome import LevelOutcome, Outcome, classify_frames, play_outcome
from orv.puzzles.attempt import Attempt, AttemptRun, Hint, PlacementError
from orv.puzzles.puzzle import Puzzle
from orv.puzzles.search import solve
from orv.viewer.notebook import Run

__all__ = [
    "DEFAULT_SAMPLE",
    "SAMPLES",
    "Attempt",
    "AttemptRun",
    "Frame",
    "Hint",
    "Step",
    "LevelError",
    "LevelOutcome",
    "Outcome",
    "PlacementError",
    "Puzzle",
    "Run",
    "classify_frames",
    "explain_step",
    "frame_changes",
    "level_from_json",
    "level_to_json",
    "load_level",
    "load_sample",
    "play_frames",
    "play_outcome",
    "sample_file",
    "save_level",
    "solve",
]
