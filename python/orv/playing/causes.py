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

Why an agent cannot cast is stated by its spell in the engine (``orv._native``); nothing
here repeats a rule.
"""

from __future__ import annotations

import math
from dataclasses import dataclass
from enum import StrEnum

from orv import _native
from orv.documents import Json, walk_zones
from orv.playing.numbers import READABLE_DIGITS, counted, number

# Why an agent whose spell would take effect did not cast: its zone is frozen, so it is not
# even tried; or the step budget ran out first.
WAITS = "its zone is frozen"
UNTRIED = "not tried before the run ended"


class Cause(StrEnum):
    WRONG_TOTAL = "wrong_total"
    FROZEN = "frozen"
    EMPTY = "empty"
    LEFT_LEVEL = "left_level"
    NOT_A_NUMBER = "not_a_number"
    OUT_OF_STEPS = "out_of_steps"


@dataclass(frozen=True)
class Refusal:
    """An agent that cannot cast now, and the reason its spell gives."""

    name: str
    visual_id: str
    reason: str

    def describe(self) -> str:
        return f'{self.name} "{self.visual_id}": {self.reason}'


@dataclass(frozen=True)
class BlockingZone:
    """A zone that never settled and so kept the zone around it frozen: its agents with
    why each cannot cast, and the charges it holds. ``frozen`` says zones below it kept it
    frozen in turn; with no agent it holds charges that nothing is left to combine."""

    zone: str
    frozen: bool
    agents: tuple[Refusal, ...]
    charges: tuple[Json, ...]

    def describe(self) -> str:
        if self.agents:
            why = "; ".join(agent.describe() for agent in self.agents)
        elif self.frozen:
            why = "frozen by the zones below it"
        else:
            why = f"{counted(len(self.charges), 'charge')} and no agent left to combine them"
        return f"zone {self.zone} ({why})"


class Diagnosis:
    """Why agents cannot cast and which zones hold others up, in the last frame of a run.
    Gates share zones and blocking zones share agents, so each is worked out once."""

    def __init__(self) -> None:
        self._operands: dict[int, list[tuple[float, str]]] = {}
        self._refusals: dict[int, Refusal] = {}
        self._blocking: dict[int, tuple[BlockingZone, ...]] = {}

    def decline_reason(self, agent: Json, zone: Json) -> str:
        """Why ``agent`` (its JSON) does not cast on the charges of ``zone`` (its JSON)."""
        operands = self._operands.get(id(zone))
        if operands is None:
            operands = [(math.nan if charge["magnitude"] is None else charge["magnitude"],
                         charge["polarity"]) for charge in zone["charges"]]
            self._operands[id(zone)] = operands
        target = agent.get("target_value")
        return _native.decline_reason(agent["name"], operands,
                                      math.nan if target is None else float(target),
                                      agent.get("rule", "<"))

    def refusal(self, agent: Json, zone: Json) -> Refusal:
        """The agent of ``zone`` with why it cannot cast now: its spell's own reason, else,
        in a frozen zone, that it is not even tried."""
        known = self._refusals.get(id(agent))
        if known is None:
            reason = self.decline_reason(agent, zone)
            if not reason:
                reason = WAITS if zone["is_time_frozen"] else UNTRIED
            known = self._refusals[id(agent)] = Refusal(agent["name"], agent["visual_id"],
                                                        reason)
        return known

    def blocking_zones(self, zone: Json) -> tuple[BlockingZone, ...]:
        """The zones below ``zone`` that keep it frozen: each direct sub-zone that still has
        an agent or more than one charge, followed, when it is frozen itself, by those that
        keep it so; innermost last on every branch."""
        known = self._blocking.get(id(zone))
        if known is not None:
            return known
        def blocks(below: Json) -> bool:
            return bool(below["agents"]) or len(below["charges"]) > 1

        # A blocking zone that is frozen itself is held by the zones below it in turn.
        held = walk_zones(zone, descend=lambda at: at.parent is None or (
            blocks(at.zone) and bool(at.zone["is_time_frozen"])))
        self._blocking[id(zone)] = tuple(
            BlockingZone(at.zone["id"], bool(at.zone["is_time_frozen"]),
                         tuple(self.refusal(agent, at.zone) for agent in at.zone["agents"]),
                         tuple(at.zone["charges"]))
            for at in held if at.parent is not None and blocks(at.zone))
        return self._blocking[id(zone)]


def cause_of(target: float, total: float | None, frozen: bool) -> Cause:
    """The cause of a gate that is still in its zone at the end of the run. A NaN target
    can never be met, so it comes first; a frozen zone was not tried in the last step."""
    if math.isnan(target):
        return Cause.NOT_A_NUMBER
    if frozen:
        return Cause.FROZEN
    if total is None:
        return Cause.EMPTY
    return Cause.NOT_A_NUMBER if math.isnan(total) else Cause.WRONG_TOTAL


def cause_text(cause: Cause, total: float | None, rule: str, target: float,
               difference: float | None,
               blocked_by: tuple[BlockingZone, ...], left_with: str | None,
               left_at: int | None, digits: int | None = READABLE_DIGITS) -> str:
    """The cause in words, as the line of a closed gate ends."""
    seen = "no charge" if total is None else f"total {number(total, digits)}"
    if cause is Cause.LEFT_LEVEL:
        return (f"left the level when zone {left_with} collapsed at frame {left_at}"
                if left_with is not None else "left the level with an outer zone")
    if cause is Cause.FROZEN:
        chain = ", then ".join(zone.describe() for zone in blocked_by)
        return f"{seen}, but the zone stayed frozen" + (f", held by {chain}" if chain else "")
    if cause is Cause.WRONG_TOTAL and difference is not None:
        return (f"{seen}, needs {rule} {number(target, digits)} "
                f"(difference {number(difference, digits)})")
    if cause is Cause.OUT_OF_STEPS:
        return f"{seen}, but the steps ran out before the gate was tried on it"
    if cause is Cause.NOT_A_NUMBER:
        return f"{seen}, target {number(target, digits)}: NaN meets no rule"
    return seen
