"""Play a level of the orv_engine puzzle game in the terminal, write a frame viewer page for
it, look up the rules of its agents, check many levels at once, or generate random ones.

LEVEL is a level file (the JSON that Environment.to_json writes, see the README's "Level
files") or the name of a bundled sample level.
"""

from __future__ import annotations

import argparse
import io
import os
import sys
from collections.abc import Callable, Sequence
from difflib import get_close_matches
from importlib import metadata
from pathlib import Path

import orv_engine

from orv.check_command import add_check_parser, run_check
from orv.generate_command import add_generate_parser, run_generate
from orv.levels import LevelError, load_level
from orv.outcome import EXIT_CANNOT_LOAD, exit_status
from orv.player import play
from orv.rules import rules_text
from orv.samples import DEFAULT_SAMPLE, SAMPLES, load_sample
from orv.viewer import write_viewer

EXIT_FINISHED = 0
EXIT_OUT_OF_STEPS = 1
EXIT_BAD_INPUT = EXIT_CANNOT_LOAD
DISTRIBUTION = "orv_engine"

EXIT_STATUS_HELP = ("exit status: 0 when the level is solved (every gate opened) or ended "
                    "(it has no gate), 1 when it runs out of its 1000 steps, 2 when it cannot "
                    "be loaded, 3 when it is stuck (it ended with a gate still closed)")


class LevelNotFound(Exception):
    """The LEVEL argument names neither a file nor a bundled sample."""


def open_level(argument: str, on_warning: Callable[[str], None] | None = None
               ) -> orv_engine.Environment:
    """A level file if ``argument`` names one, else the bundled sample of that name."""
    if os.path.isdir(argument):
        raise LevelNotFound(f'"{argument}" is a directory, not a level file')
    if os.path.exists(argument):
        return load_level(argument, on_warning)
    if argument in SAMPLES:
        return load_sample(argument)
    close = get_close_matches(argument, SAMPLES, n=1)
    hint = f'did you mean "{close[0]}"? ' if close else ""
    raise LevelNotFound(f'no level file or bundled sample named "{argument}" '
                        f'({hint}samples: {", ".join(SAMPLES)})')


def version() -> str:
    try:
        return metadata.version(DISTRIBUTION)
    except metadata.PackageNotFoundError:
        return "unknown (not installed)"


def build_parser(prog: str = "python -m orv") -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(prog=prog, description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--version", action="version", version=f"%(prog)s {version()}")
    commands = parser.add_subparsers(dest="command", required=True)
    level_help = f"a level file, or the name of a bundled sample (default: {DEFAULT_SAMPLE})"

    play_parser = commands.add_parser(
        "play", help="play a level, narrating every frame, and say whether it was solved",
        description="Play a level to its end, one line per frame with the arithmetic of the "
                    "step, then a summary with the outcome: solved, ended, stuck or out of "
                    "steps.", epilog=EXIT_STATUS_HELP)
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
    commands.add_parser("agents", help="print the rules: what each of the 13 agent kinds "
                                       "does, and how a step is taken")
    add_check_parser(commands)
    add_generate_parser(commands)
    return parser


def run(arguments: argparse.Namespace, prog: str) -> int:
    if arguments.command == "check":
        return run_check(arguments, prog)
    if arguments.command == "generate":
        return run_generate(arguments, prog)
    if arguments.command == "samples":
        for name, story in SAMPLES.items():
            print(f"{name:<20} {story}")
        return EXIT_FINISHED
    if arguments.command == "agents":
        print(rules_text())
        return EXIT_FINISHED
    try:
        top = open_level(arguments.level,
                         lambda warning: print(f"{prog}: warning: {warning}", file=sys.stderr))
    except (LevelError, LevelNotFound, OSError) as error:
        print(f"{prog}: cannot load level: {error}", file=sys.stderr)
        return EXIT_BAD_INPUT
    if arguments.command == "view":
        return view(top, arguments.level, arguments.output, prog)
    result = play(top, sys.stdout, raw_json=arguments.json,
                  summary_out=sys.stderr if arguments.json else None)
    return exit_status(result.outcome)


def view(top: orv_engine.Environment, level: str, output: Path | None, prog: str) -> int:
    title = Path(level).stem
    output = output or Path(title + ".html")
    try:
        write_viewer(top, output, title=title)
    except OSError as error:
        print(f"{prog}: cannot write {output}: {error.strerror}", file=sys.stderr)
        return EXIT_BAD_INPUT
    print(f"wrote {output}")
    return EXIT_FINISHED


def main(argv: Sequence[str] | None = None, prog: str = "python -m orv") -> int:
    arguments = build_parser(prog).parse_args(argv)
    if isinstance(sys.stdout, io.TextIOWrapper):
        # The narration writes arrows and other signs; a terminal that cannot show them
        # gets escapes rather than a crash.
        sys.stdout.reconfigure(errors="backslashreplace")
    try:
        return run(arguments, prog)
    except BrokenPipeError:
        # The reader went away (``| head``): stop quietly, as command-line tools do.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return EXIT_FINISHED


def console() -> int:
    """The ``orv`` command that the package installs."""
    return main(prog="orv")
