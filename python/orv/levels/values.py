"""The values of a level file: reading its JSON, and checking each value where it stands.

Each check returns the value it checked or raises LevelError naming the place; the loader
collects those errors so that a file's problems are reported together.
"""

from __future__ import annotations

import json
import math
import sys
from collections.abc import Sequence
from difflib import get_close_matches
from typing import Any, TypeVar

T = TypeVar("T")

# The deepest nesting of zones that the tools accept. Python's JSON reader, writer and dict
# comparison recurse, two levels per zone (an object and its list of sub-zones); on CPython
# 3.12 they fail somewhere past 740 zones, and the viewer's data nests a few levels more, so
# the limit leaves room to spare. The engine itself has no limit.
MAX_ZONE_DEPTH = 500
NESTING_PROBLEM = (f"zones are nested more than {MAX_ZONE_DEPTH} deep; the tools follow "
                   f"at most {MAX_ZONE_DEPTH}")
OUT_OF_MEMORY = "out of memory while loading the level"
# Longer integer literals raise inside Python's JSON reader (its guard against slow int
# parsing); no field of a level can use a number that long anyway.
LONGEST_WHOLE_NUMBER = 400
TOO_LARGE = f"too large for a double (beyond {sys.float_info.max:.4g})"


class LevelError(ValueError):
    """A level that cannot be built. ``place`` and ``problem`` are the first problem found;
    ``problems`` holds every (place, problem) pair, that one first."""

    def __init__(self, place: str, problem: str,
                 more: Sequence[tuple[str, str]] = ()) -> None:
        self.place = place
        self.problem = problem
        self.problems = [(place, problem), *more]
        lines = [f"{where}: {what}" for where, what in self.problems]
        if len(lines) == 1:
            super().__init__(lines[0])
        else:
            super().__init__(f"{len(lines)} problems\n" + "\n".join(f"  {line}" for line in lines))

    def at(self, prefix: str) -> LevelError:
        """The same problems with every place behind ``prefix`` (a file name)."""
        moved = [(f"{prefix}: {where}", what) for where, what in self.problems]
        return LevelError(*moved[0], more=moved[1:])


class ObjectWithRepeatedKeys(dict[str, Any]):
    """A JSON object in which some key appeared twice; the checks report it with its place."""

    repeated: list[str]


class TooLarge:
    """A number literal beyond the range of a double, kept so the checks report its place."""

    def __init__(self, literal: str) -> None:
        self.literal = literal

    def __str__(self) -> str:
        return self.literal if len(self.literal) <= 20 else f"{self.literal[:12]}... " \
            f"({len(self.literal)} characters)"


class NotJson:
    """NaN, Infinity or -Infinity: Python's reader takes them, but they are not JSON."""

    def __init__(self, constant: str) -> None:
        self.constant = constant

    def __str__(self) -> str:
        return self.constant


def parse(text: str | bytes) -> Any:
    """The JSON document of a level file's text or bytes (a byte-order mark is skipped)."""
    if isinstance(text, (bytes, bytearray)):
        try:
            text = bytes(text).decode("utf-8-sig")
        except UnicodeDecodeError as error:
            raise LevelError(f"byte {error.start}", "the file is not UTF-8 text") from None
    text = text.removeprefix("\ufeff")
    if not text.strip():
        raise LevelError("line 1 column 1", "the file is empty; a level file holds one JSON "
                         "object, the top zone")
    try:
        # NaN and the infinities are kept as markers so that the checks report their place.
        return json.loads(text, parse_constant=NotJson, parse_int=_whole_number,
                          object_pairs_hook=_object_from_pairs)
    except json.JSONDecodeError as error:
        raise LevelError(f"line {error.lineno} column {error.colno}", error.msg) from None
    except RecursionError:
        raise LevelError("top zone", NESTING_PROBLEM) from None


def _whole_number(literal: str) -> int | TooLarge:
    if len(literal) <= LONGEST_WHOLE_NUMBER:
        value = int(literal)
        if abs(value) <= sys.float_info.max:
            return value
    return TooLarge(literal)


