"""The arithmetic of one step, worked out from the frames before and after it.

The engine's own message says only who acted ("Power Sorcerer executed operation in
squarer"). ``explain_step`` says what happened to the numbers: ``Power Sorcerer in squarer:
3 ^ 2 → 9``, ``The Judge in hall: total 12 >= 10 → opened`` or ``Zone adder collapsed: +7
moves up to workshop``. Operands are read from the zone as it was before the step, in the
reading of the sign that the spell itself uses; the result is the charge it left behind.
"""

from __future__ import annotations

import math
from collections.abc import Callable, Iterator
from dataclasses import dataclass
from typing import Any

from orv.playing.numbers import number
from orv.playing.zones import parent_path, walk_zones
from orv.rules.roster import EQUALS_GATE, GATE_NAMES

Json = dict[str, Any]
Operands = list[Json]

SPELL_MARK = " executed operation in "
PURIFIER = "The Purifier"


@dataclass(frozen=True)
class Step:
    """What a step did: its text, the path of the zone it changed (as in frame_changes)
    and the charges it consumed there."""

    text: str
    path: str
    consumed: tuple[Json, ...] = ()


def signed(charge: Json) -> float | None:
    """The signed value that Plus, Minus and the gates read: only positive counts positive."""
    if charge["magnitude"] is None:
        return None
    magnitude = float(charge["magnitude"])
    return magnitude if charge["polarity"] == "positive" else -magnitude


def _negated_if_negative(charge: Json) -> float | None:
    # Multiply, Divide, Power and the others count only "negative" as negative.
    if charge["magnitude"] is None:
        return None
    magnitude = float(charge["magnitude"])
    return -magnitude if charge["polarity"] == "negative" else magnitude


def _magnitude(charge: Json) -> float | None:
    value: float | None = charge["magnitude"]
    return value


def _shown(value: float | None, signed_zero: bool = False) -> str:
    text = number(value, signed_zero=signed_zero)
    return f"({text})" if text.startswith("-") else text


def _result(charge: Json) -> str:
    if charge["polarity"] == "neutral":
        return f"{number(charge['magnitude'])} (neutral)"
    return number(signed(charge))


def _joined(charges: Operands, reading: Callable[[Json], float | None], sign: str) -> str:
    return f" {sign} ".join(_shown(reading(charge)) for charge in charges)


def _sum(charges: Operands) -> str:
    return _joined(charges, signed, "+")


def _difference(charges: Operands) -> str:
    return _joined(charges, signed, "-")


def _product(charges: Operands) -> str:
    return _joined(charges, _negated_if_negative, "×")


def _quotient(charges: Operands) -> str:
    return _joined(charges, _negated_if_negative, "÷")


def _remainder(charges: Operands) -> str:
    a, b = charges
    return f"{_shown(_magnitude(a))} mod {_shown(_magnitude(b))}"


def _power(charges: Operands) -> str:
    # The sign of a zero base decides the sign of an infinite result (-0 ^ -1 is -inf).
    base, exponent = charges
    return (f"{_shown(_negated_if_negative(base), signed_zero=True)} ^ "
            f"{_shown(_negated_if_negative(exponent))}")


def _root(charges: Operands) -> str:
    if len(charges) == 1:
        return f"√{_shown(_magnitude(charges[0]))}"
    # A zero degree is a reciprocal of ±inf, so its sign picks the result.
    degree, radicand = charges
    return (f"root {number(_magnitude(degree), signed_zero=True)} of "
            f"{number(_magnitude(radicand))}")


def _log(charges: Operands) -> str:
    if len(charges) == 1:
        return f"log10({number(_magnitude(charges[0]))})"
    base, value = charges
    return f"log base {number(_magnitude(base))} of {number(_magnitude(value))}"


def _factorial(charges: Operands) -> str:
    return f"{_shown(_magnitude(charges[0]))}!"


# How many charges each arithmetic spell consumes from the end of its zone's list (None: all
# of them; the root and the logarithm take only one when the zone holds only one), and how
# its operands are written. The Purifier, the gates and the Chronomancer (which never casts)
# consume nothing and are written apart.
_SPELLS: dict[str, tuple[int | None, Callable[[Operands], str]]] = {
    "Plus Magician": (None, _sum),
    "Minus Magician": (None, _difference),
    "Multiply Magician": (None, _product),
    "Divide Magician": (None, _quotient),
    "The Scavenger": (2, _remainder),
    "Power Sorcerer": (2, _power),
    "The Extractor": (2, _root),
    "The Architect": (2, _log),
    "The Replicator": (1, _factorial),
}


