"""The rules of the game in words: the thirteen agent kinds, then how a step is taken.

``python -m orv agents`` prints them as plain text; the README's "Rules" section is
``rules_markdown()`` word for word.
"""

from __future__ import annotations

import textwrap

from orv.rules.roster import AGENT_KINDS, AgentKind, rule_constants

_BUDGET = rule_constants()["step_budget"]

COLUMNS = ("method", "name", "priority", "operands", "declines, saying", "result",
           "result visual id")

# How a step is taken, in the order a step takes it.
STEP_RULES = (
    ("Step", "Each call of next_frame takes one step: one agent casts, or else one zone "
             "collapses, or else the level ends with \"Equation Resolved.\"."),
    ("Freeze", "At the start of every step a zone is time-frozen while one of its direct "
               "sub-zones still has an agent or holds more than one charge. The agents of a "
               "frozen zone are not tried, so inner zones settle first."),
    ("Collection order", "The agents of the zones that are not frozen are gathered inner "
                         "zones first (each sub-zone with everything below it, earlier "
                         "sub-zones first, then the zone's own agents in the order they "
                         "were added) and ordered by priority, highest first. Equal "
                         "priorities keep that order, however many agents are gathered."),
    ("Casting", "The agents are tried in that order on their own zone's charges. The first "
                "whose spell takes effect is the caster and leaves its zone (a gate that "
                "opens leaves too); one that declines changes nothing and stays. A result "
                "charge goes to the end of the zone's list; its visual id is the spell's "
                "prefix followed by the caster's visual id."),
    ("Collapse", "When nobody casts, the first zone below the top with no agent and exactly "
                 "one charge (sub-zones are searched before their zone, earlier ones first) "
                 "moves its charge to the end of its parent's charges and leaves the level, "
                 "with any zones it still held. When no zone can collapse, the level ends."),
    ("Budget", f"A level gets at most {_BUDGET} steps. The call after the {_BUDGET}th step "
               "reports "
               "status \"ERROR\" with \"Max frame limit reached. Infinite loop detected.\"."),
    ("Signs", "A positive charge counts +magnitude and a negative one -magnitude. A neutral "
              "charge counts negative for Plus, Minus and the gates, positive for Multiply, "
              "Divide and Power."),
    ("NaN", "NaN and infinite numbers are written null in frames and level files, and a "
            "null reads back as NaN. A NaN result is kept as computed (a negative base to a "
            "fractional power gives a neutral NaN); a NaN total or target opens no gate."),
)


def _row(kind: AgentKind) -> tuple[str, ...]:
    prefix = f"{kind.prefix}<visual id>" if kind.prefix else "-"
    return (kind.add_method, kind.name, str(kind.priority), kind.operands, kind.declines,
            kind.result, prefix)


def rows() -> list[tuple[str, ...]]:
    """One row per kind, highest priority first, in the columns of COLUMNS."""
    kinds = sorted(AGENT_KINDS.values(), key=lambda kind: -kind.priority)
    return [_row(kind) for kind in kinds]


def rules_markdown() -> str:
    """The rules as Markdown: a table of the kinds, then one paragraph per step rule."""
    lines = ["| " + " | ".join(COLUMNS) + " |", "|" + "---|" * len(COLUMNS)]
    for row in rows():
        cells = [f"`{row[0]}`", *row[1:-1], f"`{row[-1]}`" if row[-1] != "-" else "-"]
        lines.append("| " + " | ".join(cell.replace("|", "\\|") for cell in cells) + " |")
    lines.append("")
    lines += [f"**{topic}.** {text}\n" for topic, text in STEP_RULES]
    return "\n".join(lines)


def rules_text(width: int = 100) -> str:
    """The rules as plain text for a terminal: a block per kind, then the step rules."""
    blocks = []
    for row in rows():
        method, name, priority = row[:3]
        block = [f"{name} (priority {priority}, Environment.{method})"]
        for label, value in zip(COLUMNS[3:], row[3:]):
            block += textwrap.wrap(value, width, initial_indent=f"  {label + ':':<18}",
                                   subsequent_indent=" " * 20)
        blocks.append("\n".join(block))
    for topic, text in STEP_RULES:
        blocks.append(textwrap.fill(text, width, initial_indent=f"{topic}: ",
                                    subsequent_indent="  "))
    return "\n\n".join(blocks)
