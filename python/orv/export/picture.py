"""One frame of a run as a picture: a header with the level and the frame, a caption with the
step's arithmetic (green when a gate opened, and the outcome on the last frame), and the zone
tree as nested boxes, the zone that the step changed outlined in orange.

A tree taller than the picture is drawn at full size up to ``TALLEST`` times the room there
is and then scaled down to fit; below that it is cut, and a line says how many zones are not
shown.
"""

from __future__ import annotations

from collections import OrderedDict
from dataclasses import dataclass

from PIL import Image

from orv.documents import Json
from orv.export import pen as colours
from orv.export.pen import Colour, Pen
from orv.export.tree import (
    CHIP_HEIGHT,
    CHIP_PADDING,
    LINE,
    PAD,
    SMALL,
    TEXT,
    AgentLine,
    ZoneBox,
    every_box,
    lay_out,
)
from orv.playing.numbers import number
from orv.rules.roster import EQUALS_GATE

HEADER_HEIGHT = 28
CAPTION_HEIGHT = 28
MARGIN = 10
TALLEST = 3
TONES: dict[str, tuple[Colour, Colour]] = {
    "": (colours.WHITE, colours.INK),
    "success": (colours.SUCCESS, colours.WHITE),
    "failure": (colours.FAILURE, colours.WHITE),
    "warning": (colours.WARNING, colours.WHITE),
}
RULES = {"<": "<", ">": ">", "<=": "<=", ">=": ">="}


@dataclass(frozen=True)
class Scene:
    """What one picture shows: frame ``number`` (0 for the level as loaded) of ``count``."""

    title: str
    number: int
    count: int
    document: Json
    changes: dict[str, Json]
    caption: str
    tone: str = ""


Lines = OrderedDict[tuple[str, int], Image.Image]


def draw_scene(scene: Scene, size: tuple[int, int], lines: Lines) -> Image.Image:
    """The picture of ``scene``, ``size`` pixels; ``lines`` caches text between pictures."""
    width, height = size
    picture = Image.new("RGB", size, colours.PAPER)
    pen = Pen(picture, lines)
    pen.draw.rectangle((0, 0, width, HEADER_HEIGHT), fill=colours.HEADER)
    meta = scene.document["meta"]
    status = meta["status"]
    pen.text((MARGIN, 6), f"{scene.title}  ·  frame {scene.number} of {scene.count - 1}  ·  "
             f"{status}", TEXT, colours.WHITE, width - 2 * MARGIN)
    fill, ink = TONES[scene.tone]
    pen.draw.rectangle((0, HEADER_HEIGHT, width, HEADER_HEIGHT + CAPTION_HEIGHT), fill=fill)
    pen.text((MARGIN, HEADER_HEIGHT + 6), scene.caption, TEXT, ink, width - 2 * MARGIN)
    top = HEADER_HEIGHT + CAPTION_HEIGHT + MARGIN
    tree = _tree_picture(scene, width - 2 * MARGIN, height - top - MARGIN, lines)
    picture.paste(tree, (MARGIN + (width - 2 * MARGIN - tree.width) // 2, top))
    return picture


def _tree_picture(scene: Scene, width: int, room: int, lines: Lines) -> Image.Image:
    root = lay_out(scene.document, scene.changes, width)
    height = min(root.height, TALLEST * room)
    canvas = Image.new("RGB", (width, max(1, height)), colours.PAPER)
    pen = Pen(canvas, lines)
    boxes = every_box(root)
    hidden = 0
    for box in boxes:
        if box.y < height - LINE:
            _draw_zone(pen, box)
        else:
            hidden += 1
    if hidden:
        pen.draw.rectangle((0, height - LINE - 4, width, height), fill=colours.PAPER)
        pen.text((PAD, height - LINE), f"... and {hidden} more zones below", TEXT,
                 colours.MUTED)
    if height <= room:
        return canvas
    return canvas.resize((max(1, width * room // height), room), Image.Resampling.LANCZOS)


def _draw_zone(pen: Pen, box: ZoneBox) -> None:
    frame = (box.x, box.y, box.x + box.width - 1, box.y + box.height - 1)
    if box.changed:
        glow = (frame[0] - 3, frame[1] - 3, frame[2] + 3, frame[3] + 3)
        pen.box(glow, None, colours.CHANGED_GLOW, width=4, radius=9)
    fill = colours.FROZEN_FILL if box.zone["is_time_frozen"] else colours.WHITE
    pen.box(frame, fill, colours.CHANGED if box.changed else colours.ZONE_BORDER,
            width=3 if box.changed else 2)
    left, y = box.x + PAD, box.y + PAD
    title_width = pen.text((left, y + 2), box.zone["id"], TEXT, colours.INK, box.width - 2 * PAD)
    if box.zone["is_time_frozen"]:
        pen.text((left + title_width + 8, y + 4), "time-frozen", SMALL, colours.MUTED)
    y += LINE
    for chip in box.chips:
        _draw_chip(pen, left + chip.x, y + chip.y, chip.width, chip.text, chip.polarity,
                   chip.kind)
    if box.hidden_charges:
        pen.text((left, y + box.chips_height - LINE + 3), f"+{box.hidden_charges} more "
                 "charges", SMALL, colours.MUTED)
    y += box.chips_height + 4
    for line in box.agents:
        _draw_agent(pen, left, y, box.width - 2 * PAD, line)
        y += LINE
    if box.hidden_agents:
        pen.text((left, y + 3), f"+{box.hidden_agents} more agents", SMALL, colours.MUTED)


def _draw_chip(pen: Pen, x: int, y: int, width: int, text: str, polarity: str,
               kind: str) -> None:
    fill, border = colours.POLARITY_COLOURS.get(polarity, colours.POLARITY_COLOURS["neutral"])
    ink = colours.INK
    if kind == "consumed":
        fill, border, ink = colours.CONSUMED_FILL, colours.CONSUMED, colours.CONSUMED
    frame = (x, y, x + width, y + CHIP_HEIGHT - 1)
    pen.box(frame, fill, colours.CHANGED if kind == "new" else border,
            width=3 if kind == "new" else 1, radius=CHIP_HEIGHT // 2)
    drawn = pen.text((x + CHIP_PADDING, y + 2), text, TEXT, ink)
    if kind == "consumed":
        middle = y + CHIP_HEIGHT // 2
        pen.draw.line((x + CHIP_PADDING, middle, x + CHIP_PADDING + drawn, middle), fill=ink)


def _draw_agent(pen: Pen, x: int, y: int, room: int, line: AgentLine) -> None:
    agent = line.agent
    if line.note == "opened":
        pen.box((x - 4, y, x + room, y + LINE - 2), colours.SUCCESS_FILL, None, radius=4)
    ink = {"opened": colours.SUCCESS, "cast": colours.CHANGED}.get(line.note, colours.INK)
    text = f"{agent['name']} ({agent['visual_id']})"
    if "is_open" in agent:
        rule = "=" if agent["name"] == EQUALS_GATE else RULES.get(agent.get("rule", ""), "?")
        state = line.note or ("open" if agent["is_open"] else "closed")
        text += f"  total {rule} {number(agent['target_value'])}  ·  {state}"
    elif line.note:
        text += "  ·  cast"
    drawn = pen.text((x, y + 2), text, TEXT, ink, room)
    if line.note == "cast":
        pen.draw.line((x, y + LINE // 2, x + drawn, y + LINE // 2), fill=ink)
