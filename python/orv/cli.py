"""Play a level of the orv_engine puzzle game in the terminal, write a frame viewer page for
it, edit and replay it in the browser (studio), draw its run as a GIF (export), look up the
rules of its agents, check many levels at once, generate random ones, or solve a puzzle
(a level with a hand of agents to place).

LEVEL is a level file (the JSON that Environment.to_json writes, see the README's "Level
files") or the name of a bundled sample level.
"""

from __future__ import annotations

import argparse
import errno
import io
import os
import sys
from collections.abc import Sequence
from importlib import metadata

from orv.commands import command_module, commands_dict
from orv.exit_status import ExitStatus, exit_status_help
from orv.terminal import say

DISTRIBUTION = "orv_engine"
OUTPUT_ERRORS = (errno.ENOSPC, errno.EIO, errno.EDQUOT, errno.EFBIG)


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
    for name, info in commands_dict.items():
        module = command_module(name)
        module.add_arguments(commands.add_parser(
            name, help=info.summary, description=module.DESCRIPTION,
            epilog=exit_status_help(module.EXIT_STATUSES, module.EXIT_NOTE)))
    return parser


def main(argv: Sequence[str] | None = None, prog: str = "python -m orv") -> int:
    arguments = build_parser(prog).parse_args(argv)
    if isinstance(sys.stdout, io.TextIOWrapper):
        # The narration writes arrows and other signs; a terminal that cannot show them
        # gets escapes rather than a crash.
        sys.stdout.reconfigure(errors="backslashreplace")
    name = f"{prog} {arguments.command}"
    try:
        status = command_module(arguments.command).run(arguments, prog)
        sys.stdout.flush()
        return status
    except BrokenPipeError:
        # The reader went away (``| head``): stop quietly, as command-line tools do.
        _drop_output()
        return ExitStatus.OK
    except OSError as error:
        # The commands report the files they read and write themselves; what is left is
        # mostly standard output on a full or failing device.
        say(f"{name}: {_failure(error)}")
        return ExitStatus.CANNOT_RUN
    except KeyboardInterrupt:
        say(f"{name}: interrupted")
        return ExitStatus.INTERRUPTED
    except MemoryError:
        pass
    # Said outside the handler, once the run's frames and what they held are released.
    say(f"{name}: out of memory")
    return ExitStatus.CANNOT_RUN


def _failure(error: OSError) -> str:
    if error.errno in OUTPUT_ERRORS:
        _drop_output()
        return f"cannot write the output: {error.strerror}"
    return f"failed: {error.strerror or error}"


def _drop_output() -> None:
    """Send what is left of standard output nowhere, so that exiting does not fail again."""
    os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())


def console() -> int:
    """The ``orv`` command that the package installs."""
    return main(prog="orv")
