"""``orv view``: write the frame viewer page of a level."""

from __future__ import annotations

import argparse
import sys
from pathlib import Path

from orv.commands.open_level import open_level_or_report
from orv.commands.options import add_level_argument
from orv.exit_status import ExitStatus, StatusMeanings
from orv.levels.puzzle_keys import hand_note
from orv.terminal import say
from orv.viewer.page import write_viewer


DESCRIPTION = None
EXIT_STATUSES: StatusMeanings = (
    (ExitStatus.OK, "when the page is written"),
    (ExitStatus.CANNOT_RUN, "when the level cannot be loaded or the page cannot be written"))
EXIT_NOTE = ""


def add_arguments(parser: argparse.ArgumentParser) -> None:
    add_level_argument(parser)
    parser.add_argument("-o", "--output", type=Path,
                        help="the page to write (default: LEVEL's name with .html)")


def run(arguments: argparse.Namespace, prog: str) -> int:
    top = open_level_or_report(arguments.level, prog)
    if top is None:
        return ExitStatus.CANNOT_RUN
    title = Path(arguments.level).stem
    output = arguments.output or Path(title + ".html")
    try:
        write_viewer(top, output, title=title)
    except OSError as error:
        say(f"{prog}: cannot write {output}: {error.strerror}")
        return ExitStatus.CANNOT_RUN
    note = hand_note(top)
    say(f"wrote {output}" + (f"; the level has {note}" if note else ""), sys.stdout)
    return ExitStatus.OK
