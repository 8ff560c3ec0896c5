"""The viewer page: its size and the time to make it, for the long and the big levels.

    .venv/bin/python bench/bench_viewer.py

endless_ritual spends the whole 1000-step budget; "60 zones" is the level of
``orv generate --count 1 --seed 3 --zones 60``. "play s" is playing the level and parsing its
frames (``level_frames``), "page s" making the page from them (``viewer_page``); best of 3.
"""

from __future__ import annotations

import time
from collections.abc import Callable

import orv_engine

from orv import load_sample
from orv.generating.levels import generate_level
from orv.viewer.page import level_frames, viewer_page

LEVELS: dict[str, Callable[[], orv_engine.Environment]] = {
    "endless_ritual": lambda: load_sample("endless_ritual"),
    "60 zones": lambda: generate_level(3, 0, 60),
}


def best_of_three(make: Callable[[], orv_engine.Environment]) -> tuple[float, float, int, int]:
    plays, pages = [], []
    for _ in range(3):
        started = time.perf_counter()
        documents = level_frames(make())
        played = time.perf_counter()
        page = viewer_page(documents, "bench")
        plays.append(played - started)
        pages.append(time.perf_counter() - played)
    return min(plays), min(pages), len(documents), len(page.encode())


def main() -> None:
    print(f"{'level':<16}{'frames':>8}{'page MB':>10}{'play s':>9}{'page s':>9}")
    for name, make in LEVELS.items():
        play, page, frames, size = best_of_three(make)
        print(f"{name:<16}{frames:>8}{size / 1e6:>10.2f}{play:>9.3f}{page:>9.3f}")


if __name__ == "__main__":
    main()
