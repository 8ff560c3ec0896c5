"""``orv play``: play a level in the terminal, narrating every frame."""

from __future__ import annotations

import argparse
import sys

from orv.commands.open_level import open_level_or_report
from orv.commands.options import add_level_argument
from orv.exit_status import ExitStatus, StatusMeanings
from orv.levels.puzzle_keys import hand_note
from orv.playing.narration import designer_lines, play, summary_lines
from orv.playing.outcome import exit_status, play_outcome
from orv.terminal import say

DESCRIPTION = ("Play a level to its end, one line per frame with the arithmetic of the step, "
               "then a summary with the outcome: solved, ended, stuck or out of steps.")
EXIT_STATUSES: StatusMeanings = (
    (ExitStatus.OK, "when the level is solved (every gate opened) or ended (it has no gate)"),
    (ExitStatus.OUT_OF_STEPS, "when it runs out of its 1000 steps"),
    (ExitStatus.CANNOT_RUN, "when it cannot be loaded"),
    (ExitStatus.STUCK, "when it is stuck (it ended with a gate still closed)"))
EXIT_NOTE = ""


def add_arguments(parser: argparse.ArgumentParser) -> None:
    add_level_argument(parser)
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
    if not arguments.quiet:
        for line in designer_lines(top):
            say(line, sys.stderr if arguments.json else sys.stdout)
    if arguments.summary or arguments.quiet:
        # No frame is narrated, so only each frame's meta object needs parsing.
        result = play_outcome(top)
        for line in summary_lines(result) if arguments.summary else ():
            say(line, sys.stdout)
    else:
        result = play(top, sys.stdout, raw_json=arguments.json,
                      summary_out=sys.stderr if arguments.json else None)
    note = hand_note(top)
    if note is not None and not arguments.quiet:
        say(f"  puzzle:        {note}", sys.stderr if arguments.json else sys.stdout)
    return exit_status(result.outcome)
