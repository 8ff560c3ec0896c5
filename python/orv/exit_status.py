"""The exit statuses of every ``orv`` command, what each outcome exits with, and the help
text that tells them, defined once.

``play`` and ``check`` give the status of the outcome (the gravest one of all the levels for
``check``), ``solve`` that of its verdict; every command gives ``CANNOT_RUN`` for input it
cannot use or an environment that fails it (a file that cannot be loaded or written, no
scheduler), and ``INTERRUPTED`` when Ctrl-C ends it.
"""

from __future__ import annotations

from enum import IntEnum


class ExitStatus(IntEnum):
    OK = 0
    """Solved, or ended with no gate to open; for other commands: done."""
    OUT_OF_STEPS = 1
    """A level ran out of its 1000 steps."""
    BOUND_REACHED = 1
    """``solve``: the placement bound was reached before a solution was found."""
    CANNOT_RUN = 2
    """A level cannot be loaded, or the command cannot do its work."""
    STUCK = 3
    """A level ended with a gate still closed."""
    NOT_SOLVABLE = 3
    """``solve``: no placement of the hand solves the puzzle (every one was tried)."""
    INTERRUPTED = 130
    """Ended by Ctrl-C, as a shell reports a command ended by SIGINT."""


# The status of each outcome a command reports. The outcomes of a level come first, gravest
# first: ``check`` exits with that of the first one any of its levels had, since a level that
# cannot even be loaded ("error") hides the others, and a level that never ends is a graver
# fault than one that ends with a gate closed. Then the verdicts of ``solve``.
OUTCOME_STATUSES: dict[str, ExitStatus] = {
    "error": ExitStatus.CANNOT_RUN,
    "out of steps": ExitStatus.OUT_OF_STEPS,
    "stuck": ExitStatus.STUCK,
    "solved": ExitStatus.OK,
    "ended": ExitStatus.OK,
    "interrupted": ExitStatus.INTERRUPTED,
    "solvable": ExitStatus.OK,
    "bound reached": ExitStatus.BOUND_REACHED,
    "not solvable": ExitStatus.NOT_SOLVABLE,
}
LEVEL_OUTCOMES = ("error", "out of steps", "stuck", "solved", "ended")

# What a command's exit statuses mean, in the order its help tells them.
StatusMeanings = tuple[tuple[ExitStatus, str], ...]


def gravest_status(outcomes: set[str]) -> ExitStatus:
    """The status of the gravest of a run's level outcomes; OK for none."""
    return next((OUTCOME_STATUSES[outcome] for outcome in LEVEL_OUTCOMES
                 if outcome in outcomes), ExitStatus.OK)


def precedence_note() -> str:
    """How ``check`` picks one status among its levels', told from the order above."""
    grave = [OUTCOME_STATUSES[outcome] for outcome in LEVEL_OUTCOMES
             if OUTCOME_STATUSES[outcome] != ExitStatus.OK]
    (worst, next_worst), *rest = zip(grave, grave[1:])
    return f"when several apply, {worst.value} wins over {next_worst.value}" + "".join(
        f", and {worse.value} over {better.value}" for worse, better in rest)


def exit_status_help(meanings: StatusMeanings, note: str = "") -> str | None:
    """A command's help epilog: ``exit status: 0 when ..., 2 when ...``, with the numbers
    from ``ExitStatus``; None for a command with nothing to tell."""
    if not meanings:
        return None
    told = ", ".join(f"{status.value} {meaning}" for status, meaning in meanings)
    return f"exit status: {told}" + (f"; {note}" if note else "")
