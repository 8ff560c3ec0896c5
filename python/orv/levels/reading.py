"""Reading the bytes of a level file, and nothing that only looks like one.

A path may name a FIFO, which blocks the reader until some other program writes, or a device
such as ``/dev/zero``, which never ends; either can sit behind a symlink named ``level.json``.
Only regular files are read. The path is looked at before it is opened, so that no device is
opened at all, and the opened descriptor is looked at again, so that a file swapped in
between is caught too; the open itself does not block, as it would on a FIFO.
"""

from __future__ import annotations

import os
import stat

from orv.levels.values import OUT_OF_MEMORY, LevelError

# What a path names when it is no regular file, as the refusal says it.
FILE_KINDS = ((stat.S_ISDIR, "a directory"), (stat.S_ISFIFO, "a FIFO (named pipe)"),
              (stat.S_ISCHR, "a character device"), (stat.S_ISBLK, "a block device"),
              (stat.S_ISSOCK, "a socket"))
OPEN_FLAGS = os.O_RDONLY | os.O_NONBLOCK | os.O_NOCTTY | os.O_CLOEXEC


def read_level_file(path: str | os.PathLike[str]) -> bytes:
    """The bytes of the regular file at ``path``.

    LevelError (placed at the path) for anything that is not a regular file, and for a file
    too large for the memory available; OSError for a path that cannot be opened or read.
    """
    name = os.fspath(path)
    _refuse_unless_regular(os.stat(name).st_mode, name)
    descriptor = os.open(name, OPEN_FLAGS)
    try:
        status = os.fstat(descriptor)
        _refuse_unless_regular(status.st_mode, name)
    except BaseException:
        os.close(descriptor)
        raise
    try:
        with os.fdopen(descriptor, "rb") as file:
            return file.read()
    except MemoryError:
        pass
    # Raised outside the handler, so that what the failed read held is already released.
    raise LevelError(name, f"{OUT_OF_MEMORY} (the file holds {size_text(status.st_size)})")


def size_text(size: int) -> str:
    return f"{size:,} bytes" if size < 1_000_000 else f"{size / 1e6:,.1f} MB"


def _refuse_unless_regular(mode: int, name: str) -> None:
    if stat.S_ISREG(mode):
        return
    kind = next((what for test, what in FILE_KINDS if test(mode)), "something other than a file")
    raise LevelError(name, f"is {kind}, not a level file")
