"""``python -m orv generate``: write a set of random, valid level files."""

from __future__ import annotations

import argparse
import sys
from pathlib import Path

from orv.commands.options import positive_int
from orv.commands.progress import Progress
from orv.exit_status import ExitStatus, StatusMeanings
from orv.generating.levels import generate_levels
from orv.generating.puzzles import GenerationFailed, generate_puzzles
from orv.playing.numbers import counted


DESCRIPTION = ("Write COUNT random level files named level_N.json: nested zones, charges, "
               "agents of every kind, and gates whose targets are reachable, unreachable or "
               "random; or, with --puzzles, puzzle files named puzzle_N.json whose hand of "
               "agents the solver has shown to open their gate. The same seed gives the same "
               "files, byte for byte.")
EXIT_STATUSES: StatusMeanings = (
    (ExitStatus.OK, "when every file is written"),
    (ExitStatus.CANNOT_RUN, "when one cannot be written or a puzzle cannot be made"))
EXIT_NOTE = ""


def add_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--count", type=positive_int, required=True, metavar="N",
                        help="how many levels to write")
    parser.add_argument("--seed", type=int, required=True, metavar="S",
                        help="the seed the set is made from")
    parser.add_argument("--out", type=Path, required=True, metavar="DIR",
                        help="the folder to write into (made if missing)")
    parser.add_argument("--zones", type=positive_int, default=4, metavar="Z",
                        help="zones per level, nested at random (default: %(default)s)")
    parser.add_argument("--puzzles", action="store_true",
                        help="write puzzles: levels with a hand of agents that solve them")
    parser.add_argument("--hand", type=positive_int, default=3, metavar="K",
                        help="with --puzzles: agents in each hand (default: %(default)s)")
    parser.add_argument("--unique", action="store_true",
                        help="with --puzzles: only puzzles with one minimal solution")


def run(arguments: argparse.Namespace, prog: str = "python -m orv") -> int:
    what = "puzzle" if arguments.puzzles else "level"
    if not arguments.puzzles and (arguments.unique or arguments.hand != 3):
        print(f"{prog} generate: --hand and --unique need --puzzles", file=sys.stderr)
        return ExitStatus.CANNOT_RUN
    progress = Progress(arguments.count, what + "s")
    try:
        if arguments.puzzles:
            generate_puzzles(arguments.count, arguments.seed, arguments.out, arguments.zones,
                             arguments.hand, arguments.unique,
                             on_puzzle=lambda _: progress.advance())
        else:
            generate_levels(arguments.count, arguments.seed, arguments.out, arguments.zones,
                            on_level=lambda _: progress.advance())
    except OSError as error:
        print(f"{prog} generate: cannot write into {arguments.out}: {error}",
              file=sys.stderr)
        return ExitStatus.CANNOT_RUN
    except GenerationFailed as error:
        print(f"{prog} generate: {error}", file=sys.stderr)
        return ExitStatus.CANNOT_RUN
    finally:
        progress.close()
    print(f"wrote {counted(arguments.count, what)} into {arguments.out}")
    return ExitStatus.OK
