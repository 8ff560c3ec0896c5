"""The frame viewer: one self-contained HTML page that steps through the frames of a level.

The page is made from a template (``viewer.html``), a style sheet (``viewer.css``) and a few
scripts (``SCRIPTS``), all kept beside this module, and the level's data; once written it
needs no network, as everything is inside it. Agents and charges repeat from frame to frame,
so each distinct one is stored once in a table and the zones refer to it by position; this
keeps the page of a 1000-step level a few megabytes rather than a hundred.
"""

from __future__ import annotations

import html
import json
import math
import os
import re
from dataclasses import dataclass
from importlib import resources
from typing import Any

from orv import _native
from orv.documents import Json, StepRecordJson, rebuild_zones, walk_zones, zone_total
from orv.levels.designer_keys import DESIGNER_KEYS
from orv.levels.samples import LevelSource, level_source_text
from orv.playing.arithmetic import explain_step, step_of
from orv.playing.frames import RecordedRun
from orv.playing.outcome import LevelOutcome, classify_frames
from orv.rules.roster import EQUALS_GATE, GATE_NAMES

START_MESSAGE = "The level as loaded, before the first step."
DATA_MARK = "__ORV_VIEWER_DATA__"
TITLE_MARK = "__ORV_VIEWER_TITLE__"
STYLE_MARK = "__ORV_VIEWER_STYLE__"
SCRIPTS_MARK = "__ORV_VIEWER_SCRIPTS__"
EXTRA_MARK = "__ORV_VIEWER_EXTRA__"
_MARKS = re.compile("|".join((DATA_MARK, TITLE_MARK, STYLE_MARK, SCRIPTS_MARK, EXTRA_MARK)))

# The page's scripts, in the order they run: the shared data and helpers first, the
# controls, which draw the first frame, last.
SCRIPTS = ("common.js", "changes.js", "zones.js", "charts.js", "outcome.js", "controls.js")
STYLE_SHEET = "viewer.css"


class _Table:
    """Distinct JSON objects in order of first use, each with its position."""

    def __init__(self) -> None:
        self.items: list[Json] = []
        self._positions: dict[tuple[tuple[str, Any], ...], int] = {}

    def position(self, item: Json) -> int:
        # Agents and charges hold only scalars, and the engine writes their keys in one order.
        key = tuple(item.items())
        if key not in self._positions:
            self._positions[key] = len(self.items)
            self.items.append(item)
        return self._positions[key]


def start_document(level_text: str) -> Json:
    """The level as loaded, before the first step, as a frame document of its own."""
    start: Json = json.loads(level_text)
    start["meta"] = {"frame_index": 0, "last_event": None, "message": START_MESSAGE,
                     "status": "START"}
    return start


@dataclass(frozen=True)
class PlayedLevel:
    """A level and its run: the level as loaded (as a frame document of its own, with the
    designer's keys), each frame document after it, and each frame's step record (None for
    the start)."""

    documents: list[Json]
    records: list[StepRecordJson | None]


def played_level(level: LevelSource) -> PlayedLevel:
    """Play ``level`` (a zone tree, which is left as it is, a level file or a sample's
    name) on a copy and keep everything the viewer draws."""
    # The level file's text, so that the start carries the designer's keys too.
    level_text = level_source_text(level)
    run = RecordedRun(level_text)
    documents = [start_document(level_text)]
    records: list[StepRecordJson | None] = [None]
    for frame_text, record_text in run.texts():
        documents.append(json.loads(frame_text))
        records.append(json.loads(record_text))
    return PlayedLevel(documents, records)


def level_frames(level: LevelSource) -> list[Json]:
    """The start of the level followed by every frame document of a run."""
    return played_level(level).documents


