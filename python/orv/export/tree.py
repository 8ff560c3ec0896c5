"""The zone tree of one frame laid out as nested boxes: each zone's title, its charges as
chips, its agents one per line, and its sub-zones inside it.

The layout is worked out on numbers first (widths from the top down, heights from the
innermost zones out, places from the top down), without recursion, so any depth of nesting
lays out; a zone shows at most ``MOST_CHIPS`` charges and ``MOST_AGENTS`` agents, and says
how many more it holds.
"""

from __future__ import annotations

from dataclasses import dataclass, field

from orv.documents import Json, parent_path, walk_zones
from orv.export.pen import text_width
from orv.playing.numbers import number

TEXT = 14
SMALL = 11
LINE = 20
CHIP_HEIGHT = 20
CHIP_PADDING = 6
PAD = 8
GAP = 6
INSET = 12
NARROWEST = 160
MOST_CHIPS = 48
MOST_AGENTS = 12
SIGNS = {"positive": "+", "negative": "-", "neutral": "±"}


@dataclass
class Chip:
    """A charge as drawn: its text, polarity and whether the step made or consumed it."""

    text: str
    polarity: str
    kind: str = ""
    x: int = 0
    y: int = 0
    width: int = 0


@dataclass
class AgentLine:
    """An agent as drawn: ``note`` is "cast" or "opened" for one that left in this step."""

    agent: Json
    note: str = ""


@dataclass
class ZoneBox:
    zone: Json
    path: str
    changed: bool
    x: int = 0
    y: int = 0
    width: int = 0
    height: int = 0
    chips: list[Chip] = field(default_factory=list)
    chips_height: int = 0
    agents: list[AgentLine] = field(default_factory=list)
    hidden_charges: int = 0
    hidden_agents: int = 0
    subs: list[ZoneBox] = field(default_factory=list)


def charge_text(charge: Json) -> str:
    """A charge as its polarity's sign and magnitude; a negative magnitude keeps its own sign
    in brackets, so the polarity is never hidden."""
    magnitude = number(charge["magnitude"])
    sign = SIGNS.get(charge["polarity"], "?")
    return sign + (f"({magnitude})" if magnitude.startswith("-") else magnitude)


def lay_out(top: Json, changes: dict[str, Json], width: int) -> ZoneBox:
    """The boxes of the tree under ``top`` for a picture ``width`` pixels wide."""
    boxes: dict[str, ZoneBox] = {}
    root: ZoneBox | None = None
    for at in walk_zones(top):
        box = _filled(ZoneBox(at.zone, at.path, at.path in changes), changes.get(at.path, {}))
        parent = None if at.parent is None else boxes[parent_path(at.path)]
        box.width = width if parent is None else max(NARROWEST, parent.width - 2 * INSET)
        _flow_chips(box)
        boxes[at.path] = box
        if parent is None:
            root = box
        else:
            parent.subs.append(box)
    assert root is not None, "a walk starts with the top zone"
    for box in reversed(list(boxes.values())):
        box.height = _own_height(box) + sum(sub.height + GAP for sub in box.subs)
    _place(root)
    return root


def _filled(box: ZoneBox, change: Json) -> ZoneBox:
    fresh = set(change.get("new_charges", []))
    chips = [Chip(charge_text(c), c["polarity"], "consumed")
             for c in change.get("consumed_charges", [])]
    chips += [Chip(charge_text(c), c["polarity"], "new" if i in fresh else "")
              for i, c in enumerate(box.zone["charges"])]
    box.chips, box.hidden_charges = chips[:MOST_CHIPS], max(0, len(chips) - MOST_CHIPS)
    # The agent that just left comes first, so that a long list never hides it.
    agents = [AgentLine(agent, "opened" if "is_open" in agent else "cast")
              for agent in change.get("departed_agents", [])]
    agents += [AgentLine(agent) for agent in box.zone["agents"]]
    box.agents, box.hidden_agents = agents[:MOST_AGENTS], max(0, len(agents) - MOST_AGENTS)
    return box


def _flow_chips(box: ZoneBox) -> None:
    """Places the chips in rows inside the box, relative to its content's top left."""
    x = y = 0
    room = box.width - 2 * PAD
    for chip in box.chips:
        chip.width = text_width(chip.text, TEXT) + 2 * CHIP_PADDING
        if x and x + chip.width > room:
            x, y = 0, y + CHIP_HEIGHT + 4
        chip.x, chip.y = x, y
        x += chip.width + 4
    rows_height = y + CHIP_HEIGHT if box.chips else 0
    box.chips_height = rows_height + (LINE if box.hidden_charges else 0)


def _own_height(box: ZoneBox) -> int:
    """The height of the box without its sub-zones."""
    agents = len(box.agents) + (1 if box.hidden_agents else 0)
    return 2 * PAD + LINE + box.chips_height + 4 + agents * LINE


def _place(root: ZoneBox) -> None:
    pending = [root]
    while pending:
        box = pending.pop()
        y = box.y + _own_height(box) - PAD
        for sub in box.subs:
            sub.x = box.x + (box.width - sub.width) // 2
            sub.y = y
            y += sub.height + GAP
        pending.extend(box.subs)


def every_box(root: ZoneBox) -> list[ZoneBox]:
    """The boxes in drawing order: each zone before the zones inside it."""
    boxes, pending = [], [root]
    while pending:
        box = pending.pop()
        boxes.append(box)
        pending.extend(reversed(box.subs))
    return boxes
