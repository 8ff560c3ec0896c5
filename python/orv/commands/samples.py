"""``orv samples``: the levels that ship with the package."""

from __future__ import annotations

import argparse

from orv.exit_status import ExitStatus, StatusMeanings
from orv.levels.samples import SAMPLES

DESCRIPTION = None
EXIT_STATUSES: StatusMeanings = ()
EXIT_NOTE = ""


def add_arguments(parser: argparse.ArgumentParser) -> None:
    pass


def run(_arguments: argparse.Namespace, _prog: str) -> int:
    for name, story in SAMPLES.items():
        print(f"{name:<20} {story}")
    return ExitStatus.OK
