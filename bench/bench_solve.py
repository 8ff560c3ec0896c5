"""How fast the native puzzle search tries placements, against the same search over the
public Python API, and whether its memory stays flat.

Run: .venv/bin/python bench/bench_solve.py [--python-sample N] [--memory-placements N]

The bench puzzle: a top zone with an Equals Gate and five sub-zones of two charges each (six
slot zones), and a hand of seven agents of five kinds, two pairs of equal priority (Plus, Plus,
Minus at 10; Multiply, Divide at 50; Power Sorcerer at 75; The Purifier at 90).

- native: every distinct placement of every size (657,000) through
  orv._native.PuzzleSearch.search, one process, one core;
- Python API: a sample of the same placements (every solving one among them), each built
  with the add_* methods of orv_engine.Environment and played with next_frame to its end by
  orv.playing.outcome's play_outcome, which is how `orv check` classifies a run; its solved
  count is compared with the native one on the same placements. "bare" is building and
  next_frame alone, without telling the outcome: what no Python-API search can go below;
- orv solve --all-sizes --json with --jobs 1 and --jobs 2 on the puzzle written as a file,
  the whole command timed (interpreter start included) and the seconds it reports itself;
- memory: searches repeated until --memory-placements placements are tried, peak resident
  memory printed along the way.
Times are processor seconds of this process (the figure that the load of the machine moves
least) and wall seconds.
"""

from __future__ import annotations

import argparse
import json
import resource
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import orv_engine
from orv import _native
from orv.playing.outcome import Outcome, play_outcome
from orv.rules.roster import AGENT_KINDS

ZONES = [("a", [(3, 0), (4, 0)]), ("b", [(2, 0), (5, 1)]), ("c", [(6, 0), (2, 0)]),
         ("d", [(9, 0), (3, 0)]), ("e", [(1, 0), (7, 0)])]
TARGET = 24.0
HAND = [("Plus Magician", "p1"), ("Plus Magician", "p2"), ("Minus Magician", "m1"),
        ("Multiply Magician", "x1"), ("Divide Magician", "d1"), ("Power Sorcerer", "w1"),
        ("The Purifier", "a1")]
SLOTS = list(range(6))


def build(added: dict[int, list[int]]) -> orv_engine.Environment:
    """The bench level through the public API, hand agents `added` by zone number."""
    top = orv_engine.Environment("top")
    top.add_equals_gate("goal", TARGET)
    zones = [top]
    for zone_id, charges in ZONES:
        zone = orv_engine.Environment(zone_id)
        for magnitude, polarity in charges:
            zone.add_charge(float(magnitude), orv_engine.ChargePolarity(polarity),
                            f"{zone_id}{magnitude}")
        top.add_sub_environment(zone)
        zones.append(zone)
    for number, hand_indices in added.items():
        for index in hand_indices:
            name, visual_id = HAND[index]
            getattr(zones[number], AGENT_KINDS[name].add_method)(visual_id)
    return top


def timed(work):
    wall, cpu = time.perf_counter(), time.process_time()
    result = work()
    return result, time.perf_counter() - wall, time.process_time() - cpu


def peak_rss_kib() -> int:
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss


def native_all(search: _native.PuzzleSearch) -> tuple[int, int]:
    tried = solved = 0
    for size in range(len(HAND) + 1):
        found = search.search(size, 0, search.placement_count(size), 0)
        tried, solved = tried + found[0], solved + found[1]
    return tried, solved