def _object_from_pairs(pairs: list[tuple[str, Any]]) -> dict[str, Any]:
    keys = [key for key, _ in pairs]
    if len(set(keys)) == len(keys):
        return dict(pairs)
    found = ObjectWithRepeatedKeys(pairs)
    found.repeated = sorted({key for key in keys if keys.count(key) > 1})
    return found


def at(place: str, key: str | int) -> str:
    if isinstance(key, int):
        return f"{place}[{key}]"
    return f"{place}.{key}" if place else key


def shown(place: str) -> str:
    return place or "top zone"


def key_problems(value: dict[str, Any], place: str, required: tuple[str, ...],
                 optional: tuple[str, ...] = ()) -> list[LevelError]:
    """Every repeated, missing or unknown key of the object at ``place``."""
    where = shown(place)
    problems = [LevelError(where, f'key "{key}" appears more than once')
                for key in getattr(value, "repeated", ())]
    problems += [LevelError(where, f'missing key "{key}"') for key in required
                 if key not in value]
    known = required + optional
    problems += [LevelError(where, f'unknown key "{key}"{did_you_mean(key, known)}')
                 for key in value if key not in known]
    return problems


def did_you_mean(name: str, known: Sequence[str]) -> str:
    """`` (did you mean "x"?)`` for the known name closest to ``name``, or nothing."""
    close = get_close_matches(name, known, n=1)
    return f' (did you mean "{close[0]}"?)' if close else ""


def typed(value: Any, place: str, expected: type[T], label: str) -> T:
    # bool is an int in Python, but true is never a priority in the engine's JSON.
    if isinstance(value, expected) and (expected is bool or not isinstance(value, bool)):
        return value
    raise LevelError(place, f"expected {label}, found {kind_of(value)}")


def number(value: Any, place: str) -> float:
    """A magnitude or target: a JSON number, or null for one that is not a number."""
    if value is None:
        return math.nan
    if isinstance(value, NotJson):
        raise LevelError(place, f"{value} is not JSON; write null for a number that is "
                         "not a number")
    if isinstance(value, TooLarge):
        raise LevelError(place, f"the number {value} is {TOO_LARGE}")
    if isinstance(value, (int, float)) and not isinstance(value, bool):
        # The reader turns a literal beyond a double's range into an infinity, while a JSON
        # file can only write an infinity as null: an infinity here was a literal too large.
        if math.isinf(value):
            raise LevelError(place, f"the number is {TOO_LARGE}")
        return float(value)
    raise LevelError(place, f"expected a number or null, found {kind_of(value)}")


def text(value: Any, place: str) -> str:
    """An id: a string the engine can store, which rules out lone surrogates ("\\ud800" in
    JSON), since they have no UTF-8 form."""
    if type(value) is str and value.isascii():  # nearly every id, checked at once
        return value
    checked = typed(value, place, str, "a string")
    if not checked.isascii():
        try:
            checked.encode("utf-8")
        except UnicodeEncodeError as error:
            raise LevelError(place, f"the string holds a lone surrogate "
                             f"({checked[error.start]!a}) at character {error.start}, "
                             "which is not text") from None
    return checked


def choice(value: Any, place: str, choices: dict[str, Any] | tuple[str, ...], what: str) -> Any:
    text = typed(value, place, str, "a string")
    if text not in choices:
        allowed = ", ".join(f'"{option}"' for option in choices)
        raise LevelError(place, f'unknown {what} "{text}" (expected one of {allowed})')
    return choices[text] if isinstance(choices, dict) else text


def kind_of(value: Any) -> str:
    """How a JSON value is named in messages: the value itself when it is short."""
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, NotJson):
        return f"{value} (which is not JSON)"
    if isinstance(value, TooLarge):
        return f"the number {value}"
    if isinstance(value, (int, float)):
        return f"the number {value}"
    kinds = {str: "a string", list: "a list", dict: "an object"}
    return next(name for kind, name in kinds.items() if isinstance(value, kind))
