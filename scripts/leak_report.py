"""Fails when LeakSanitizer logs show memory leaked by the engine or its bindings.

Usage: python3 leak_report.py LOG_DIR

Leaks whose allocation stack never passes through our code are the interpreter's own
allocations kept until exit and are ignored.
"""

import pathlib
import re
import sys

OUR_FRAMES = re.compile(r"orv_engine\.cpython|\borv::")
RECORD_START = re.compile(r"^(?:Direct|Indirect) leak of", re.MULTILINE)


def our_leaks(text: str) -> list[str]:
    starts = [match.start() for match in RECORD_START.finditer(text)] + [len(text)]
    records = [text[begin:end] for begin, end in zip(starts, starts[1:])]
    return [record.strip() for record in records if OUR_FRAMES.search(record)]


def main(log_dir: str) -> int:
    found = []
    for log in sorted(pathlib.Path(log_dir).glob("asan.*")):
        found += our_leaks(log.read_text(errors="replace"))
    for record in found:
        print(record, end="\n\n", file=sys.stderr)
    if found:
        print(f"leak_report: {len(found)} leak(s) allocated by orv_engine", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
