"""``python -m orv``: play a level in the terminal, or write a frame viewer page for it."""

from __future__ import annotations

import argparse
import os
import sys
from collections.abc import Sequence
from pathlib import Path

import orv_engine

from orv.check_command import add_check_parser, run_check
from orv.generate_command import add_generate_parser, run_generate
from orv.levels import LevelError, load_level
from orv.player import play
from orv.samples import DEFAULT_SAMPLE, SAMPLES, load_sample
from orv.viewer import write_viewer

EXIT_FINISHED = 0
EXIT_OUT_OF_STEPS = 1
EXIT_BAD_INPUT = 2


class LevelNotFound(Exception):
    """The LEVEL argument names neither a file nor a bundled sample."""


def open_level(argument: str) -> orv_engine.Environment:
    """A level file if ``argument`` names one, else the bundled sample of that name."""
    if os.path.exists(argument):
        return load_level(argument)
    if argument in SAMPLES:
        return load_sample(argument)
    raise LevelNotFound(f'no level file or bundled sample named "{argument}" '
                        f'(samples: {", ".join(SAMPLES)})')


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(prog="python -m orv", description=__doc__)
    commands = parser.add_subparsers(dest="command", required=True)
    level_help = f"a level file, or the name of a bundled sample (default: {DEFAULT_SAMPLE})"

    play_parser = commands.add_parser(
        "play", help="play a level, narrating every frame",
        epilog="exit status: 0 when the level ends, 1 when it runs out of steps, "
               "2 when the level cannot be loaded")
    play_parser.add_argument("level", nargs="?", default=DEFAULT_SAMPLE, help=level_help)
    play_parser.add_argument("--json", action="store_true",
                             help="print each frame's JSON text, one per line; the summary "
                                  "then goes to standard error")

    view_parser = commands.add_parser(
        "view", help="write an HTML page that steps through the frames of a level",
        epilog="exit status: 0 when the page is written, 2 when the level cannot be loaded "
               "or the page cannot be written")
    view_parser.add_argument("level", nargs="?", default=DEFAULT_SAMPLE, help=level_help)
    view_parser.add_argument("-o", "--output", type=Path,
                             help="the page to write (default: LEVEL's name with .html)")

    commands.add_parser("samples", help="list the bundled sample levels")
    add_check_parser(commands)
    add_generate_parser(commands)
    return parser


def run(arguments: argparse.Namespace) -> int:
    if arguments.command == "check":
        return run_check(arguments)
    if arguments.command == "generate":
        return run_generate(arguments)
    if arguments.command == "samples":
        for name, story in SAMPLES.items():
            print(f"{name:<20} {story}")
        return EXIT_FINISHED
    try:
        top = open_level(arguments.level)
    except (LevelError, LevelNotFound, OSError) as error:
        print(f"python -m orv: cannot load level: {error}", file=sys.stderr)
        return EXIT_BAD_INPUT
    if arguments.command == "view":
        return view(top, arguments.level, arguments.output)
    summary = play(top, sys.stdout, raw_json=arguments.json,
                   summary_out=sys.stderr if arguments.json else None)
    return EXIT_FINISHED if summary.final_status == "FINISHED" else EXIT_OUT_OF_STEPS


def view(top: orv_engine.Environment, level: str, output: Path | None) -> int:
    title = Path(level).stem
    output = output or Path(title + ".html")
    try:
        write_viewer(top, output, title=title)
    except OSError as error:
        print(f"python -m orv: cannot write {output}: {error.strerror}", file=sys.stderr)
        return EXIT_BAD_INPUT
    print(f"wrote {output}")
    return EXIT_FINISHED


def main(argv: Sequence[str] | None = None) -> int:
    arguments = build_parser().parse_args(argv)
    try:
        return run(arguments)
    except BrokenPipeError:
        # The reader went away (``| head``): stop quietly, as command-line tools do.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return EXIT_FINISHED
