"""How fast a level's outcome is found: orv.playing.outcome.play_outcome, which has the engine
play the level and classify the run with no frame written, against parsing every frame with
json.loads and classifying the parsed documents (what the player and the viewer do).

Run: .venv/bin/python bench/bench_outcome.py [--seed N] [--levels a,b]

Columns, best of a few runs (each run rebuilds the level, which is not timed):
  frames      steps taken (1000 is the budget)
  MB/frame    mean frame text size
  outcome     what the run came to
  fast ms     play_outcome
  parsed ms   next_frame + json.loads of every frame + classify_frames
  speed-up    parsed / fast
"""

import argparse
import json
import sys
import time

import orv_engine as orv
from levels import LEVELS

from orv.playing.outcome import classify_frames, play_outcome
from orv.levels.samples import SAMPLES, load_sample

ROUNDS = 3


def fast(top: orv.Environment) -> tuple[object, int, int]:
    result = play_outcome(top)
    return result.outcome, result.frames, 0


def parsed(top: orv.Environment) -> tuple[object, int, int]:
    start = json.loads(top.to_json())
    sequencer = orv.NarrativeSequencer(top)
    documents, size = [], 0
    while not sequencer.is_finished:
        text = sequencer.next_frame()
        size += len(text)
        documents.append(json.loads(text))
    result = classify_frames(start, documents)
    return result.outcome, len(documents), size


def best_ms(build, route) -> tuple[float, tuple[object, int, int]]:
    best, answer = float("inf"), None
    for _ in range(ROUNDS):
        top = build()
        begin = time.perf_counter()
        answer = route(top)
        best = min(best, time.perf_counter() - begin)
    return best * 1000, answer


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=2026)
    parser.add_argument("--levels", default="samples,small,medium,wide")
    arguments = parser.parse_args()
    builds = {}
    for name in arguments.levels.split(","):
        if name == "samples":
            builds.update({sample: (lambda s=sample: load_sample(s)) for sample in SAMPLES})
        else:
            builds[name] = lambda n=name: LEVELS[n](arguments.seed)
    print(f"{'level':<20} {'frames':>6} {'MB/frame':>9} {'outcome':>13} {'fast ms':>9} "
          f"{'parsed ms':>10} {'speed-up':>8}")
    for name, build in builds.items():
        fast_ms, (outcome, _, _) = best_ms(build, fast)
        parsed_ms, (same, frames, size) = best_ms(build, parsed)
        assert outcome == same, (name, outcome, same)
        print(f"{name:<20} {frames:>6} {size / frames / 1e6:>9.3f} {outcome:>13} "
              f"{fast_ms:>9.1f} {parsed_ms:>10.1f} {parsed_ms / fast_ms:>7.1f}x")
        sys.stdout.flush()


if __name__ == "__main__":
    main()
