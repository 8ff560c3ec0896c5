"""Keys a level file's top zone may carry beyond the engine's own.

The engine's JSON has no room for what only the tools read: text for the designer, or the
hand of a puzzle. Such keys are registered here with a check; the loader accepts them on the
top zone only, keeps their checked values beside the loaded tree (``level_extras``), and the
saver writes them back after the engine's members, in name order, so that a file without
them still saves byte for byte as the engine writes it.
"""

from __future__ import annotations

import json
import weakref
from collections.abc import Callable
from typing import Any

import orv_engine

# check(value, place, top) returns the value to keep, or raises LevelError (with every
# problem of the value in its ``problems``). ``top`` is the tree built from the file.
Check = Callable[[Any, str, orv_engine.Environment], Any]
# rule(extras, top) returns the (place, problem) pairs of keys that are wrong together, such
# as a value that depends on another key or on its absence; it runs once every key is checked.
Rule = Callable[[dict[str, Any], orv_engine.Environment], list[tuple[str, str]]]

_CHECKS: dict[str, Check] = {}
_RULES: list[Rule] = []
_EXTRAS: weakref.WeakKeyDictionary[orv_engine.Environment, dict[str, Any]] = (
    weakref.WeakKeyDictionary())


def register_top_zone_key(name: str, check: Check) -> None:
    """Accept ``name`` on a level's top zone, checked by ``check`` when the file loads."""
    _CHECKS[name] = check


def register_top_zone_rule(rule: Rule) -> None:
    """Check the extra keys of a loaded top zone together, after each has passed its own
    check."""
    _RULES.append(rule)


def top_zone_rule_problems(extras: dict[str, Any],
                           top: orv_engine.Environment) -> list[tuple[str, str]]:
    return [problem for rule in _RULES for problem in rule(extras, top)]


def top_zone_key_names() -> tuple[str, ...]:
    return tuple(sorted(_CHECKS))


def top_zone_key_check(name: str) -> Check:
    return _CHECKS[name]


def level_extras(top: orv_engine.Environment) -> dict[str, Any]:
    """The extra top-zone keys of ``top`` (empty for a tree not loaded from such a file).
    The dictionary is the one kept with the tree: changing it changes what is saved."""
    try:
        return _EXTRAS.setdefault(top, {})
    except TypeError:  # an object that cannot be weakly referenced keeps nothing
        return {}


def set_level_extras(top: orv_engine.Environment, extras: dict[str, Any]) -> None:
    level_extras(top).clear()
    level_extras(top).update(extras)


def with_extras(engine_text: str, extras: dict[str, Any]) -> str:
    """The engine's text of a top zone with ``extras`` appended as members, in name order."""
    if not extras:
        return engine_text
    members = "".join(f",{json.dumps(name)}:{_compact(extras[name])}" for name in sorted(extras))
    assert engine_text.endswith("}"), "a zone's text is one JSON object"
    return engine_text[:-1] + members + "}"


def _compact(value: Any) -> str:
    return json.dumps(value, ensure_ascii=False, sort_keys=True, separators=(",", ":"),
                      allow_nan=False)
