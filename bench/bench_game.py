"""The game page of the shipped campaign in headless Chromium: the file's size, the time from
opening it (file://) to a playable first puzzle, and from Run to the first animated step.

Run: .venv/bin/python bench/bench_game.py [--rounds N]

"open" is the page's performance.now() when ``window.orvGame.ready`` settles (navigation
start to the engine loaded and the first puzzle drawn); "run" is from the call of
``window.orvGame.run()`` (the engine plays the whole level) to the first step drawn. Each
figure is the median of the rounds, each round a fresh load of the page.
"""

from __future__ import annotations

import argparse
import gzip
import os
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "orv"))

from headless_chromium import HeadlessChromium  # noqa: E402

FIRST_STEP = """(async () => {
  const start = performance.now();
  window.orvGame.run();
  await new Promise(done => {
    const look = () => window.orvGame.state().shownSteps >= 1 ? done() : setTimeout(look, 1);
    look();
  });
  return performance.now() - start;
})()"""


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=5)
    rounds = parser.parse_args().rounds
    with tempfile.TemporaryDirectory() as folder:
        page = Path(folder) / "game.html"
        subprocess.run([sys.executable, "-m", "orv", "export", "--game", "campaign", "-o",
                        str(page)], check=True, stdout=subprocess.DEVNULL)
        data = page.read_bytes()
        print(f"file: {len(data) / 1e6:.2f} MB ({len(gzip.compress(data)) / 1e6:.2f} MB "
              "gzipped)")
        opened, first_step = [], []
        with HeadlessChromium(Path(folder) / "profile", dict(os.environ)) as browser:
            for _ in range(rounds):
                browser.open(page.as_uri())
                opened.append(browser.evaluate(
                    "window.orvGame.ready.then(() => performance.now())"))
                first_step.append(browser.evaluate(FIRST_STEP))
    print(f"open to playable: {statistics.median(opened):.0f} ms "
          f"(of {rounds}: {min(opened):.0f} to {max(opened):.0f})")
    print(f"Run to first step: {statistics.median(first_step):.1f} ms "
          f"(of {rounds}: {min(first_step):.1f} to {max(first_step):.1f})")


if __name__ == "__main__":
    main()