def viewer_data(documents: list[Json], records: list[StepRecordJson | None] | None = None
                ) -> Json:
    """What the page's script draws: the tables; each frame's tree, meta and what its step
    did (with the charges it consumed); the totals each gate saw; the outcome of the run; the rules' numbers.
    ``records`` are the frames' step records (``played_level``); without them each step is
    taken again from the frame before (``explain_step``)."""
    agents, charges = _Table(), _Table()
    frames = []
    for number, document in enumerate(documents):
        record = records[number] if records is not None else None
        step = None
        if number:
            step = (step_of(record) if record is not None
                    else explain_step(documents[number - 1], document))
        # What else the step changed, the page works out from this frame and the one before
        # (changes.js) when it shows the frame.
        top = _pack_zone(document, agents, charges)
        consumed = None
        if step is not None and step.consumed:
            consumed = {"path": step.path,
                        "charges": [charges.position(charge) for charge in step.consumed]}
        frames.append({
            "meta": document["meta"],
            "top": top,
            "consumed": consumed,
            "step": None if step is None else step.text,
            "record": None if record is None else _record_summary(record),
        })
    result = classify_frames(documents[0], documents[1:], records[1:] if records else None)
    designer = {name: documents[0][name] for name in DESIGNER_KEYS if name in documents[0]}
    return {"agents": agents.items, "charges": charges.items, "frames": frames,
            "gates": gate_series(documents, records), "outcome": outcome_data(result),
            "designer": designer, "rules": _native.rule_constants()}


def _record_summary(record: StepRecordJson) -> Json:
    """What the page's header says of a step: its kind, the agent and the zone."""
    zone = record["zone"]
    return {"step": record["step"], "agent": record["agent"],
            "zone": None if zone is None else zone["id"]}


def outcome_data(result: LevelOutcome) -> Json:
    """The outcome as the page draws it: its line, and each closed gate and idle agent as an
    object with every field and the line that describes it."""
    return {"outcome": str(result.outcome), "line": result.line(),
            "closed_gates": [{**gate.to_dict(), "text": f"closed {gate.describe()}"}
                             for gate in result.closed_gates],
            "idle_agents": [{**agent.to_dict(), "text": f"never cast: {agent.describe()}"}
                            for agent in result.idle_agents]}


def gate_series(documents: list[Json],
                records: list[StepRecordJson | None] | None = None) -> list[Json]:
    """For each gate of the level as loaded: its zone, rule and target, its zone's total in
    every frame (None while the zone is empty or gone, or the total is not finite), and the
    frame in which it opened (None if it never did)."""
    series: list[Json] = []
    for at in walk_zones(documents[0]):
        zone = at.zone
        for agent in zone["agents"]:
            if agent["name"] in GATE_NAMES:
                rule = "==" if agent["name"] == EQUALS_GATE else agent["rule"]
                series.append({"zone": zone["id"], "name": agent["name"],
                               "visual_id": agent["visual_id"], "rule": rule,
                               "target": agent["target_value"], "opened_at": None,
                               "totals": [None] * len(documents)})
    gated = {gate["zone"] for gate in series}
    for number, document in enumerate(documents):
        totals = {at.zone["id"]: zone_total(at.zone["charges"]) for at in walk_zones(document)
                  if at.zone["id"] in gated and at.zone["charges"]}
        opened = _gate_opened(document, records[number] if records else None)
        for gate in series:
            total = totals.get(gate["zone"])
            finite = total is not None and math.isfinite(total)
            gate["totals"][number] = total if finite else None
            if opened == (gate["name"], gate["visual_id"]):
                gate["opened_at"] = gate["opened_at"] or number
    return series


def _gate_opened(document: Json, record: StepRecordJson | None) -> tuple[str, str] | None:
    """The gate (name, visual id) that opened in the frame, if one did."""
    if record is not None:
        agent = record["agent"]
        return (agent["name"], agent["visual_id"]) if record["step"] == "gate" and agent else None
    event = document["meta"]["last_event"]
    return (event["agent_name"], event["visual_id"]) if event else None


def viewer_page(documents: list[Json], title: str,
                records: list[StepRecordJson | None] | None = None) -> str:
    """The page of a run's frame documents (``level_frames``) and their step records,
    titled ``title``."""
    return render_page(viewer_data(documents, records), title)


