"""The optional extras of the package: which libraries each one brings, and the one error
that says how to install a missing one.

The commands that need an extra check for it before they import it, so that a missing
library is one line of advice rather than a traceback.
"""

from __future__ import annotations

from importlib.util import find_spec

# The import names of each extra's libraries, as pyproject.toml pins them.
EXTRAS = {
    "export": ("PIL",),
    "gym": ("gymnasium",),
    "reasoning": ("reasoning_gym",),
    "studio": ("aiohttp", "watchfiles"),
}


class MissingExtra(ImportError):
    """A library of an optional extra is not installed."""


def need_extra(extra: str, what: str) -> None:
    """Raise MissingExtra, naming ``what`` needs it, unless ``extra``'s libraries import."""
    missing = [name for name in EXTRAS[extra] if find_spec(name) is None]
    if missing:
        raise MissingExtra(f"{what} needs {', '.join(missing)}, which is not installed; "
                           f"install it with: pip install 'orv_engine[{extra}]'")
