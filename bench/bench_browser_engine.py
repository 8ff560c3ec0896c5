"""The browser engine (orv/web/orv_engine.js, run by Node) side by side with the native module,
in one run: a frame of the medium level, a whole run of the 300-zone level, the puzzle search
on the solver bench puzzle, and the size of the file.

Run: .venv/bin/python bench/bench_browser_engine.py [--rounds N] [--seed S]

Rounds alternate between the two builds, so that the load of a shared machine falls on both
alike; each figure is the median over the rounds. Times are processor time of each process
(Node's garbage-collector threads included); wall times are printed beside them.

  frame       next_frame() on a finished run of "medium": the frame document alone, as a string
  frame raw   the browser build's frame before its bytes become a JavaScript string
  parsed      the frame as a string, then read by the language's own JSON parser (json.loads,
              JSON.parse): what a game pays to see a frame. A long frame reaches JavaScript as a
              rope of 64 KiB pieces, which JSON.parse first makes flat; this row counts that
  run 300     a whole run of the 300-zone level (levels.three_hundred_zones), frame after
              frame, each frame as a string; reading the level apart
  read 300    reading that level's text with the engine's C++ reader (native: through
              orv._native.PuzzleSearch, which reads it the same way)
  search      placements per second of the search over every size of bench_solve.py's puzzle
"""

from __future__ import annotations

import argparse
import gzip
import json
import shutil
import statistics
import subprocess
import time
from pathlib import Path
from typing import Any

import orv_engine
from levels import LEVELS, three_hundred_zones

import bench_solve
from orv import _native
from orv.levels.files import level_from_json
from orv.web import browser_engine_path

TIMER = Path(__file__).with_name("browser_engine_timer.js")
DOC_REPEATS = 50
PARSE_REPEATS = 10
READ_REPEATS = 5


def timed(work: Any) -> tuple[Any, float, float]:
    wall, cpu = time.perf_counter(), time.process_time()
    result = work()
    return result, time.process_time() - cpu, time.perf_counter() - wall


class BrowserEngine:
    """The timer script in one Node process, answering request after request."""

    def __init__(self, path: Path) -> None:
        node = shutil.which("node") or shutil.which("nodejs")
        if node is None:
            raise SystemExit("Node is not installed (apt-get install nodejs)")
        self.process = subprocess.Popen([node, str(TIMER), str(path)], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, text=True)

    def call(self, name: str, *args: Any) -> Any:
        assert self.process.stdin is not None and self.process.stdout is not None
        self.process.stdin.write(json.dumps({"call": name, "args": args}) + "\n")
        self.process.stdin.flush()
        line = self.process.stdout.readline()
        if not line:
            raise SystemExit("the browser engine's timer failed")
        return json.loads(line)

    def close(self) -> None:
        assert self.process.stdin is not None
        self.process.stdin.close()
        self.process.wait()


def native_frames(text: str) -> dict[str, Any]:
    sequencer = orv_engine.NarrativeSequencer(level_from_json(text))

    def run() -> int:
        frames = 0
        while not sequencer.is_finished:
            sequencer.next_frame()
            frames += 1
        return frames

    frames, run_cpu, run_wall = timed(run)
    _, doc_cpu, doc_wall = timed(lambda: [sequencer.next_frame() for _ in range(DOC_REPEATS)])
    _, parse_cpu, parse_wall = timed(lambda: [json.loads(sequencer.next_frame())
                                              for _ in range(PARSE_REPEATS)])
    return {"frames": frames, "run": {"cpu": run_cpu, "wall": run_wall},
            "doc": {"cpu": doc_cpu / DOC_REPEATS, "wall": doc_wall / DOC_REPEATS},
            "parsed": {"cpu": parse_cpu / PARSE_REPEATS, "wall": parse_wall / PARSE_REPEATS}}


def native_read(text: str) -> dict[str, float]:
    _, cpu, wall = timed(lambda: [_native.PuzzleSearch(text, [], [], False)
                                  for _ in range(READ_REPEATS)])
    return {"cpu": cpu / READ_REPEATS, "wall": wall / READ_REPEATS}


