"""Turning the PATH arguments of ``orv check`` into the list of level files to check."""

from __future__ import annotations

import glob
import os
from collections.abc import Iterable

from orv.levels.samples import SAMPLES, sample_file

GLOB_CHARACTERS = frozenset("*?[")


def level_paths(arguments: Iterable[str]) -> list[str]:
    """Level files for the given files, directories and glob patterns, in argument order.

    A directory stands for every ``*.json`` file below it, in sorted order, and so does a
    directory that a pattern matches; the name of a bundled sample stands for its file, as
    for ``play``, unless a file of that name exists. An argument that names nothing and matches nothing is
    kept as it is, so that checking it reports the missing file as that level's error
    instead of dropping it silently. A file named twice is checked once.
    """
    found: dict[str, None] = {}
    for argument in arguments:
        for path in _expand(argument):
            found.setdefault(path, None)
    return list(found)


def _expand(argument: str) -> list[str]:
    if os.path.isdir(argument):
        return _json_files_below(argument)
    if not os.path.exists(argument) and argument in SAMPLES:
        return [str(sample_file(argument))]
    if os.path.exists(argument) or not GLOB_CHARACTERS & set(argument):
        return [argument]
    matches = sorted(glob.glob(argument, recursive=True))
    if not matches:
        return [argument]
    paths: list[str] = []
    for match in matches:
        paths.extend(_json_files_below(match) if os.path.isdir(match) else [match])
    return paths


def _json_files_below(directory: str) -> list[str]:
    paths: list[str] = []
    for folder, subfolders, files in os.walk(directory):
        subfolders.sort()
        paths.extend(os.path.join(folder, name) for name in sorted(files)
                     if name.endswith(".json"))
    return paths
