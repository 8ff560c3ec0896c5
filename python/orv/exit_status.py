"""The exit statuses of every ``orv`` command, defined once.

``play`` and ``check`` give the status of the outcome (the worst one of all the levels for
``check``), ``solve`` whether the puzzle is solvable; every command gives ``CANNOT_RUN`` for input it cannot use or an environment that
fails it (a file that cannot be loaded or written, no scheduler), and ``INTERRUPTED`` when
Ctrl-C ends it.
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
