"""Running a level: its frames one by one."""

from __future__ import annotations

import json
from collections.abc import Iterator
from dataclasses import dataclass
from typing import Any

import orv_engine


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
