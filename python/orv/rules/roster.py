"""The thirteen agent kinds, as the engine's own table of kinds describes them.

The engine has no Python agent objects: a zone's JSON names an agent only by its display
name, and the only way to recreate it is the matching ``Environment.add_*`` method. The
engine's table (``orv._native.agent_kinds``) ties the two together and states each kind's
rule; this module gives it Python names. Nothing about a kind is written here again.
"""

from __future__ import annotations

from dataclasses import dataclass
from functools import cache
from typing import Any

from orv import _native


@dataclass(frozen=True)
class AgentKind:
    """One agent kind: its fixed display name and priority, the zone method placing it (and
    that method's arguments after the zone), and its rule: what it reads, what it leaves, the
    visual id prefix of the charge it makes ("" when it makes none) and every reason it gives
    for not casting (with the numbers it fills in as [placeholders])."""

    name: str
    priority: int
    add_method: str
    is_gate: bool
    arguments: tuple[str, ...]
    min_charges: int
    operands: str
    result: str
    prefix: str
    reasons: tuple[str, ...]

    @property
    def declines(self) -> str:
        """Every reason the kind gives for not casting, ``; ``-separated:
        ``needs 2 charges, has [count]``."""
        return "; ".join(self.reasons)

    @classmethod
    def from_table(cls, entry: dict[str, Any]) -> AgentKind:
        return cls(entry["name"], entry["priority"], entry["add_method"], entry["is_gate"],
                   tuple(entry["arguments"]), entry["min_charges"], entry["operands"],
                   entry["result"], entry["prefix"], tuple(entry["declines"]))


@cache
def rule_constants() -> dict[str, Any]:
    """The engine's fixed numbers and words: "step_budget", "zero_tolerance",
    "equals_tolerance", "first_infinite_factorial", "comparison_rules", "polarities",
    "agent_states"."""
    constants: dict[str, Any] = _native.rule_constants()
    return constants


def decline_reasons() -> dict[str, list[str]]:
    """Each kind's reasons for not casting, by display name, as the engine's spells give
    them."""
    return {kind.name: list(kind.reasons) for kind in AGENT_KINDS.values()}


# Every kind by display name, in the engine's roster order.
AGENT_KINDS: dict[str, AgentKind] = {
    entry["name"]: AgentKind.from_table(entry) for entry in _native.agent_kinds()}

GATE_NAMES = frozenset(kind.name for kind in AGENT_KINDS.values() if kind.is_gate)
# The gate placed with a target alone, and the one that also takes a comparison text.
EQUALS_GATE = next(kind.name for kind in AGENT_KINDS.values()
                   if kind.is_gate and "comparison_type" not in kind.arguments)
INEQUALITY_GATE = next(kind.name for kind in AGENT_KINDS.values()
                       if kind.is_gate and "comparison_type" in kind.arguments)

# The rule texts that add_inequality_gate understands; any other text silently becomes "<",
# which is why a level file may only use these.
INEQUALITY_RULES: tuple[str, ...] = tuple(rule_constants()["comparison_rules"])
