"""``orv export``: draw the run of a level as an animated GIF or as one PNG per frame."""

from __future__ import annotations

import argparse
import sys
from pathlib import Path

from orv.commands.open_level import open_level_or_report
from orv.commands.options import add_level_argument, positive_int
from orv.commands.progress import Progress
from orv.exit_status import ExitStatus, StatusMeanings
from orv.extras import MissingExtra, need_extra
from orv.levels.files import level_to_json

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
               "Needs pip install 'orv_engine[export]'.")
EXIT_STATUSES: StatusMeanings = (
    (ExitStatus.OK, "when the pictures are written"),
    (ExitStatus.CANNOT_RUN, "when the level cannot be loaded or the pictures cannot be "
                            "written"),
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


def run(arguments: argparse.Namespace, prog: str) -> int:
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
