"""The ``orv`` command line: every command registered in ``commands_dict``, each in a module
of its own that adds its arguments and runs it, and the progress display they share. The
commands only parse and print; the work lives in the other subpackages, where a notebook or
a test can call it."""

from __future__ import annotations

import argparse
import importlib
from typing import NamedTuple, Protocol, cast

from orv.exit_status import StatusMeanings


class CommandInfo(NamedTuple):
    module_path: str
    summary: str


class CommandModule(Protocol):
    """What every command's module offers."""

    DESCRIPTION: str | None
    EXIT_STATUSES: StatusMeanings
    EXIT_NOTE: str

    def add_arguments(self, parser: argparse.ArgumentParser) -> None: ...
    def run(self, arguments: argparse.Namespace, prog: str) -> int: ...


# Every command, in the order ``orv --help`` lists them.
commands_dict: dict[str, CommandInfo] = {
    "play": CommandInfo("orv.commands.play", "play a level, narrating every frame, and say "
                                             "whether it was solved"),
    "view": CommandInfo("orv.commands.view", "write an HTML page that steps through the "
                                             "frames of a level"),
    "samples": CommandInfo("orv.commands.samples", "list the bundled sample levels"),
    "agents": CommandInfo("orv.commands.agents", "print the rules: what each of the 13 agent "
                                                 "kinds does, and how a step is taken"),
    "check": CommandInfo("orv.commands.check", "play many levels to their end and report "
                                               "which are solved, stuck or out of steps"),
    "generate": CommandInfo("orv.commands.generate", "write random level files, the same "
                                                     "ones again for the same seed"),
    "export": CommandInfo("orv.commands.export", "draw the run of a level as an animated GIF "
                                                 "or PNG pictures"),
    "studio": CommandInfo("orv.commands.studio", "edit a level in the browser and play it "
                                                 "again after every edit"),
    "solve": CommandInfo("orv.commands.solve", "find every placement of a puzzle's hand that "
                                               "opens all its gates"),
}


def command_module(name: str) -> CommandModule:
    return cast(CommandModule, importlib.import_module(commands_dict[name].module_path))
