"""A played level for notebooks: ``orv.Run(level)`` shows the frame viewer in Jupyter.

JupyterLab runs no script of plain HTML output, so the viewer page goes into an ``iframe``
whose ``srcdoc`` holds the whole page; the frame is sandboxed, so the page's scripts run
apart from the notebook's own.
"""

from __future__ import annotations

import html
import os
from collections.abc import Sequence
from functools import cached_property
from pathlib import Path
from typing import overload

import orv_engine

from orv.documents import StepRecordJson
from orv.extras import need_extra
from orv.levels.files import level_to_json
from orv.levels.samples import open_level
from orv.playing.frames import Frame, RecordedRun
from orv.playing.outcome import LevelOutcome, run_outcome
from orv.viewer.page import start_document, viewer_page

FRAME_HEIGHT_PX = 640


class Frames(Sequence[Frame]):
    """A run's frames, each parsed from its text when it is first asked for."""

    def __init__(self, texts: list[tuple[str, str]]) -> None:
        self._texts = texts
        self._parsed: dict[int, Frame] = {}

    def __len__(self) -> int:
        return len(self._texts)

    @overload
    def __getitem__(self, index: int) -> Frame: ...
    @overload
    def __getitem__(self, index: slice) -> list[Frame]: ...

    def __getitem__(self, index: int | slice) -> Frame | list[Frame]:
        if isinstance(index, slice):
            return [self[i] for i in range(*index.indices(len(self)))]
        position = range(len(self._texts))[index]
        if position not in self._parsed:
            self._parsed[position] = Frame.from_text(*self._texts[position])
        return self._parsed[position]


class Run:
    """A level played to its end: ``level`` is a zone tree (which is left as it is), a level
    file or the name of a bundled sample. ``frames`` are the engine's frames, ``outcome`` what
    the run came to; in a notebook the run shows as the frame viewer."""

    def __init__(self, level: orv_engine.Environment | str | os.PathLike[str],
                 title: str | None = None) -> None:
        if isinstance(level, orv_engine.Environment):
            self.level_text = level_to_json(level)
            self.title = title or level.id
        else:
            self.level_text = level_to_json(open_level(os.fspath(level)))
            self.title = title or Path(level).stem
        run = RecordedRun(self.level_text)
        self._start = run.start_text
        self.frames = Frames(list(run.texts()))

    @cached_property
    def outcome(self) -> LevelOutcome:
        # A second run that parses only each step record costs less than parsing every frame.
        return run_outcome(RecordedRun(self.level_text))

    def page(self) -> str:
        """The frame viewer page of the run, as ``orv view`` writes it."""
        documents = [start_document(self._start)] + [frame.document for frame in self.frames]
        records: list[StepRecordJson | None] = [None]
        records += [frame.record for frame in self.frames]
        return viewer_page(documents, self.title, records)

    def to_gif(self, path: str | os.PathLike[str], duration_ms: int = 600,
               size: tuple[int, int] = (800, 600)) -> int:
        """Draw the run as an animated GIF at ``path`` (needs ``orv_engine[export]``); the
        number of frames written, the level as loaded first."""
        need_extra("export", "Run.to_gif")
        from orv.export.animation import Pictures, write_pictures

        return write_pictures(self.level_text, self.title,
                              Pictures(gif=Path(path), duration_ms=duration_ms, size=size))

    def _repr_html_(self) -> str:
        return (f'<iframe srcdoc="{html.escape(self.page(), quote=True)}" '
                f'sandbox="allow-scripts" title="{html.escape(self.title)} frames" '
                f'style="width: 100%; height: {FRAME_HEIGHT_PX}px; border: 1px solid #ccc">'
                "</iframe>")

    def __repr__(self) -> str:
        return f"<Run {self.title!r}: {self.outcome.line()}>"
