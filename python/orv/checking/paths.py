"""Turning the PATH arguments of ``orv check`` into the list of level files to check.

Each real file is checked once, however many names lead to it (symlinks, hard links, a file
named twice, a folder named inside another), and nothing below a folder is skipped in
silence: a folder that cannot be read, or a symlink that leads back to a folder it is in,
is a row of its own with the reason. Walks follow symlinks but visit each real folder once,
so no arrangement of links makes a walk repeat itself or run forever.
"""

from __future__ import annotations

import fnmatch
import glob
import os
from collections.abc import Iterable, Iterator
from typing import NamedTuple

from orv.levels.samples import SAMPLES, sample_file

GLOB_CHARACTERS = frozenset("*?[")
RECURSIVE = "**"


class FoundPath(NamedTuple):
    """A level file to check, or a path that cannot be checked and ``problem`` says why."""

    path: str
    problem: str = ""


def find_levels(arguments: Iterable[str]) -> list[FoundPath]:
    """Level files for the given files, directories and glob patterns, in argument order.

    A directory stands for every ``*.json`` file below it, in sorted order, and so does a
    directory that a pattern matches; the name of a bundled sample stands for its file, as
    for ``play``, unless a file of that name exists. An argument that names nothing and
    matches nothing is kept as it is, so that checking it reports the missing file as that
    level's error instead of dropping it silently.
    """
    found: dict[object, FoundPath] = {}
    for argument in arguments:
        for entry in _expand(argument):
            key = ("problem", entry.path) if entry.problem else _identity(entry.path)
            found.setdefault(key, entry)
    return list(found.values())


def _identity(path: str) -> object:
    """What makes two names one file: its device and inode, or for a missing file its path."""
    try:
        status = os.stat(path)
    except (OSError, ValueError):
        return ("missing", os.path.realpath(path))
    return (status.st_dev, status.st_ino)


def _expand(argument: str) -> list[FoundPath]:
    if os.path.isdir(argument):
        return _json_files_below(argument)
    if not os.path.exists(argument) and argument in SAMPLES:
        return [FoundPath(str(sample_file(argument)))]
    if os.path.exists(argument) or not GLOB_CHARACTERS & set(argument):
        return [FoundPath(argument)]
    return _glob(argument) or [FoundPath(argument)]


class _Walked(NamedTuple):
    """What a walk meets: a folder or a file, its path and its names below the walk's start,
    or a path that cannot be walked and why."""

    path: str
    names: tuple[str, ...]
    folder: bool
    problem: str = ""


def _json_files_below(directory: str) -> list[FoundPath]:
    return [FoundPath(walked.path, walked.problem) for walked in _walk(directory)
            if walked.problem or (not walked.folder and walked.path.endswith(".json"))]


def _walk(top: str) -> Iterator[_Walked]:
    """The folder ``top`` and everything below it: each folder, then its files in sorted
    order, then its sub-folders the same way."""
    try:
        start = os.stat(top)
    except OSError as error:
        yield _Walked(top, (), True, f"cannot read the folder: {error.strerror}")
        return
    seen = {(start.st_dev, start.st_ino)}
    pending: list[tuple[str, tuple[str, ...], tuple[tuple[int, int], ...]]] = [
        (top, (), tuple(seen))]
    while pending:
        folder, names, chain = pending.pop()
        yield _Walked(folder, names, True)
        try:
            with os.scandir(folder) as listing:
                entries = sorted(listing, key=lambda entry: entry.name)
        except OSError as error:
            yield _Walked(folder, names, True, f"cannot read the folder: {error.strerror}")
            continue
        subfolders = []
        for entry in entries:
            identity = _folder_identity(entry)
            if identity is None:
                yield _Walked(entry.path, (*names, entry.name), False)
            elif identity in chain:
                yield _Walked(entry.path, (*names, entry.name), True, "a symlink loop: it "
                              "leads back to a folder that holds it")
            elif identity not in seen:
                seen.add(identity)
                subfolders.append((entry.path, (*names, entry.name), (*chain, identity)))
        pending.extend(reversed(subfolders))


def _folder_identity(entry: os.DirEntry[str]) -> tuple[int, int] | None:
    """The device and inode of the folder that ``entry`` is or links to; None for anything
    else (a file, a link to nothing)."""
    try:
        if not entry.is_dir():
            return None
        status = entry.stat()
    except OSError:
        return None
    return (status.st_dev, status.st_ino)


def _glob(pattern: str) -> list[FoundPath]:
    """What a pattern matches, a matched folder standing for the level files below it.

    Python's own ``**`` follows symlinked folders without end, so such a pattern is matched
    against one walk of the folders it can reach, and what the walk cannot look into is kept
    with the reason.
    """
    parts = pattern.rstrip(os.sep).split(os.sep)
    if RECURSIVE not in parts:
        found: list[FoundPath] = []
        for match in sorted(glob.glob(pattern)):
            found.extend(_json_files_below(match) if os.path.isdir(match)
                         else [FoundPath(match)])
        return found
    first = parts.index(RECURSIVE)
    head = os.sep.join(parts[:first]) or (os.sep if pattern.startswith(os.sep) else "")
    bases = sorted(glob.glob(head)) if glob.has_magic(head) else [head]
    return sorted(found for base in bases if os.path.isdir(base or os.curdir)
                  for found in _matches_below(base, parts[first:]))


def _matches_below(base: str, pattern: list[str]) -> Iterator[FoundPath]:
    matched_folders: set[tuple[str, ...]] = set()
    for walked in _walk(base or os.curdir):
        # Python's glob names what it finds below the current folder without "./".
        path = walked.path if base or not walked.names else os.path.join(*walked.names)
        if walked.problem:
            yield FoundPath(path, walked.problem)
        elif _matches(pattern, walked.names):
            if walked.folder:
                matched_folders.add(walked.names)
            else:
                yield FoundPath(path)
        elif not walked.folder and path.endswith(".json") and any(
                walked.names[:length] in matched_folders for length in range(len(walked.names))):
            yield FoundPath(path)


def _matches(pattern: list[str], parts: tuple[str, ...]) -> bool:
    """Whether path ``parts`` match pattern components, ``**`` standing for any number of
    folders; as for glob, a wildcard matches a name with a leading dot only when it has
    one itself. Worked through without recursion, for paths of any depth."""
    states = _past_recursive({0}, pattern)
    for part in parts:
        hidden = part.startswith(".")
        reached = set()
        for index in states:
            if index == len(pattern):
                continue
            wanted = pattern[index]
            if wanted == RECURSIVE:
                if not hidden:
                    reached.add(index)
            elif fnmatch.fnmatch(part, wanted) and not (
                    hidden and glob.has_magic(wanted) and not wanted.startswith(".")):
                reached.add(index + 1)
        states = _past_recursive(reached, pattern)
        if not states:
            return False
    return len(pattern) in states


def _past_recursive(states: set[int], pattern: list[str]) -> set[int]:
    """The states with every ``**`` also taken as matching no folder at all."""
    result = set(states)
    for index in states:
        while index < len(pattern) and pattern[index] == RECURSIVE:
            index += 1
            result.add(index)
    return result
