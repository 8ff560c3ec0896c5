"""How fast frames are produced, side by side with the fastest JSON writers for Python.

Run: bash bench/run.sh   (or .venv/bin/python bench/bench_frames.py [--seed N] [--levels a,b])

For each generated level (see levels.py) it prints, median of several repetitions:
  to_json     Environment.to_json() of the top zone
  doc         next_frame() on a finished sequencer: the frame document alone
  orjson      orjson.dumps(doc, option=OPT_SORT_KEYS) of the same document parsed into Python
  json        json.dumps(doc, sort_keys=True, separators=(",", ":"), ensure_ascii=False)
  floor       bytes.decode('latin-1') of the same text: producing a str of that size at all
  doc/orjson, doc/json, doc/floor   the time ratios
  MB/s        frame text written per second by next_frame
  peak        the peak extra resident memory of one next_frame call / the size of its text
  run fps     frames per second over a full run of the level (stepping included)
  run/orjson  a run's average next_frame time over orjson's time for frames sampled from it
  step share  the share of a frame's time spent stepping rather than writing the document
  same bytes  whether orjson's bytes equal ours ("values" when only float digits differ)
"""

import argparse
import ctypes
import json
import json.scanner
import statistics
import sys
import time

import orjson

import orv_engine as orv
from levels import LEVELS

REPEATS = {"small": 2001, "medium": 41, "large": 9, "deep": 21, "wide": 9}
# orjson is timed on every n-th frame of a full run (parsing each frame first is slow).
ORJSON_EVERY = {"small": 1, "medium": 10, "large": 50, "deep": 50, "wide": 1}


def median_seconds(call, repeats: int) -> float:
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def status_kib(field: str) -> int:
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(field):
                return int(line.split()[1])
    raise KeyError(field)


def peak_extra_bytes(call) -> int:
    """Peak resident memory during `call` above what was resident before it."""
    # Hand freed heap pages back first, or reused free memory would hide the peak.
    ctypes.CDLL("libc.so.6").malloc_trim(0)
    with open("/proc/self/clear_refs", "w") as clear_refs:
        clear_refs.write("5")  # resets the high-water mark
    before = status_kib("VmRSS:")
    result = call()
    peak = status_kib("VmHWM:")
    del result
    return max(peak - before, 0) * 1024


def compare_bytes(ours: str, doc) -> str:
    try:
        theirs = orjson.dumps(doc, option=orjson.OPT_SORT_KEYS)
    except orjson.JSONEncodeError:
        return "n/a"
    if theirs == ours.encode():
        return "yes"
    return "values" if orjson.loads(theirs) == orjson.loads(ours) else "NO"


def orjson_seconds(text: str) -> float:
    try:
        doc = orjson.loads(text)
        start = time.perf_counter()
        orjson.dumps(doc, option=orjson.OPT_SORT_KEYS)
        return time.perf_counter() - start
    except orjson.JSONDecodeError:
        return float("nan")  # nested deeper than orjson reads


def full_run(top: orv.Environment, sample_every: int, orjson_every: int):
    """Frames per second of a whole run, the stepping share from paired samples, and the
    run's average frame time over orjson's average on frames sampled from the run."""
    sequencer = orv.NarrativeSequencer(top)
    frames, frame_total, paired_frame, paired_doc = 0, 0.0, 0.0, 0.0
    orjson_total, orjson_samples = 0.0, 0
    while not sequencer.is_finished:
        start = time.perf_counter()
        text = sequencer.next_frame()
        elapsed = time.perf_counter() - start
        frames += 1
        frame_total += elapsed
        if frames % orjson_every == 1 or orjson_every == 1:
            orjson_total += orjson_seconds(text)
            orjson_samples += 1
        if frames % sample_every == 0 and not sequencer.is_finished:
            sequencer.is_finished = True  # the next call writes the document, no step
            start = time.perf_counter()
            sequencer.next_frame()
            paired_doc += time.perf_counter() - start
            paired_frame += elapsed
            sequencer.is_finished = False
    share = 1 - paired_doc / paired_frame if paired_frame else float("nan")
    return (frames / frame_total, share, frames,
            (frame_total / frames) / (orjson_total / orjson_samples))


def parse(text: str):
    """json.loads, or the pure-Python scanner for documents nested deeper than C allows."""
    try:
        return json.loads(text)
    except RecursionError:
        decoder = json.JSONDecoder()
        decoder.scan_once = json.scanner.py_make_scanner(decoder)
        return decoder.decode(text)


def median_or_nan(call, repeats: int) -> float:
    """The median time of a writer, or NaN when it refuses the document (orjson stops at
    depth 255, the C json encoder at its own recursion limit)."""
    try:
        return median_seconds(call, repeats)
    except (orjson.JSONEncodeError, RecursionError):
        return float("nan")


def measure(name: str, seed: int) -> dict:
    repeats = REPEATS[name]
    top = LEVELS[name](seed)
    sequencer = orv.NarrativeSequencer(top)
    sequencer.is_finished = True
    text = sequencer.next_frame()
    doc = parse(text)
    row = {"level": name, "KiB": len(text) / 1024}
    row["to_json"] = median_seconds(top.to_json, repeats)
    row["doc"] = median_seconds(sequencer.next_frame, repeats)
    row["orjson"] = median_or_nan(lambda: orjson.dumps(doc, option=orjson.OPT_SORT_KEYS),
                                  repeats)
    row["json"] = median_or_nan(
        lambda: json.dumps(doc, sort_keys=True, separators=(",", ":"), ensure_ascii=False),
        repeats)
    raw = text.encode()
    row["floor"] = median_seconds(lambda: raw.decode("latin-1"), repeats)
    row["same"] = compare_bytes(text, doc)
    row["peak"] = peak_extra_bytes(sequencer.next_frame) / len(text)
    row["fps"], row["step"], row["frames"], row["run/orjson"] = full_run(
        LEVELS[name](seed), sample_every=1 if repeats > 20 else 5,
        orjson_every=ORJSON_EVERY[name])
    return row


def print_table(rows: list) -> None:
    header = (f"{'level':<7}{'KiB':>9}{'to_json ms':>11}{'doc ms':>9}{'orjson ms':>10}"
              f"{'json ms':>9}{'floor ms':>9}{'doc/orjson':>11}{'doc/json':>9}{'doc/floor':>10}"
              f"{'MB/s':>7}{'peak':>6}{'frames':>7}{'run fps':>9}{'run/orjson':>11}{'step':>6}"
              f"{'same bytes':>11}")
    print(header)
    for r in rows:
        print(f"{r['level']:<7}{r['KiB']:>9.1f}{r['to_json'] * 1e3:>11.3f}{r['doc'] * 1e3:>9.3f}"
              f"{r['orjson'] * 1e3:>10.3f}{r['json'] * 1e3:>9.3f}{r['floor'] * 1e3:>9.3f}"
              f"{r['doc'] / r['orjson']:>11.2f}{r['doc'] / r['json']:>9.2f}"
              f"{r['doc'] / r['floor']:>10.1f}"
              f"{r['KiB'] * 1024 / r['doc'] / 1e6:>7.0f}{r['peak']:>6.2f}{r['frames']:>7}"
              f"{r['fps']:>9.0f}{r['run/orjson']:>11.2f}{r['step']:>6.0%}{r['same']:>11}")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=2026)
    parser.add_argument("--levels", default=",".join(LEVELS))
    args = parser.parse_args()
    sys.setrecursionlimit(100_000)  # json.loads and json.dumps of the deep chain
    print_table([measure(name, args.seed) for name in args.levels.split(",")])


if __name__ == "__main__":
    main()
