"""``orv export``: time and peak memory of drawing a run as a GIF, against Pillow's own
multi-frame GIF writer fed the same pictures through an iterator.

    .venv/bin/python bench/bench_export.py

Each row runs in a child process of its own (peak RSS from ``wait4``), capped at 4 GiB of
address space. endless_ritual spends the whole 1000-step budget (1,002 pictures, 800x600);
workshop has 8.
"""

from __future__ import annotations

import os
import resource
import subprocess
import sys
import tempfile
import time
from pathlib import Path

LEVELS = ("workshop", "endless_ritual")
CAP_BYTES = 4 << 30

# The same pictures, written by Image.save(save_all=True, append_images=<iterator>).
PILLOW_WRITER = """
import sys
from collections import OrderedDict
from orv.export.animation import scenes
from orv.export.picture import draw_scene
from orv.levels.samples import sample_file

lines = OrderedDict()
pictures = (draw_scene(scene, (800, 600), lines)
            for scene in scenes(sample_file(sys.argv[1]).read_text(), sys.argv[1]))
first = next(pictures)
first.save(sys.argv[2], save_all=True, append_images=pictures, duration=600, loop=0)
"""


def cap_memory() -> None:
    resource.setrlimit(resource.RLIMIT_AS, (CAP_BYTES, CAP_BYTES))


def measure(command: list[str]) -> tuple[float, float]:
    """Seconds and peak RSS in MiB of one child process."""
    started = time.perf_counter()
    child = subprocess.Popen(command, preexec_fn=cap_memory, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode:
        raise SystemExit(f"{command} failed with status {child.returncode}")
    return time.perf_counter() - started, usage.ru_maxrss / 1024


def main() -> None:
    print(f"{'level':<16}{'writer':<22}{'s':>8}{'peak MiB':>10}{'GIF MB':>8}")
    with tempfile.TemporaryDirectory() as folder:
        for level in LEVELS:
            gif = Path(folder) / f"{level}.gif"
            routes = {"orv export": [sys.executable, "-m", "orv", "export", level, "--gif",
                                     str(gif)],
                      "Pillow save_all": [sys.executable, "-c", PILLOW_WRITER, level,
                                          str(gif)]}
            for route, command in routes.items():
                seconds, peak = measure(command)
                print(f"{level:<16}{route:<22}{seconds:>8.1f}{peak:>10.0f}"
                      f"{gif.stat().st_size / 1e6:>8.1f}")


if __name__ == "__main__":
    main()
