"""Running a level: its frames one by one, each with the record of what its step did."""

from __future__ import annotations

import json
from collections.abc import Iterator
from dataclasses import dataclass, field
from functools import cached_property
from typing import Any, cast

from orv import _native
from orv.documents import EventJson, StepRecordJson
from orv.levels.samples import LevelSource, level_source_text


@dataclass(frozen=True)
class Frame:
    """One frame as the engine wrote it: the JSON text, the document it holds, and the step
    record of what the step did (None for a frame whose step was not recorded, such as one
    a game took through ``orv_engine`` itself)."""

    text: str
    document: dict[str, Any]
    record: StepRecordJson | None = field(default=None)

    @classmethod
    def from_text(cls, text: str, record_text: str | None = None) -> Frame:
        record = None if record_text is None else cast(StepRecordJson, json.loads(record_text))
        return cls(text, json.loads(text), record)

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
    def event(self) -> EventJson | None:
        event: EventJson | None = self.document["meta"]["last_event"]
        return event


class RecordedRun:
    """A level played step by step on its own copy, read from ``level_text`` (a level file's
    text): each step gives the frame's text and the text of its step record, parsed only
    when asked for."""

    def __init__(self, level_text: str) -> None:
        self._sequencer = _native.RecordingSequencer(level_text)
        self.start_text: str = self._sequencer.level_text()

    @cached_property
    def start(self) -> dict[str, Any]:
        """The level as loaded, before the first step."""
        document: dict[str, Any] = json.loads(self.start_text)
        return document

    def texts(self) -> Iterator[tuple[str, str]]:
        """(frame text, step record text) of each frame until the level ends or the step
        budget runs out."""
        while not self._sequencer.is_finished:
            yield self._sequencer.next_frame()

    def finish(self) -> None:
        """Plays the frames left without handing them out."""
        self._sequencer.finish()

    def outcome_text(self) -> str:
        """The JSON text of what the frames played so far came to, as the engine classifies
        the run (``orv.playing.outcome.LevelOutcome.from_engine`` reads it)."""
        return self._sequencer.outcome()


def play_frames(level: LevelSource) -> Iterator[Frame]:
    """Play ``level`` (a zone tree, a level file or a sample's name) until it ends or runs
    out of steps, yielding each frame with its step record. The level is played on a copy
    read from its text, so a tree passed in is left as it is and can be played again.

    The last frame has the status FINISHED ("Equation Resolved.") or, when the step budget
    ran out first, ERROR.
    """
    for frame_text, record_text in RecordedRun(level_source_text(level)).texts():
        yield Frame.from_text(frame_text, record_text)
