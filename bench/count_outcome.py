"""Telling the outcome of levels once each, for counting instructions.

Run under callgrind, once for each part, and subtract the interpreter's start ("none"):

    valgrind --tool=callgrind --callgrind-out-file=/dev/null \
        .venv/bin/python bench/count_outcome.py {none,samples,small,medium,wide,parsed}

"samples" and the generated levels (bench/levels.py, seed 2026) are played by
``play_outcome``, as bench/bench_outcome.py's "fast" column; "parsed" is its "parsed" column
on the samples: every frame parsed, then ``classify_frames``.
"""

import json
import sys

import orv_engine
from levels import LEVELS

from orv.levels.samples import SAMPLES, load_sample
from orv.playing.outcome import classify_frames, play_outcome

part = sys.argv[1]
if part == "samples":
    for sample in SAMPLES:
        play_outcome(load_sample(sample))
elif part in LEVELS:
    play_outcome(LEVELS[part](2026))
elif part == "parsed":
    for sample in SAMPLES:
        top = load_sample(sample)
        start = json.loads(top.to_json())
        sequencer = orv_engine.NarrativeSequencer(top)
        documents = []
        while not sequencer.is_finished:
            documents.append(json.loads(sequencer.next_frame()))
        classify_frames(start, documents)
