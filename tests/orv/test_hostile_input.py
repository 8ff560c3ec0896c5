"""Files and output places that a hostile or unlucky user gives the tools: every one ends in a
clear line and status 2, never a traceback, a hang or a flood; text from a level reaches a
terminal inert and a spreadsheet as text."""

import csv
import json
import os
import subprocess
import sys
import unicodedata

import pytest
from orv_test_support import nested_zones, run_orv

from orv.levels.values import MAX_ZONE_DEPTH, NESTING_PROBLEM

ZONE = '{{"id":"top","agents":[],"sub_environments":[],"charges":[{{"magnitude":{},' \
       '"polarity":"positive","visual_id":{}}}]}}'


TOO_LARGE = "is too large for a double"
BAD_FILES = {
    "400 digits": (ZONE.format("9" * 400, '"a"'),
                   f"magnitude: the number 999999999999... (400 characters) {TOO_LARGE}"),
    "5000 digits": (ZONE.format("9" * 5000, '"a"'),
                    f"magnitude: the number 999999999999... (5000 characters) {TOO_LARGE}"),
    "1e400": (ZONE.format("1e400", '"a"'), f"charges[0].magnitude: the number {TOO_LARGE}"),
    "lone surrogate": (ZONE.format("1", '"\\ud800"'), "charges[0].visual_id: the string holds "
                       "a lone surrogate ('\\ud800') at character 0, which is not text"),
    "nested too deep": (nested_zones(MAX_ZONE_DEPTH + 1), f"top zone: {NESTING_PROBLEM}"),
    "FIFO": (os.mkfifo, "is a FIFO (named pipe), not a level file"),
    "endless device": (lambda path: os.symlink("/dev/zero", path),
                       "is a character device, not a level file"),
}
LOAD_EACH = "import sys, orv\nfor path in sys.argv[1:]:\n try: orv.load_level(path)\n" \
            " except orv.LevelError as error: print(error)"


@pytest.fixture(scope="module")
def bad_files(tmp_path_factory):
    folder = tmp_path_factory.mktemp("bad")
    for number, (content, _) in enumerate(BAD_FILES.values()):
        path = folder / f"{number}.json"
        path.write_text(content) if isinstance(content, str) else content(path)
    return [str(folder / f"{number}.json") for number in range(len(BAD_FILES))]


def problem_lines(command: str, paths: list[str]) -> list[str]:
    """For each bad file, what ``command`` said about it, in the order of BAD_FILES."""
    if command == "load_level":
        return subprocess.run([sys.executable, "-c", LOAD_EACH, *paths], text=True,
                              capture_output=True, timeout=120).stdout.splitlines()
    if command == "check":
        done = run_orv("check", *paths, "--jobs", "2", cwd=os.path.dirname(paths[0]))
        assert done.returncode == 2, done.stderr
        return [line for line in done.stdout.splitlines() if ": error: " in line]
    runs = [run_orv(command, path, *(["-o", "page.html"] if command == "view" else []),
                    cwd=os.path.dirname(path)) for path in paths]
    assert all((done.returncode, done.stdout) == (2, "") for done in runs)
    return [line for done in runs for line in done.stderr.splitlines()]


@pytest.mark.parametrize("command", ["play", "view", "check", "load_level"])
def test_every_bad_file_is_one_line_with_its_place_for_every_command(command, bad_files):
    lines = problem_lines(command, bad_files)
    assert len(lines) == len(BAD_FILES), lines
    for path, line, (_, problem) in zip(bad_files, lines, BAD_FILES.values()):
        assert f"{path}: " in line and problem in line


ROOM = {"id": "hall\x1b]0;pwned\x07", "sub_environments": [], "charges": [
    {"magnitude": 1, "polarity": "positive", "visual_id": "a"}] * 2,
        "agents": [{"name": "Plus Magician", "visual_id": "p\x1b[2J"}]}
HOSTILE = {**ROOM, "agents": [{"name": "Equals Gate", "visual_id": "gate\x9b31m",
                               "target_value": 9}], "sub_environments": [ROOM],
           "charges": [{"magnitude": -2, "polarity": "positive", "visual_id": "neg"}]}
MISNAMED = {**ROOM, "agents": [{"name": "Plus\x1bMagican", "visual_id": "x"}]}


def test_level_text_reaches_a_terminal_inert_and_a_spreadsheet_as_text(tmp_path):
    files = ("=1+2.json", "@SUM(1+1).json")
    for name, level in zip(files, (HOSTILE, MISNAMED)):
        (tmp_path / name).write_text(json.dumps(level))
    runs = [run_orv("play", name, cwd=tmp_path) for name in files]
    runs.append(run_orv("play", files[0], "--summary", cwd=tmp_path))
    runs.append(run_orv("check", *files, "--all", "--report", "r.csv", cwd=tmp_path))
    shown = "".join(run.stdout + run.stderr for run in runs)
    assert not [char for char in shown if unicodedata.category(char) == "Cc" and char != "\n"]
    for escaped in ("hall\\x1b]0;pwned\\x07", "gate\\x9b31m", "p\\x1b[2J", "Plus\\x1bMagican"):
        assert escaped in shown
    with open(tmp_path / "r.csv", newline="", encoding="utf-8") as file:
        rows = list(csv.DictReader(file))
    assert [(row["path"], row["frames"], row["final_charges"][:5]) for row in rows] == [
        ("'=1+2.json", "3", "'-2.0"), ("'@SUM(1+1).json", "0", "")]
    exact = run_orv("check", *files, "--json", "--report", "r.jsonl", cwd=tmp_path).stdout
    assert exact == (tmp_path / "r.jsonl").read_text(encoding="utf-8")
    assert '"=1+2.json"' in exact and 'gate \\"gate\x9b31m\\"' in exact
    assert 'unknown agent name \\"Plus\\u001bMagican\\"' in exact


FULL_DEVICE_RUNS = {
    "play's narration": (("play", "workshop"), True),
    "the viewer's page": (("view", "workshop", "-o", "/dev/full"), False),
    "a report, at close": (("check", "workshop", "--report", "full.csv"), False),
    "a report, mid-run": (("check", "levels", "--jobs", "1", "--report", "full.jsonl"), False),
}


@pytest.mark.parametrize("arguments, to_standard_output", FULL_DEVICE_RUNS.values(),
                         ids=FULL_DEVICE_RUNS.keys())
def test_output_to_a_full_device_is_one_line_and_status_2(arguments, to_standard_output,
                                                          tmp_path):
    from orv.generating.levels import generate_levels
    generate_levels(60, seed=1, out=tmp_path / "levels")
    for name in ("full.csv", "full.jsonl"):
        os.symlink("/dev/full", tmp_path / name)
    with open("/dev/full", "w") if to_standard_output else open(os.devnull, "w") as out:
        done = subprocess.run([sys.executable, "-m", "orv", *arguments], cwd=tmp_path,
                              stdout=out, stderr=subprocess.PIPE, text=True, timeout=120)
    assert done.returncode == 2 and done.stderr.count("\n") == 1
    assert "No space left on device" in done.stderr