def native_search() -> dict[str, Any]:
    search = _native.PuzzleSearch(bench_solve.build({}).to_json(), bench_solve.HAND,
                                  bench_solve.SLOTS, False)
    (tried, _), cpu, wall = timed(lambda: bench_solve.native_all(search))
    return {"placements": tried, "cpu": cpu, "wall": wall}


def median(rows: list[dict[str, Any]], *keys: str) -> float:
    values = []
    for row in rows:
        for key in keys:
            row = row[key]
        values.append(row)
    return statistics.median(values)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--seed", type=int, default=2026)
    options = parser.parse_args()

    path = browser_engine_path()
    medium = LEVELS["medium"](options.seed).to_json()
    level_300 = three_hundred_zones(options.seed).to_json()
    puzzle = bench_solve.puzzle_file(Path(__file__).parent.parent / "build").read_text()
    browser = BrowserEngine(path)
    native: dict[str, list[Any]] = {"medium": [], "300": [], "read": [], "search": []}
    wasm: dict[str, list[Any]] = {"medium": [], "300": [], "read": [], "search": []}
    try:
        for _ in range(options.rounds):
            native["medium"].append(native_frames(medium))
            wasm["medium"].append(browser.call("frames", medium, DOC_REPEATS, PARSE_REPEATS))
            native["300"].append(native_frames(level_300))
            wasm["300"].append(browser.call("frames", level_300, DOC_REPEATS, PARSE_REPEATS))
            native["read"].append(native_read(level_300))
            wasm["read"].append(browser.call("read", level_300, READ_REPEATS))
            native["search"].append(native_search())
            wasm["search"].append(browser.call("solve", puzzle))
    finally:
        browser.close()
    report(native, wasm, path)


# label, the runs measured, the figure of the native run and of the browser's, the target
ROWS = (("frame", "medium", ("doc",), ("doc",), "target <= 2x"),
        ("frame raw", "medium", ("doc",), ("raw",), ""),
        ("parsed", "medium", ("parsed",), ("parsed",), ""),
        ("run 300", "300", ("run",), ("run",), "target <= 3x"),
        ("read 300", "read", (), (), ""))


def report(native: dict[str, list[Any]], wasm: dict[str, list[Any]], path: Path) -> None:
    print(f"{'':<11}{'native ms':>11}{'browser ms':>12}{'ratio':>7}   (wall: native, browser ms)")
    for label, runs, native_keys, browser_keys, target in ROWS:
        ours, theirs = (median(native[runs], *native_keys, "cpu") * 1e3,
                        median(wasm[runs], *browser_keys, "cpu") * 1e3)
        walls = (median(native[runs], *native_keys, "wall") * 1e3,
                 median(wasm[runs], *browser_keys, "wall") * 1e3)
        print(f"{label:<11}{ours:>11.3f}{theirs:>12.3f}{theirs / ours:>6.2f}x   "
              f"({walls[0]:.3f}, {walls[1]:.3f}) {target}")
    placements = native["search"][0]["placements"]
    assert all(row["placements"] == placements for row in wasm["search"])
    ours = placements / median(native["search"], "cpu")
    theirs = placements / median(wasm["search"], "cpu")
    print(f"search: {placements:,} placements; native {ours:,.0f}/s, browser {theirs:,.0f}/s: "
          f"{theirs / ours:.0%} of native (target >= 40%)")
    data = path.read_bytes()
    print(f"file: {len(data) / 1024:,.0f} KiB, {len(gzip.compress(data, 9)) / 1024:,.0f} KiB "
          f"gzipped (target <= 300 KB gzipped)")
    frames = {level: native[level][0]["frames"] for level in ("medium", "300")}
    print(f"frames per run: medium {frames['medium']}, 300-zone {frames['300']}; "
          f"frame of medium {wasm['medium'][0]['bytes'] / 1024:,.0f} KiB")


if __name__ == "__main__":
    main()
