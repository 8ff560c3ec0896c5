"""The level file a studio edits: what is on disk now, and saving over it without losing a
change that someone else made meanwhile.

A revision names the file's content as it is on disk (a hash of its bytes; "" while there is
no file). The page says which revision its edits started from, so a save over a file that was
changed since is refused until the user confirms it.
"""

from __future__ import annotations

import hashlib
import os
import secrets
from dataclasses import dataclass
from pathlib import Path

import orv_engine

from orv.levels.files import level_from_json, save_level
from orv.levels.reading import read_level_file
from orv.levels.samples import SAMPLES, sample_file

NO_FILE = ""
# What a new level file holds: one empty top zone, ready to be filled in the page.
EMPTY_LEVEL = '{"id": "top", "charges": [], "agents": [], "sub_environments": []}'


def revision_of(data: bytes | None) -> str:
    return NO_FILE if data is None else hashlib.sha256(data).hexdigest()[:20]


class ChangedOnDisk(Exception):
    """The file is not at the revision the edits started from."""

    def __init__(self, revision: str) -> None:
        super().__init__("the level file was changed on disk since the page loaded it")
        self.revision = revision


@dataclass
class LevelFile:
    """A level file, or a bundled sample that saving writes to ``path`` as a new file."""

    path: Path
    sample: str | None = None

    @classmethod
    def for_argument(cls, argument: str) -> LevelFile:
        """The file ``argument`` names, or for a sample's name a new file in the current
        folder (``NAME.json``, or ``NAME-2.json`` and so on when that one exists)."""
        if os.path.exists(argument) or argument not in SAMPLES:
            return cls(Path(argument))
        path, number = Path(f"{argument}.json"), 1
        while path.exists():
            number += 1
            path = Path(f"{argument}-{number}.json")
        return cls(path, argument)

    def start_new(self) -> None:
        """Write an empty level to ``path``, which must not exist yet (FileExistsError);
        OSError when it cannot be written."""
        with self.path.open("x"):
            pass
        try:
            save_level(level_from_json(EMPTY_LEVEL), self.path)
        except BaseException:
            self.path.unlink(missing_ok=True)
            raise

    def read(self) -> bytes | None:
        """The file's bytes, or None while it does not exist; LevelError when it is no
        regular file, OSError when it cannot be read."""
        try:
            return read_level_file(self.path)
        except FileNotFoundError:
            return None

    def current(self) -> tuple[bytes, str]:
        """The level to edit (the file, or the sample while the file is not written) and
        the file's revision."""
        data = self.read()
        if data is None and self.sample is not None:
            return sample_file(self.sample).read_bytes(), NO_FILE
        if data is None:
            raise FileNotFoundError(2, "No such file or directory", str(self.path))
        return data, revision_of(data)

    def save(self, level_text: str | bytes, base: str, force: bool = False) -> tuple[str, str]:
        """Write the level with the package's saver, unless the file moved on from revision
        ``base`` (ChangedOnDisk) or the level has problems (LevelError); the text written and
        its revision. The file is replaced whole, so a failed save leaves it as it was."""
        top = level_from_json(level_text)
        now = revision_of(self.read())
        if now != base and not force:
            raise ChangedOnDisk(now)
        self._replace_with(top)
        data = self.path.read_bytes()
        return data.decode("utf-8"), revision_of(data)

    def keep_as_new(self, level_text: str | bytes, suffix: str) -> Path:
        """Write the level to a new file beside this one, ``STEM-SUFFIX.json`` (or
        ``STEM-SUFFIX-2.json`` and so on when that one exists); LevelError when the level
        has problems. An existing file is never replaced."""
        top = level_from_json(level_text)
        stem = self.path.with_suffix("").name
        number = 1
        while True:
            name = f"{stem}-{suffix}.json" if number == 1 else f"{stem}-{suffix}-{number}.json"
            path = self.path.with_name(name)
            try:
                # Made empty first and at once, so that two keeps never pick the same name.
                path.open("x").close()
            except FileExistsError:
                number += 1
                continue
            break
        try:
            save_level(top, path)
        except BaseException:
            path.unlink(missing_ok=True)
            raise
        return path

    def _replace_with(self, top: orv_engine.Environment) -> None:
        # A symbolic link stays one: the file it points to is the one replaced.
        target = self.path.resolve()
        temporary = target.with_name(f".{target.name}.{secrets.token_hex(6)}.saving")
        try:
            save_level(top, temporary)
            if target.exists():
                os.chmod(temporary, target.stat().st_mode & 0o7777)
            os.replace(temporary, target)
        except BaseException:
            temporary.unlink(missing_ok=True)
            raise
