"""The thirteen agent kinds as they appear in the engine's JSON, and how to place each one.

The engine has no Python agent objects: a zone's JSON names an agent only by its display
name, and the only way to recreate it is the matching ``Environment.add_*`` method. This
table ties the two together.
"""

from __future__ import annotations

from dataclasses import dataclass

EQUALS_GATE = "Equals Gate"
INEQUALITY_GATE = "The Judge"
GATE_NAMES = frozenset({EQUALS_GATE, INEQUALITY_GATE})

# The rule texts that add_inequality_gate understands; any other text silently becomes "<",
# which is why a level file may only use these four.
INEQUALITY_RULES = ("<", ">", "<=", ">=")


@dataclass(frozen=True)
class AgentKind:
    """One agent kind: its fixed display name and priority, and the zone method placing it."""

    name: str
    priority: int
    add_method: str

    @property
    def is_gate(self) -> bool:
        return self.name in GATE_NAMES


AGENT_KINDS: dict[str, AgentKind] = {
    kind.name: kind
    for kind in (
        AgentKind("Plus Magician", 10, "add_plus_magician"),
        AgentKind("Minus Magician", 10, "add_minus_magician"),
        AgentKind("Multiply Magician", 50, "add_multiply_magician"),
        AgentKind("Divide Magician", 50, "add_divide_magician"),
        AgentKind("The Scavenger", 50, "add_modulo_magician"),
        AgentKind("Power Sorcerer", 75, "add_power_sorcerer"),
        AgentKind("The Extractor", 75, "add_root_magician"),
        AgentKind("The Replicator", 85, "add_factorial_magician"),
        AgentKind("The Architect", 90, "add_log_magician"),
        AgentKind("The Purifier", 90, "add_abs_magician"),
        AgentKind("Chronomancer", 100, "add_chronomancer"),
        AgentKind(EQUALS_GATE, 0, "add_equals_gate"),
        AgentKind(INEQUALITY_GATE, 0, "add_inequality_gate"),
    )
}
