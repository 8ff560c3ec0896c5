"""Why a gate stayed closed: one cause per gate, followed down to the zones that held it up.

The causes:

- ``wrong_total``: its zone was tried with a total that the gate's rule rejects;
- ``frozen``: its zone was still frozen when the level ended, kept so by the zones below it
  that never settled (``blocked_by``: each zone with the agents it still holds and why each
  cannot cast now, or the charges it holds with no agent left to combine them);
- ``empty``: its zone held no charge;
- ``left_level``: an outer zone collapsed and took the gate's zone out of the level;
- ``not_a_number``: the total or the target is NaN;
- ``out_of_steps``: the step budget ran out while its zone held a total the gate accepts,
  before the gate was tried on it.

The engine works every cause and reason out (``orv._native``, include/orv/run_outcome.hpp),
and writes the line of each; the classes here hold what it found.
"""

from __future__ import annotations

import math
from dataclasses import dataclass, field, fields, is_dataclass
from enum import StrEnum
from typing import Any

from orv.documents import Json

# Marks the fields that hold a line the engine wrote, which to_dict leaves out.
_ENGINE_TEXT = "engine_text"


class Cause(StrEnum):
    WRONG_TOTAL = "wrong_total"
    FROZEN = "frozen"
    EMPTY = "empty"
    LEFT_LEVEL = "left_level"
    NOT_A_NUMBER = "not_a_number"
    OUT_OF_STEPS = "out_of_steps"


def engine_text() -> Any:
    """A field for a line the engine wrote: not shown by repr, not compared, not in to_dict."""
    return field(default="", repr=False, compare=False, metadata={_ENGINE_TEXT: True})


def packed(value: Any) -> Any:
    """``dataclasses.asdict`` of ``value`` without the engine's lines, numbers that are not
    finite as None: the JSON-ready form of the outcome's objects."""
    if is_dataclass(value) and not isinstance(value, type):
        return {item.name: packed(getattr(value, item.name)) for item in fields(value)
                if not item.metadata.get(_ENGINE_TEXT)}
    if isinstance(value, (list, tuple)):
        return [packed(item) for item in value]
    if isinstance(value, dict):
        return {key: packed(item) for key, item in value.items()}
    if isinstance(value, float) and not math.isfinite(value):
        return None
    return value


def engine_number(value: float | str | None) -> float | None:
    """A number of the engine's outcome: None stays None, and "NaN", "inf" and "-inf" are the
    numbers that JSON cannot hold."""
    return None if value is None else float(value)


@dataclass(frozen=True)
class Refusal:
    """An agent that cannot cast now, and the reason its spell gives."""

    name: str
    visual_id: str
    reason: str
    text: str = engine_text()

    @classmethod
    def from_engine(cls, data: Json) -> Refusal:
        return cls(data["name"], data["visual_id"], data["reason"], data["text"])

    def describe(self) -> str:
        return self.text


@dataclass(frozen=True)
class BlockingZone:
    """A zone that never settled and so kept the zone around it frozen: its agents with
    why each cannot cast, and the charges it holds. ``frozen`` says zones below it kept it
    frozen in turn; with no agent it holds charges that nothing is left to combine."""

    zone: str
    frozen: bool
    agents: tuple[Refusal, ...]
    charges: tuple[Json, ...]
    text: str = engine_text()

    @classmethod
    def from_engine(cls, data: Json) -> BlockingZone:
        return cls(data["zone"], data["frozen"],
                   tuple(Refusal.from_engine(agent) for agent in data["agents"]),
                   tuple(data["charges"]), data["text"])

    def describe(self) -> str:
        return self.text
