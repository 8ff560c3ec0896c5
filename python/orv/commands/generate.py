"""``python -m orv generate``: write a set of random, valid level files, puzzles, or a
campaign of puzzles."""

from __future__ import annotations

import argparse
import math
import sys
from pathlib import Path

from orv.commands.options import positive_int
from orv.commands.progress import Progress
from orv.exit_status import ExitStatus, StatusMeanings
from orv.generating.campaign import CampaignPuzzle, generate_campaign
from orv.generating.levels import generate_levels
from orv.generating.puzzles import GenerationFailed, generate_puzzles
from orv.playing.numbers import counted

# The options of --puzzles alone, with their defaults.
PUZZLE_OPTIONS = {"hand": 3, "unique": False, "min_bits": 0.0, "max_bits": math.inf,
                  "max_number": None}


DESCRIPTION = ("Write COUNT random level files named level_N.json: nested zones, charges, "
               "agents of every kind, and gates whose targets are reachable, unreachable or "
               "random; or, with --puzzles, puzzle files named puzzle_N.json whose hand of "
               "agents the solver has shown to open their gate; or, with --campaign N, N "
               "puzzles in play order (NN_title.json), gentle first and hard last, each with a "
               "title and a hint. The same seed gives the same files, byte for byte.")
EXIT_STATUSES: StatusMeanings = (
    (ExitStatus.OK, "when every file is written"),
    (ExitStatus.CANNOT_RUN, "when one cannot be written or a puzzle cannot be made"))
EXIT_NOTE = ""


def add_arguments(parser: argparse.ArgumentParser) -> None:
    how_many = parser.add_mutually_exclusive_group(required=True)
    how_many.add_argument("--count", type=positive_int, metavar="N",
                          help="how many levels (or with --puzzles, puzzles) to write")
    how_many.add_argument("--campaign", type=positive_int, metavar="N",
                          help="write a campaign of N puzzles: one minimal solution each, "
                               "whole numbers within ±1000, difficulty rising from about 1 "
                               "to 12.5 bits")
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
    parser.add_argument("--min-bits", type=bits, default=0.0, metavar="B",
                        help="with --puzzles: only puzzles of at least B bits of difficulty, "
                             "as orv solve measures it")
    parser.add_argument("--max-bits", type=bits, default=math.inf, metavar="B",
                        help="with --puzzles: only puzzles of at most B bits of difficulty")
    parser.add_argument("--max-number", type=positive_int, metavar="M",
                        help="with --puzzles: only puzzles whose minimal solutions, played, "
                             "keep every charge, gate target and zone total a whole number "
                             "within ±M")
    parser.add_argument("--first", type=positive_int, metavar="K",
                        help="with --campaign: write only its first K puzzles (the same files "
                             "as in the whole campaign)")


def bits(text: str) -> float:
    """An argparse type: a finite number of bits of at least 0."""
    value = float(text)
    if not 0 <= value < math.inf:
        raise argparse.ArgumentTypeError(f"must be a number of bits of at least 0, not {text}")
    return value


def run(arguments: argparse.Namespace, prog: str = "python -m orv") -> int:
    problem = _combination_problem(arguments)
    if problem is not None:
        print(f"{prog} generate: {problem}", file=sys.stderr)
        return ExitStatus.CANNOT_RUN
    campaign = arguments.campaign is not None
    what = "puzzle" if arguments.puzzles or campaign else "level"
    count = min(arguments.campaign, arguments.first or arguments.campaign) if campaign \
        else arguments.count
    progress = Progress(count, what + "s")

    def made(puzzle: CampaignPuzzle) -> None:
        progress.write(puzzle.describe(), sys.stderr)
        progress.advance()

    try:
        if campaign:
            generate_campaign(arguments.campaign, arguments.seed, arguments.out,
                              arguments.first, on_puzzle=made)
        elif arguments.puzzles:
            generate_puzzles(arguments.count, arguments.seed, arguments.out, arguments.zones,
                             arguments.hand, arguments.unique,
                             on_puzzle=lambda _: progress.advance(),
                             bits=(arguments.min_bits, arguments.max_bits),
                             largest_number=arguments.max_number)
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
    print(f"wrote {counted(count, what)} into {arguments.out}")
    return ExitStatus.OK


def _combination_problem(arguments: argparse.Namespace) -> str | None:
    """Options given together that do not go together, said in a line; None if none are."""
    puzzle_options = [f"--{name.replace('_', '-')}" for name, default in PUZZLE_OPTIONS.items()
                      if getattr(arguments, name) != default]
    if arguments.campaign is not None:
        given = [*puzzle_options, *(["--puzzles"] if arguments.puzzles else []),
                 *(["--zones"] if arguments.zones != 4 else [])]
        if given:
            return (f"{', '.join(given)} cannot go with --campaign, whose puzzles have their "
                    "own sizes and demands")
        return None
    if arguments.first is not None:
        return "--first needs --campaign"
    if not arguments.puzzles and puzzle_options:
        return f"{', '.join(puzzle_options)} need{'s' if len(puzzle_options) == 1 else ''} " \
               "--puzzles"
    if arguments.min_bits > arguments.max_bits:
        return (f"--min-bits {arguments.min_bits:g} is above --max-bits "
                f"{arguments.max_bits:g}: no puzzle can be both")
    return None
