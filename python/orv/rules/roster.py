"""The thirteen agent kinds as they appear in the engine's JSON, and how to place each one.

The engine has no Python agent objects: a zone's JSON names an agent only by its display
name, and the only way to recreate it is the matching ``Environment.add_*`` method. This
table ties the two together.
"""

from __future__ import annotations

from dataclasses import dataclass
from functools import cache

from orv import _native

EQUALS_GATE = "Equals Gate"
INEQUALITY_GATE = "The Judge"
GATE_NAMES = frozenset({EQUALS_GATE, INEQUALITY_GATE})

# The rule texts that add_inequality_gate understands; any other text silently becomes "<",
# which is why a level file may only use these four.
INEQUALITY_RULES = ("<", ">", "<=", ">=")


@dataclass(frozen=True)
class AgentKind:
    """One agent kind: its fixed display name and priority, the zone method placing it, and
    its rule: what it reads, what it leaves and the visual id prefix of the charge it makes
    ("" when it makes none). Why it declines is stated by the spell itself, in the engine
    (``declines``)."""

    name: str
    priority: int
    add_method: str
    operands: str
    result: str
    prefix: str = ""

    @property
    def is_gate(self) -> bool:
        return self.name in GATE_NAMES

    @property
    def declines(self) -> str:
        """Every reason the kind gives for not casting, ``; ``-separated, with the numbers
        it fills in as [placeholders]: ``needs 2 charges, has [count]``."""
        return "; ".join(decline_reasons()[self.name])


@cache
def decline_reasons() -> dict[str, list[str]]:
    """Each kind's reasons for not casting, by display name, as the engine's spells give
    them (``orv._native.decline_reasons``)."""
    return _native.decline_reasons()


_SIGNED = "every charge, signed (neutral counts negative)"
_MAGNITUDES = "every magnitude; only negative charges count negative"
_SIGN_OF_TOTAL = "positive when >= 0, else negative; magnitude |r|"
_PARITY = ("negative when an odd number of operands are negative, positive otherwise; "
           "neutral when |r| < 1e-9; magnitude r")

AGENT_KINDS: dict[str, AgentKind] = {
    kind.name: kind
    for kind in (
        AgentKind("Plus Magician", 10, "add_plus_magician", _SIGNED,
                  f"r = the sum, left to right; {_SIGN_OF_TOTAL}; replaces all charges",
                  "result_"),
        AgentKind("Minus Magician", 10, "add_minus_magician", _SIGNED,
                  f"r = the first minus each later one; {_SIGN_OF_TOTAL}; replaces all "
                  "charges", "result_"),
        AgentKind("Multiply Magician", 50, "add_multiply_magician", _MAGNITUDES,
                  f"r = the product; {_PARITY}; replaces all charges", "result_product_"),
        AgentKind("Divide Magician", 50, "add_divide_magician",
                  f"{_MAGNITUDES}; the divisors are the charges after the first",
                  f"r = the first divided by each later one; {_PARITY}; replaces all charges",
                  "result_quotient_"),
        AgentKind("The Scavenger", 50, "add_modulo_magician",
                  "magnitudes a (second-to-last) and the divisor b (last); polarity not read",
                  "fmod(a, b), with the sign of a; positive; replaces the last two",
                  "result_remainder_"),
        AgentKind("Power Sorcerer", 75, "add_power_sorcerer",
                  "base (second-to-last) and exponent (last); only negative charges count "
                  "negative",
                  "r = base ^ exponent; positive when r > 0, negative when r < 0, neutral for "
                  "0 or NaN; magnitude |r|; replaces the last two", "result_power_"),
        AgentKind("The Extractor", 75, "add_root_magician",
                  "one charge: x; more: degree k (second-to-last) and x (last), polarity "
                  "not read",
                  "sqrt(x), or x ^ (1/k) (the real root -|x| ^ (1/k) for x < 0); positive; "
                  "replaces the one or the last two", "result_root_"),
        AgentKind("The Replicator", 85, "add_factorial_magician",
                  "the last charge",
                  "n! for n = floor(magnitude): 1 for n <= 0, infinity from 171 on; "
                  "positive; replaces the last one", "result_factorial_"),
        AgentKind("The Architect", 90, "add_log_magician",
                  "one charge: x; more: base b (second-to-last) and x (last), polarity not "
                  "read",
                  f"r = log10(x), or ln(x) / ln(b); {_SIGN_OF_TOTAL}; replaces the one or "
                  "the last two", "result_log_"),
        AgentKind("The Purifier", 90, "add_abs_magician", "every charge",
                  'each negative charge turns positive and its visual id gains "purified_" '
                  "in front; adds nothing, casts even when nothing is negative"),
        AgentKind("Chronomancer", 100, "add_chronomancer", "none",
                  "never leaves its zone, so the zone never collapses and its parent stays "
                  "frozen"),
        AgentKind(EQUALS_GATE, 0, "add_equals_gate", "the signed total of the zone and the "
                  "gate's target; == means within 1e-6",
                  "opens and leaves its zone; charges unchanged"),
        AgentKind(INEQUALITY_GATE, 0, "add_inequality_gate",
                  'the signed total of the zone and the gate\'s target; its rule is "<", ">", '
                  '"<=" or ">=", with no tolerance',
                  "opens and leaves its zone; charges unchanged"),
    )
}
