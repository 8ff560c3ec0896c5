"""A run written as pictures: an animated GIF, one PNG per frame, or both.

The first picture is the level as loaded, then one follows for each frame of the run, as the
viewer page shows them. Pictures are drawn and written one at a time, so memory stays flat
however long the run is: Pillow's own multi-frame GIF writer keeps every frame until it has
seen the last, so the GIF is written here frame by frame with Pillow's GIF helpers
(``getheader`` and ``getdata``), each frame as the rectangle that changed since the one before
it, in one fixed palette.
"""

from __future__ import annotations

import os
from collections import OrderedDict
from collections.abc import Callable, Iterator
from contextlib import contextmanager
from dataclasses import dataclass
from pathlib import Path
from typing import IO

from PIL import GifImagePlugin, Image, ImageChops

from orv.export.pen import PALETTE_COLOURS
from orv.export.picture import Lines, Scene, draw_scene
from orv.levels.files import level_from_json
from orv.playing.arithmetic import explain_step
from orv.playing.changes import frame_changes
from orv.playing.frames import play_frames
from orv.playing.outcome import LevelOutcome, Outcome, play_outcome
from orv.viewer.page import start_document

# The last picture stays this many frame durations, so a looping GIF pauses on the outcome.
LAST_FRAME_HOLD = 4
OUTCOME_TONES = {Outcome.SOLVED: "success", Outcome.ENDED: "success",
                 Outcome.STUCK: "failure", Outcome.OUT_OF_STEPS: "warning"}


@dataclass(frozen=True)
class Pictures:
    """Where a run's pictures go and how they look."""

    gif: Path | None = None
    png_folder: Path | None = None
    duration_ms: int = 600
    size: tuple[int, int] = (800, 600)


def scene_count(level_text: str) -> tuple[int, LevelOutcome]:
    """How many pictures the level's run makes, and its outcome (from a run of its own)."""
    outcome = play_outcome(level_from_json(level_text))
    return outcome.frames + 1, outcome


def scenes(level_text: str, title: str, counted: tuple[int, LevelOutcome] | None = None
           ) -> Iterator[Scene]:
    """The pictures' contents of a run of the level, one at a time; ``counted`` is what
    ``scene_count`` says of the level, if the caller has asked it already."""
    count, outcome = counted or scene_count(level_text)
    top = level_from_json(level_text)
    before = start_document(top.to_json())
    yield Scene(title, 0, count, before, {}, before["meta"]["message"])
    for number, frame in enumerate(play_frames(top), start=1):
        after = frame.document
        changes = frame_changes(before, after)
        step = explain_step(before, after, frame.record)
        if step is not None and step.consumed:
            changes.setdefault(step.path, {})["consumed_charges"] = list(step.consumed)
        opened = frame.record is not None and frame.record["step"] == "gate"
        caption, tone = step.text if step else frame.message, "success" if opened else ""
        if number == count - 1:
            caption, tone = f"{caption}  ·  {outcome.line()}", OUTCOME_TONES[outcome.outcome]
        yield Scene(title, number, count, after, changes, caption, tone)
        before = after


def write_pictures(level_text: str, title: str, pictures: Pictures,
                   on_picture: Callable[[], None] = lambda: None,
                   counted: tuple[int, LevelOutcome] | None = None) -> int:
    """Draw the run of the level and write its pictures; the number written. A GIF is
    written under a temporary name and moved into place once whole; OSError names the
    file that could not be written."""
    if pictures.png_folder is not None:
        pictures.png_folder.mkdir(parents=True, exist_ok=True)
    lines: Lines = OrderedDict()
    count = 0
    with _GifFile(pictures.gif) as gif:
        for scene in scenes(level_text, title, counted):
            picture = draw_scene(scene, pictures.size, lines)
            last = scene.number == scene.count - 1
            gif.add(picture, pictures.duration_ms * (LAST_FRAME_HOLD if last else 1))
            if pictures.png_folder is not None:
                picture.save(pictures.png_folder / f"frame_{scene.number:04d}.png")
            count += 1
            on_picture()
    return count


def _palette() -> Image.Image:
    """The GIF's one palette: the pictures' own colours, a colour cube and a grey ramp."""
    colours = list(PALETTE_COLOURS)
    colours += [(r, g, b) for r in range(0, 256, 51) for g in range(0, 256, 51)
                for b in range(0, 256, 51)]
    greys = 256 - len(colours)
    colours += [(v, v, v) for v in (round(255 * i / (greys - 1)) for i in range(greys))]
    palette = Image.new("P", (1, 1))
    palette.putpalette([channel for colour in colours[:256] for channel in colour])
    return palette


class _GifFile:
    """An animated GIF written one frame at a time (nothing at all for a None path)."""

    def __init__(self, path: Path | None) -> None:
        self._path = path
        self._partial = None if path is None else path.with_name(f".{path.name}.partial")
        self._file: IO[bytes] | None = None
        self._previous: Image.Image | None = None
        self._palette = _palette()

    def __enter__(self) -> _GifFile:
        if self._partial is not None:
            with self._named():
                self._file = open(self._partial, "wb")
        return self

    @contextmanager
    def _named(self) -> Iterator[None]:
        # The partial file's name would only puzzle the user.
        try:
            yield
        except OSError as error:
            raise OSError(error.errno, error.strerror, str(self._path)) from None

    def add(self, picture: Image.Image, duration_ms: int) -> None:
        if self._file is None:
            return
        with self._named():
            self._add(picture, duration_ms)

    def _add(self, picture: Image.Image, duration_ms: int) -> None:
        assert self._file is not None
        frame = picture.quantize(palette=self._palette, dither=Image.Dither.NONE)
        if self._previous is None:
            header, _ = GifImagePlugin.getheader(frame.copy(), info={"loop": 0,
                                                                     "duration": duration_ms})
            self._file.writelines(header)
            box = (0, 0, *frame.size)
        else:
            # An unchanged picture is still a frame of its own: a 1-pixel rectangle.
            box = ImageChops.difference(self._previous, frame).getbbox() or (0, 0, 1, 1)
        data = GifImagePlugin.getdata(frame.crop(box), offset=box[:2], duration=duration_ms)
        self._file.writelines(data)
        self._previous = frame

    def __exit__(self, error_type: type[BaseException] | None, *rest: object) -> None:
        if self._file is None:
            return
        assert self._partial is not None and self._path is not None
        try:
            with self._named():
                with self._file:
                    if error_type is None:
                        self._file.write(b";")
                if error_type is None:
                    os.replace(self._partial, self._path)
        finally:
            self._partial.unlink(missing_ok=True)