def explain_step(before: Json, after: Json) -> Step | None:
    """What the step from frame document ``before`` to ``after`` did, or None when it
    neither cast nor collapsed (the end of the level, the budget error)."""
    event = after["meta"]["last_event"]
    if event is None:
        return None
    if event["type"] == "COLLAPSE_ZONE":
        return _collapse(before, event["visual_id"][len("shield_"):])
    if event["type"] != "CAST_SPELL":
        return None
    name = event["agent_name"]
    zone_id = event["description"][len(name) + len(SPELL_MARK):]
    for old, new, path in _zone_pairs(before, after):
        if old["id"] == zone_id and len(new["agents"]) < len(old["agents"]) and any(
                agent["name"] == name and agent["visual_id"] == event["visual_id"]
                for agent in old["agents"]):
            return _spell(name, zone_id, old, new, path, event["visual_id"])
    return None


def _spell(name: str, zone_id: str, old: Json, new: Json, path: str, visual_id: str) -> Step:
    where = f"{name} in {zone_id}: "
    charges = old["charges"]
    if name in GATE_NAMES:
        gate = next(agent for agent in old["agents"] if agent["name"] == name
                    and agent["visual_id"] == visual_id)
        return Step(where + _opened(gate, charges), path)
    if name == PURIFIER:
        purified = [charge for charge in charges if charge["polarity"] == "negative"]
        return Step(where + _purified(purified), path, tuple(purified))
    if name not in _SPELLS:
        return Step(f"{name} executed operation in {zone_id}", path)
    taken, write = _SPELLS[name]
    operands = charges if taken is None else charges[-min(taken, len(charges)):]
    result = new["charges"][-1] if new["charges"] else None
    shown = _result(result) if result is not None else "nothing"
    return Step(f"{where}{write(operands)} → {shown}", path, tuple(operands))


def _opened(gate: Json, charges: Operands) -> str:
    rule = "==" if gate["name"] == EQUALS_GATE else gate["rule"]
    return f"total {number(zone_total(charges))} {rule} {number(gate['target_value'])} → opened"


def _purified(purified: Operands) -> str:
    # The Purifier casts even when nothing is negative; it then changes nothing. A negative
    # charge keeps its magnitude and turns positive, so for a negative magnitude (possible
    # in a level file) the signed value goes from +|m| to -|m|, which |x| would misstate.
    if not purified:
        return "no negative charge, nothing changes"
    return ", ".join(
        f"|{number(signed(charge))}| → {number(charge['magnitude'])}"
        if charge["magnitude"] is None or charge["magnitude"] >= 0
        else f"{number(signed(charge))} → {number(charge['magnitude'])}"
        for charge in purified)


def zone_total(charges: list[Json]) -> float:
    """The signed total a gate compares, summed in list order as the engine does."""
    total = 0.0
    for charge in charges:
        value = signed(charge)
        total += math.nan if value is None else value
    return total


def _collapse(before: Json, zone_id: str) -> Step | None:
    # The engine collapses the first resolved zone met in post-order: each sub-zone's own
    # sub-zones are searched before it is tested.
    for at in walk_zones(before, post_order=True):
        zone, parent = at.zone, at.parent
        if parent is not None and not zone["agents"] and len(zone["charges"]) == 1:
            if zone["id"] != zone_id:
                return None
            moved = number(signed(zone["charges"][0]))
            moved = moved if moved.startswith("-") or moved == "NaN" else "+" + moved
            return Step(f"Zone {zone_id} collapsed: {moved} moves up to {parent['id']}",
                        parent_path(at.path))
    return None


def _zone_pairs(before: Json, after: Json) -> Iterator[tuple[Json, Json, str]]:
    """The zones of two trees of the same shape (a spell changes no zone) side by side."""
    for old, new in zip(walk_zones(before), walk_zones(after)):
        yield old.zone, new.zone, new.path
