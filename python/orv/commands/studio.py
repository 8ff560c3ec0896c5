"""``orv studio``: edit a level in the browser and see its run again after every edit."""

from __future__ import annotations

import argparse
import asyncio
import os
import secrets
import socket
import sys

from orv.commands.open_level import open_level_or_report
from orv.commands.options import add_level_argument
from orv.exit_status import ExitStatus, StatusMeanings
from orv.extras import MissingExtra, need_extra

LOOPBACK = "127.0.0.1"


def port_number(text: str) -> int:
    """An argparse type: a TCP port, or 0 for any free one."""
    value = int(text)
    if not 0 <= value <= 65535:
        raise argparse.ArgumentTypeError(f"must be from 0 to 65535, not {value}")
    return value


DESCRIPTION = ("Serve an editing studio for a level on this machine and open it in the "
               "browser: change charges, agents, gates and zones, undo and redo, and see the "
               "run again at once; Save writes the level file. A bundled sample is saved as a "
               "new NAME.json in the current folder; a file that does not exist yet starts "
               "as a new empty level. Needs pip install 'orv_engine[studio]'.")
EXIT_STATUSES: StatusMeanings = (
    (ExitStatus.CANNOT_RUN, "when the level cannot be loaded, the server cannot start or "
                            "this installation has no browser engine"),
    (ExitStatus.INTERRUPTED, "when stopped with Ctrl-C"))
EXIT_NOTE = ""


def add_arguments(parser: argparse.ArgumentParser) -> None:
    add_level_argument(parser)
    parser.add_argument("--port", type=port_number, default=0,
                        help="the port to listen on (default: any free one)")
    parser.add_argument("--host", default=None,
                        help=f"the address to listen on (default: {LOOPBACK}, this machine "
                             "only); another address lets other machines reach the studio")
    parser.add_argument("--no-browser", action="store_true",
                        help="only print the studio's address; do not open a browser")


def run(arguments: argparse.Namespace, prog: str) -> int:
    try:
        need_extra("studio", "orv studio")
    except MissingExtra as error:
        print(f"{prog}: {error}", file=sys.stderr)
        return ExitStatus.CANNOT_RUN
    from orv.studio.guard import own_hosts
    from orv.studio.level_file import LevelFile
    from orv.studio.server import Studio
    from orv.web import BrowserEngineMissing, browser_engine_path

    # The page plays the level with the browser engine.
    try:
        browser_engine_path()
    except BrowserEngineMissing as error:
        print(f"{prog}: {error}", file=sys.stderr)
        return ExitStatus.CANNOT_RUN

    level_file = LevelFile.for_argument(arguments.level)
    if level_file.sample is None and not os.path.lexists(level_file.path):
        try:
            level_file.start_new()
        except OSError as error:
            print(f"{prog}: cannot make a new level file {level_file.path}: "
                  f"{error.strerror or error}", file=sys.stderr)
            return ExitStatus.CANNOT_RUN
        print(f"orv studio: made a new empty level file {level_file.path}", flush=True)
    if open_level_or_report(arguments.level, prog) is None:
        return ExitStatus.CANNOT_RUN
    host = arguments.host or LOOPBACK
    listening = _listen(host, arguments.port, prog)
    if listening is None:
        return ExitStatus.CANNOT_RUN
    port = listening.getsockname()[1]
    token = secrets.token_urlsafe(24)
    where = (f"bundled sample {level_file.sample}; Save writes {level_file.path}"
             if level_file.sample else str(level_file.path))
    print(f"orv studio: editing {where}", flush=True)
    studio = Studio(level_file, token, own_hosts(host, port))
    try:
        asyncio.run(studio.run(listening, f"http://{_shown(host)}:{port}/?token={token}",
                               not arguments.no_browser))
    except KeyboardInterrupt:
        print("orv studio: stopped", file=sys.stderr)
        return ExitStatus.INTERRUPTED
    except OSError as error:
        print(f"{prog}: the studio stopped: {error}", file=sys.stderr)
        return ExitStatus.CANNOT_RUN
    return ExitStatus.OK


def _listen(host: str, port: int, prog: str) -> socket.socket | None:
    """The listening socket, or None once the reason it cannot be made is printed."""
    from orv.studio.guard import is_loopback

    try:
        listening = socket.create_server((host, port))
    except OSError as error:
        print(f"{prog}: cannot listen on {host} port {port}: {error.strerror}", file=sys.stderr)
        return None
    if not is_loopback(host):
        print(f"{prog}: warning: listening on {host}, beyond this machine's loopback: other "
              "machines that reach it and learn the address below can change the level file",
              file=sys.stderr)
    return listening


def _shown(host: str) -> str:
    """The host as the address names it; a browser here reaches a wildcard address through
    the loopback."""
    wildcard = {"0.0.0.0": LOOPBACK, "::": "[::1]"}
    return wildcard.get(host, f"[{host}]" if ":" in host else host)
