"""``orv export``: draw the run of a level as an animated GIF or as one PNG per frame, or write
the game page of some puzzles (``--game``)."""

from __future__ import annotations

import argparse
import sys
from pathlib import Path

from orv.commands.open_level import open_level_or_report
from orv.commands.options import add_level_argument, positive_int
from orv.commands.progress import Progress
from orv.exit_status import ExitStatus, StatusMeanings
from orv.extras import MissingExtra, need_extra
from orv.levels.files import LevelError, level_to_json
from orv.levels.samples import DEFAULT_SAMPLE, LevelNotFound
from orv.playing.numbers import counted
from orv.terminal import say

SMALLEST_SIZE = (200, 150)
LARGEST_SIZE = (4000, 4000)


def picture_size(text: str) -> tuple[int, int]:
    """An argparse type: ``WIDTHxHEIGHT`` in pixels, within sizes a picture can use."""
    width, separator, height = text.lower().partition("x")
    if not separator or not width.isdigit() or not height.isdigit():
        raise argparse.ArgumentTypeError(f"expected WIDTHxHEIGHT, such as 800x600, not {text!r}")
    size = (int(width), int(height))
    if not all(low <= value <= high
               for low, value, high in zip(SMALLEST_SIZE, size, LARGEST_SIZE)):
        raise argparse.ArgumentTypeError(
            f"{text} is outside {SMALLEST_SIZE[0]}x{SMALLEST_SIZE[1]} to "
            f"{LARGEST_SIZE[0]}x{LARGEST_SIZE[1]}")
    return size


DESCRIPTION = ("Draw every frame of a level's run, from the level as loaded to its end: the "
               "zones as nested boxes with their charges and agents, the step's arithmetic as "
               "a caption (green when a gate opens) and the zone the step changed outlined. "
               "Needs pip install 'orv_engine[export]'. Or, with --game PUZZLE... -o FILE, "
               "write one HTML page in which a player solves the puzzles (paths, sample names, "
               "or 'campaign' for the shipped campaign), with the browser engine inside and "
               "no network needed.")
EXIT_STATUSES: StatusMeanings = (
    (ExitStatus.OK, "when the pictures or the page are written"),
    (ExitStatus.CANNOT_RUN, "when a level or puzzle cannot be loaded, the pictures or the "
                            "page cannot be written, or (--game) this installation has no "
                            "browser engine"),
    (ExitStatus.INTERRUPTED, "when interrupted"))
EXIT_NOTE = ""


def add_arguments(parser: argparse.ArgumentParser) -> None:
    add_level_argument(parser)
    parser.add_argument("--gif", type=Path, metavar="FILE", help="write an animated GIF")
    parser.add_argument("--png", type=Path, metavar="DIR",
                        help="write one PNG per frame into DIR (frame_0000.png, ...)")
    parser.add_argument("--duration", type=positive_int, default=600, metavar="MS",
                        help="how long each frame shows in the GIF, in milliseconds (default: "
                             "600; the last frame stays four times as long)")
    parser.add_argument("--size", type=picture_size, default=(800, 600),
                        metavar="WIDTHxHEIGHT", help="the pictures' size (default: 800x600)")
    parser.add_argument("--game", nargs="+", metavar="PUZZLE",
                        help="write the game page of these puzzles (files, sample names, or "
                             "'campaign') instead of pictures")
    parser.add_argument("-o", "--output", type=Path, metavar="FILE",
                        help="with --game: the page to write")
    parser.add_argument("--title", default=None, metavar="TEXT",
                        help="with --game: the page's title (default: the campaign's, or "
                             "the first puzzle's)")


def run(arguments: argparse.Namespace, prog: str) -> int:
    if arguments.game is not None:
        return run_game(arguments, prog)
    if arguments.output is not None or arguments.title is not None:
        print(f"{prog} export: -o and --title go with --game", file=sys.stderr)
        return ExitStatus.CANNOT_RUN
    if arguments.gif is None and arguments.png is None:
        print(f"{prog} export: say where the pictures go: --gif FILE, --png DIR or both",
              file=sys.stderr)
        return ExitStatus.CANNOT_RUN
    try:
        need_extra("export", "orv export")
    except MissingExtra as error:
        print(f"{prog}: {error}", file=sys.stderr)
        return ExitStatus.CANNOT_RUN
    from orv.export.animation import Pictures, scene_count, write_pictures

    top = open_level_or_report(arguments.level, prog)
    if top is None:
        return ExitStatus.CANNOT_RUN
    text = level_to_json(top)
    pictures = Pictures(arguments.gif, arguments.png, arguments.duration, arguments.size)
    counted = scene_count(text)
    progress = Progress(counted[0], "frames")
    try:
        count = write_pictures(text, Path(arguments.level).stem, pictures, progress.advance,
                               counted)
    except OSError as error:
        print(f"{prog}: cannot write {error.filename or 'the pictures'}: "
              f"{error.strerror or error}", file=sys.stderr)
        return ExitStatus.CANNOT_RUN
    except KeyboardInterrupt:
        return ExitStatus.INTERRUPTED
    finally:
        progress.close()
    written = [f"{arguments.gif}" if arguments.gif else "", f"{arguments.png}/" if
               arguments.png else ""]
    print(f"wrote {count} frames to {' and '.join(w for w in written if w)}")
    return ExitStatus.OK


def run_game(arguments: argparse.Namespace, prog: str) -> int:
    """``--game``: the puzzles' page, or one line saying why it cannot be written."""
    from orv.game.page import CAMPAIGN, open_game_puzzles, write_game
    from orv.web import BrowserEngineMissing, browser_engine_path

    if arguments.output is None or arguments.gif or arguments.png or \
            arguments.level != DEFAULT_SAMPLE:
        print(f"{prog} export: --game takes its puzzles and -o FILE, and no level, --gif or "
              "--png", file=sys.stderr)
        return ExitStatus.CANNOT_RUN
    try:
        browser_engine_path()
    except BrowserEngineMissing as error:
        say(f"{prog} export: {error}")
        return ExitStatus.CANNOT_RUN
    try:
        puzzles = open_game_puzzles(arguments.game)
    except LevelError as error:
        place, problem = error.problems[0]
        say(f"{prog} export: cannot use puzzle: {f'{place}: ' if place else ''}{problem}")
        return ExitStatus.CANNOT_RUN
    except (LevelNotFound, OSError) as error:
        say(f"{prog} export: cannot use puzzle: {error}")
        return ExitStatus.CANNOT_RUN
    title = arguments.title or ("orv: the campaign" if arguments.game == [CAMPAIGN]
                                else puzzles[0].title)
    try:
        write_game(puzzles, arguments.output, title)
    except OSError as error:
        say(f"{prog} export: cannot write {arguments.output}: {error.strerror or error}")
        return ExitStatus.CANNOT_RUN
    print(f"wrote the game page of {counted(len(puzzles), 'puzzle')} to {arguments.output}")
    return ExitStatus.OK
