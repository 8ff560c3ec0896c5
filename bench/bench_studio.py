"""The studio in headless Chromium, on every bundled sample: opening the page, and an edit to
the first frame of its new run drawn, as the page plays edits with the browser engine.

Run: .venv/bin/python bench/bench_studio.py [--edits N]

Each sample is opened in a studio of its own (``--no-browser``, a free loopback port). "open"
is the page's performance.now() when the first frame is drawn (navigation start to the engine
started, the level played as far as that frame and drawn). "edit" is from an edit of the first
charge's magnitude, made as the panel makes it, to the new run's frame drawn: at the first
frame, and with the last frame shown (the run must then be played that far first). "whole
run" is from the edit to the end of the run, played a slice at a time while the page answers.
Medians of the edits, after one warm-up edit.
"""

from __future__ import annotations

import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "orv"))

from headless_chromium import HeadlessChromium  # noqa: E402

from orv.levels.samples import SAMPLES, sample_file  # noqa: E402

READY = "document.body.dataset.studio === 'ready' && replayTimes.firstFrame > 0"
# Edits the first charge of the level and answers when the new run's frame is drawn and when
# the run has ended, each in milliseconds from the edit.
EDIT = """(async (magnitude) => {
  const started = performance.now();
  edit(top => {
    const pending = [top];
    while (pending.length) {
      const zone = pending.shift();
      if (zone.charges.length) { zone.charges[0].magnitude = magnitude; return; }
      pending.push(...zone.sub_environments);
    }
  });
  await new Promise(done => {
    const look = () => replayTimes.ended > started ? done() : setTimeout(look, 1);
    look();
  });
  return [replayTimes.firstFrame - started, replayTimes.ended - started];
})(MAGNITUDE)"""


def wait(browser: HeadlessChromium, condition: str) -> None:
    browser.evaluate(f"""new Promise(done => {{
      const look = () => ({condition}) ? done() : setTimeout(look, 5);
      look();
    }})""")


def measure(name: str, folder: Path, browser: HeadlessChromium, edits: int
            ) -> dict[str, float]:
    path = folder / f"{name}.json"
    path.write_bytes(sample_file(name).read_bytes())
    with subprocess.Popen([sys.executable, "-m", "orv", "studio", str(path), "--no-browser"],
                          stdout=subprocess.PIPE, text=True) as server:
        try:
            assert server.stdout is not None
            address = ""
            while not address:
                found = re.search(r"http://\S+", server.stdout.readline())
                address = found.group() if found else ""
            browser.open(address)
            wait(browser, READY)
            opened = browser.evaluate("replayTimes.firstFrame")
            figures: dict[str, list[float]] = {"first": [], "last": [], "whole": []}
            for where in ("first", "last"):
                browser.evaluate("show(0)" if where == "first" else "show(frames.length - 1)")
                for number in range(edits + 1):
                    first, whole = browser.evaluate(
                        EDIT.replace("MAGNITUDE", str(number + 2 + (where == "last"))))
                    if number:
                        figures[where].append(first)
                        figures["whole"].append(whole)
            frames = browser.evaluate("frames.length")
        finally:
            server.terminate()
    return {"frames": frames, "open": opened,
            **{where: statistics.median(values) for where, values in figures.items()}}


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--edits", type=int, default=5)
    edits = parser.parse_args().edits
    print("| level | frames | open ms | edit to first frame ms | edit at the last frame ms "
          "| whole run ms |")
    print("|---|---:|---:|---:|---:|---:|")
    with tempfile.TemporaryDirectory() as folder, \
            HeadlessChromium(Path(folder) / "profile", dict(os.environ)) as browser:
        for name in SAMPLES:
            got = measure(name, Path(folder), browser, edits)
            print(f"| {name} | {got['frames']} | {got['open']:.0f} | {got['first']:.1f} | "
                  f"{got['last']:.1f} | {got['whole']:.1f} |", flush=True)


if __name__ == "__main__":
    main()
