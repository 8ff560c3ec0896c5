"""``orv agents``: the rules, what each agent kind does and how a step is taken."""

from __future__ import annotations

import argparse

from orv.exit_status import ExitStatus, StatusMeanings
from orv.rules.text import rules_text

DESCRIPTION = None
EXIT_STATUSES: StatusMeanings = ()
EXIT_NOTE = ""


def add_arguments(parser: argparse.ArgumentParser) -> None:
    pass


def run(_arguments: argparse.Namespace, _prog: str) -> int:
    print(rules_text())
    return ExitStatus.OK
