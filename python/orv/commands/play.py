"""``orv play``: play a level in the terminal, narrating every frame; for a puzzle, with the
hand placed by ``--place``."""

from __future__ import annotations

import argparse
import sys

from orv.commands.open_level import open_level_or_report
from orv.commands.options import add_level_argument
from orv.exit_status import ExitStatus, StatusMeanings
from orv.levels.puzzle_keys import HAND
from orv.levels.top_zone_keys import level_extras
from orv.playing.narration import designer_lines, play, summary_lines
from orv.playing.numbers import counted
from orv.playing.outcome import exit_status, play_outcome
from orv.puzzles.attempt import Attempt, PlacementError
from orv.puzzles.puzzle import Puzzle
from orv.terminal import say

DESCRIPTION = ("Play a level to its end, one line per frame with the arithmetic of the step, "
               "then a summary with the outcome: solved, ended, stuck or out of steps. A "
               "puzzle is played with the hand agents that --place puts into its zones.")
EXIT_STATUSES: StatusMeanings = (
    (ExitStatus.OK, "when the level is solved (every gate opened) or ended (it has no gate)"),
    (ExitStatus.OUT_OF_STEPS, "when it runs out of its 1000 steps"),
    (ExitStatus.CANNOT_RUN, "when it cannot be loaded or a --place is refused"),
    (ExitStatus.STUCK, "when it is stuck (it ended with a gate still closed), or is a puzzle "
                       "played with none of its hand placed and so unsolved"))
EXIT_NOTE = ""


def add_arguments(parser: argparse.ArgumentParser) -> None:
    add_level_argument(parser)
    parser.add_argument("--place", action="append", default=[], metavar="VISUAL_ID@ZONE",
                        help="puzzles: put the hand agent VISUAL_ID into slot zone ZONE, after "
                             "the agents placed there before; repeat for each agent")
    shown = parser.add_mutually_exclusive_group()
    shown.add_argument("--json", action="store_true",
                       help="print each frame's JSON text, one per line, as the engine "
                            "wrote it; the summary then goes to standard error")
    shown.add_argument("--summary", action="store_true",
                       help="print only the summary, not the frames")
    shown.add_argument("--quiet", action="store_true",
                       help="print nothing; only the exit status tells the outcome")


def run(arguments: argparse.Namespace, prog: str) -> int:
    top = open_level_or_report(arguments.level, prog)
    if top is None:
        return ExitStatus.CANNOT_RUN
    notes = sys.stderr if arguments.json else sys.stdout
    attempt = None
    if HAND in level_extras(top):
        attempt = placed_attempt(Puzzle(top), arguments.place, prog)
        if attempt is None:
            return ExitStatus.CANNOT_RUN
        top = attempt.level()
    elif arguments.place:
        say(f"{prog}: --place needs a puzzle, and {arguments.level} has no hand of agents")
        return ExitStatus.CANNOT_RUN
    if not arguments.quiet:
        for line in puzzle_lines(attempt, arguments.level) + designer_lines(top):
            say(line, notes)
    unplaced = attempt is not None and not attempt.placement.placement
    outcome_text = "unsolved: the hand is still to be placed" if unplaced else None
    if arguments.summary or arguments.quiet:
        # No frame is narrated, so only each frame's meta object needs parsing.
        result = play_outcome(top)
        for line in summary_lines(result, outcome_text) if arguments.summary else ():
            say(line, sys.stdout)
    else:
        result = play(top, sys.stdout, raw_json=arguments.json,
                      summary_out=sys.stderr if arguments.json else None,
                      outcome_text=outcome_text)
    return exit_status(result.outcome)


def placed_attempt(puzzle: Puzzle, places: list[str], prog: str) -> Attempt | None:
    """The puzzle's attempt with every --place made, or None once each refusal is said."""
    attempt = puzzle.attempt()
    refused = False
    for place in places:
        visual_id, at, zone_id = place.rpartition("@")
        try:
            if not at or not visual_id:
                raise PlacementError("expected VISUAL_ID@ZONE, such as x1@crucible")
            attempt.place(visual_id, zone_id)
        except PlacementError as error:
            say(f"{prog}: --place {place}: {error}")
            refused = True
    if not refused:
        try:
            attempt.level()
        except PlacementError as error:
            say(f"{prog}: {error}")
            refused = True
    return None if refused else attempt


def puzzle_lines(attempt: Attempt | None, name: str) -> list[str]:
    """What a player reads first of a puzzle: its hand and where it may go, or what is
    placed."""
    if attempt is None:
        return []
    hand = ", ".join(f"{agent.name} {agent.visual_id}" for agent in attempt.unplaced)
    slots = ", ".join(attempt.slots)
    if not attempt.placement.placement:
        return [f"{name} is a puzzle with a hand of {counted(len(attempt.hand), 'agent')} "
                "still to be placed; played as it stands, without them, it stays unsolved",
                f"  hand: {hand}",
                f"  slots: {slots}",
                "  place them with --place VISUAL_ID@ZONE (one for each agent); "
                "orv solve finds the solutions"]
    lines = [f"{name} is a puzzle, played with {attempt.placement.describe()}"]
    if hand:
        lines.append(f"  left in the hand: {hand}")
    return lines

