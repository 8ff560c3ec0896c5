"""The studio's edit-to-frames latency: an edited level posted to a running ``orv studio``
until its answer (the viewer's data of the new run) is read and parsed, as the page does.

    .venv/bin/python bench/bench_studio.py

Each bundled sample is opened in a studio of its own (``--no-browser``, a free loopback port);
each edit changes the first charge's magnitude, so every answer is a new run. Median and
worst of 20 edits after 2 warm-up ones; "server ms" is the part spent in the server process
(the answer's Server-Timing header).
"""

from __future__ import annotations

import json
import re
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request
from pathlib import Path

from orv.levels.samples import SAMPLES, sample_file
from orv.documents import walk_zones

EDITS = 20
WARM_UP = 2


def first_charge(level: dict) -> dict:
    return next(at.zone["charges"][0] for at in walk_zones(level) if at.zone["charges"])


def time_edits(name: str, folder: Path) -> tuple[list[float], list[float], int]:
    path = folder / f"{name}.json"
    path.write_bytes(sample_file(name).read_bytes())
    level = json.loads(path.read_text())
    with subprocess.Popen([sys.executable, "-m", "orv", "studio", str(path), "--no-browser"],
                          stdout=subprocess.PIPE, text=True) as server:
        try:
            server.stdout.readline()
            address = re.search(r"http://\S+", server.stdout.readline()).group()
            base, token = address.split("/?token=")
            rounds, in_server, size = [], [], 0
            for number in range(WARM_UP + EDITS):
                first_charge(level)["magnitude"] = float(number + 2)
                request = urllib.request.Request(
                    base + "/api/play", data=json.dumps(level).encode(), method="POST",
                    headers={"X-Orv-Token": token, "Content-Type": "application/json"})
                started = time.perf_counter()
                with urllib.request.urlopen(request) as answer:
                    body = answer.read()
                    json.loads(body)
                    spent = answer.headers["Server-Timing"]
                if number >= WARM_UP:
                    rounds.append((time.perf_counter() - started) * 1000)
                    in_server.append(float(spent.split("dur=")[1]))
                    size = len(body)
            return rounds, in_server, size
        finally:
            server.terminate()


def main() -> None:
    print(f"{'level':<20}{'answer kB':>10}{'median ms':>11}{'worst ms':>10}{'server ms':>11}")
    with tempfile.TemporaryDirectory() as folder:
        for name in SAMPLES:
            rounds, in_server, size = time_edits(name, Path(folder))
            print(f"{name:<20}{size / 1000:>10.1f}{statistics.median(rounds):>11.1f}"
                  f"{max(rounds):>10.1f}{statistics.median(in_server):>11.1f}")


if __name__ == "__main__":
    main()