@dataclass(frozen=True)
class PageExtras:
    """What a page built on the viewer adds to it, from the assets of ``package``: a style
    sheet, a piece of the body (after the frames) and scripts that run after the viewer's.
    ``data`` is given to those scripts as the JSON of the element ``#orv-extra-data``;
    ``engine`` is the browser engine's script (``orv.web.browser_engine_script``), which then
    runs before them."""

    package: str
    style: str
    body: str
    scripts: tuple[str, ...]
    data: Json
    engine: str = ""


def script_json(value: Any) -> str:
    """``value`` as JSON text that may stand inside a script element."""
    text = json.dumps(value, separators=(",", ":"), ensure_ascii=False)
    # "<" only occurs inside JSON strings, where \u003c means the same; escaping it keeps
    # a visual id such as "</script>" from ending the script element early.
    return text.replace("<", "\\u003c")


def render_page(data: Json | None, title: str, extras: PageExtras | None = None) -> str:
    """The page that draws ``data`` (as ``viewer_data`` makes it), with everything inlined;
    without data, the extras' scripts give the page its data (``useData`` in common.js)."""
    scripts = [_asset("orv.viewer", name, "</script") for name in SCRIPTS]
    style = _asset("orv.viewer", STYLE_SHEET, "</style")
    extra = ""
    if extras is not None:
        style += "\n" + _asset(extras.package, extras.style, "</style")
        scripts += ([extras.engine] if extras.engine else []) + [
            _asset(extras.package, name, "</script") for name in extras.scripts]
        extra = (_asset(extras.package, extras.body) + '\n<script type="application/json" '
                 f'id="orv-extra-data">{script_json(extras.data)}</script>')
    parts = {DATA_MARK: script_json(data), TITLE_MARK: html.escape(title), STYLE_MARK: style,
             SCRIPTS_MARK: "\n".join(f"<script>\n{script}</script>" for script in scripts),
             EXTRA_MARK: extra}
    # One pass, so that a mark inside the title or the data is left as it is.
    return _MARKS.sub(lambda mark: parts[mark.group()], _asset("orv.viewer", "viewer.html"))


def _asset(package: str, name: str, closing_tag: str | None = None) -> str:
    text = resources.files(package).joinpath(name).read_text(encoding="utf-8")
    # The assets are ours, but one that closed its own element would break every page.
    if closing_tag is not None and closing_tag in text.lower():
        raise RuntimeError(f"the viewer's {name} contains {closing_tag}>")
    return text


def write_viewer(level: LevelSource, output: str | os.PathLike[str], title: str) -> None:
    """Play ``level`` and write the viewer page of its frames to ``output``.

    OSError when the page cannot be written; a page that was begun in a regular file is
    removed then, so that no half page is left to be opened.
    """
    played = played_level(level)
    write_page(viewer_page(played.documents, title, played.records), output)


def write_page(page: str, output: str | os.PathLike[str]) -> None:
    """Write a page; OSError when it cannot be written, and then a page that was begun in a
    regular file is removed, so that no half page is left to be opened."""
    # A title from a file name of bytes that are not UTF-8 is shown as its escapes.
    file = open(output, "w", encoding="utf-8", errors="backslashreplace")
    try:
        with file:
            file.write(page)
    except OSError:
        if os.path.isfile(output):
            os.remove(output)
        raise


def _pack_zone(top: Json, agents: _Table, charges: _Table) -> Json:
    return rebuild_zones(top, lambda zone: {
        "id": zone["id"],
        "frozen": zone["is_time_frozen"],
        "charges": [charges.position(charge) for charge in zone["charges"]],
        "agents": [agents.position(agent) for agent in zone["agents"]],
        "total": _total_value(zone["charges"]) if zone["charges"] else None,
    }, "subs")


def _total_value(charges: list[Json]) -> float | str:
    """A zone's total for the page: JSON has no infinity or NaN, so those are their texts."""
    total = zone_total(charges)
    return total if math.isfinite(total) else str(_native.readable_number(total))
