"""``orv samples`` and ``orv agents``: what ships with the package, and the rules."""

from __future__ import annotations

import argparse

from orv.commands.options import Commands
from orv.exit_status import ExitStatus
from orv.levels.samples import SAMPLES
from orv.rules.text import rules_text


def add_info_parsers(commands: Commands) -> None:
    commands.add_parser("samples", help="list the bundled sample levels")
    commands.add_parser("agents", help="print the rules: what each of the 13 agent kinds "
                                       "does, and how a step is taken")


def run_samples(_arguments: argparse.Namespace, _prog: str) -> int:
    for name, story in SAMPLES.items():
        print(f"{name:<20} {story}")
    return ExitStatus.OK


def run_agents(_arguments: argparse.Namespace, _prog: str) -> int:
    print(rules_text())
    return ExitStatus.OK