def python_sample(search: _native.PuzzleSearch, count: int) -> list[tuple[int, int]]:
    """(size, rank) pairs spread evenly over every size's placements, in proportion, and
    every solving placement."""
    sizes = [(size, search.placement_count(size)) for size in range(len(HAND) + 1)]
    total = sum(placements for _, placements in sizes)
    picked = set()
    for size, placements in sizes:
        share = max(1, count * placements // total)
        picked |= {(size, rank * placements // share) for rank in range(share)}
        picked |= {(size, rank) for rank in search.search(size, 0, placements, placements)[2]}
    return sorted(picked)


def python_route(search: _native.PuzzleSearch, sample: list[tuple[int, int]]) -> int:
    solved = 0
    for size, rank in sample:
        added = {SLOTS[slot]: agents for slot, agents in search.placement(size, rank)}
        solved += play_outcome(build(added)).outcome == Outcome.SOLVED
    return solved


def puzzle_file(folder: Path) -> Path:
    document = json.loads(build({}).to_json())
    document["hand"] = [{"name": name, "visual_id": visual_id} for name, visual_id in HAND]
    document["slots"] = ["top", *(zone_id for zone_id, _ in ZONES)]
    path = folder / "bench_puzzle.json"
    path.write_text(json.dumps(document))
    return path


def solve_command(path: Path, jobs: int) -> tuple[float, float, int]:
    """Wall seconds of the whole command, and the seconds and placements it reports."""
    begin = time.perf_counter()
    done = subprocess.run([sys.executable, "-m", "orv", "solve", str(path), "--all-sizes",
                           "--json", "--jobs", str(jobs)], capture_output=True, text=True,
                          check=False)
    wall = time.perf_counter() - begin
    if done.returncode not in (0, 3):
        raise SystemExit(f"orv solve --jobs {jobs} failed: {done.stderr.strip()}")
    report = json.loads(done.stdout)
    return wall, report["seconds"], report["placements"]


def bare_route(search: _native.PuzzleSearch, sample: list[tuple[int, int]]) -> None:
    for size, rank in sample:
        sequencer = orv_engine.NarrativeSequencer(
            build({SLOTS[slot]: agents for slot, agents in search.placement(size, rank)}))
        while not sequencer.is_finished:
            sequencer.next_frame()


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--python-sample", type=int, default=20_000)
    parser.add_argument("--memory-placements", type=int, default=10_000_000)
    options = parser.parse_args()

    search = _native.PuzzleSearch(build({}).to_json(), HAND, SLOTS, False)
    (tried, solved), wall, cpu = timed(lambda: native_all(search))
    print(f"native: {tried:,} placements, {solved:,} solve; {wall:.3f} s wall, {cpu:.3f} s cpu; "
          f"{tried / cpu:,.0f} placements/s ({cpu / tried * 1e6:.3f} us each)")

    sample = python_sample(search, options.python_sample)
    solved_api, api_wall, api_cpu = timed(lambda: python_route(search, sample))
    native_solved = sum(
        search.search(size, rank, rank + 1, 0)[1] for size, rank in sample)
    print(f"Python API: {len(sample):,} placements, {solved_api:,} solve (native: "
          f"{native_solved:,}); {api_wall:.3f} s wall, {api_cpu:.3f} s cpu; "
          f"{len(sample) / api_cpu:,.0f} placements/s ({api_cpu / len(sample) * 1e6:.1f} us each)")
    _, bare_wall, bare_cpu = timed(lambda: bare_route(search, sample))
    print(f"Python API bare: {bare_wall:.3f} s wall, {bare_cpu:.3f} s cpu; "
          f"{len(sample) / bare_cpu:,.0f} placements/s ({bare_cpu / len(sample) * 1e6:.1f} us each)")
    print(f"native over Python API: {(tried / cpu) / (len(sample) / api_cpu):.1f}x; "
          f"over bare: {(tried / cpu) / (len(sample) / bare_cpu):.1f}x")

    with tempfile.TemporaryDirectory() as folder:
        path = puzzle_file(Path(folder))
        timings = {jobs: min((solve_command(path, jobs) for _ in range(3)), key=lambda t: t[0])
                   for jobs in (1, 2)}
    for jobs, (wall, seconds, placements) in timings.items():
        print(f"orv solve --jobs {jobs}: {placements:,} placements; command {wall:.3f} s, "
              f"search {seconds:.3f} s ({placements / seconds:,.0f} placements/s)")
    print(f"--jobs 2 over --jobs 1: {timings[1][0] / timings[2][0]:.2f}x (command), "
          f"{timings[1][1] / timings[2][1]:.2f}x (search)")

    done, next_report = 0, 100_000
    print(f"memory: peak RSS {peak_rss_kib():,} KiB after 0 placements")
    while done < options.memory_placements:
        for size in range(len(HAND) + 1):
            done += search.search(size, 0, search.placement_count(size), 0)[0]
            while done >= next_report:
                print(f"memory: peak RSS {peak_rss_kib():,} KiB after {done:,} placements")
                next_report *= 10


if __name__ == "__main__":
    main()
