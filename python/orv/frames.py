"""Running a level: its frames one by one, and a tally of what happened in them."""

from __future__ import annotations

import json
from collections.abc import Iterator
from dataclasses import dataclass, field
from typing import Any

import orv_engine

from orv.roster import GATE_NAMES


@dataclass(frozen=True)
class Frame:
    """One frame as the sequencer returned it: the JSON text and the document it holds."""

    text: str
    document: dict[str, Any]

    @classmethod
    def from_text(cls, text: str) -> Frame:
        return cls(text, json.loads(text))

    @property
    def index(self) -> int:
        return int(self.document["meta"]["frame_index"])

    @property
    def status(self) -> str:
        return str(self.document["meta"]["status"])

    @property
    def message(self) -> str:
        return str(self.document["meta"]["message"])

    @property
    def event(self) -> dict[str, str] | None:
        event: dict[str, str] | None = self.document["meta"]["last_event"]
        return event


def play_frames(top: orv_engine.Environment) -> Iterator[Frame]:
    """Step the level under ``top`` until it ends or runs out of steps, yielding each frame.

    The last frame has the status FINISHED ("Equation Resolved.") or, when the step budget
    ran out first, ERROR.
    """
    sequencer = orv_engine.NarrativeSequencer(top)
    while True:
        yield Frame.from_text(sequencer.next_frame())
        # The sequencer sets is_finished on the frame that ends the level and on the
        # budget error alike, so no frame is parsed twice to tell when to stop.
        if sequencer.is_finished:
            return


@dataclass
class PlaySummary:
    """What a run came to. Gates that open are counted apart from the spells.

    ``frames`` is the number of the last frame, which is the number of steps taken;
    ``final_charges`` are the top zone's charges (their JSON objects) after the last frame.
    """

    frames: int = 0
    spells: int = 0
    collapses: int = 0
    gates_opened: int = 0
    final_status: str = ""
    final_message: str = ""
    final_charges: list[dict[str, Any]] = field(default_factory=list)

    def record(self, frame: Frame) -> None:
        self.frames = frame.index
        self.final_status = frame.status
        self.final_message = frame.message
        self.final_charges = frame.document["charges"]
        event = frame.event
        if event is None:
            return
        if event["type"] == "COLLAPSE_ZONE":
            self.collapses += 1
        elif event["type"] == "CAST_SPELL" and event["agent_name"] in GATE_NAMES:
            self.gates_opened += 1
        elif event["type"] == "CAST_SPELL":
            self.spells += 1
