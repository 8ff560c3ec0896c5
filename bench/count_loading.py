"""Loading or checking generated level files once each, for counting instructions.

Run under callgrind, once for each part, and subtract the interpreter's start ("none"):

    valgrind --tool=callgrind --callgrind-out-file=/dev/null \
        .venv/bin/python bench/count_loading.py {none,load,check} [COUNT]

Timings on a shared machine vary by tens of percent; instruction counts do not.
"""

import sys
import tempfile
from pathlib import Path

from orv.checking.level import check_level_file
from orv.generating.levels import generate_levels
from orv.levels.files import level_from_json

part, count = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 300
with tempfile.TemporaryDirectory() as folder:
    paths = [str(path) for path in generate_levels(count, 2026, Path(folder), 4)]
    texts = [Path(path).read_bytes() for path in paths]
    if part == "load":
        for text in texts:
            level_from_json(text)
    elif part == "check":
        for path in paths:
            check_level_file(path)
