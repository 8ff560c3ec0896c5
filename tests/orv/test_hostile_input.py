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


BAD_FILES = {
    "400-digit magnitude": (ZONE.format("9" * 400, '"a"'),
                            "charges[0].magnitude: the number 999999999999... (400 "
                            "characters) is too large for a double"),
    "5000-digit magnitude": (ZONE.format("9" * 5000, '"a"'),
                             "charges[0].magnitude: the number 999999999999... (5000 "
                             "characters) is too large for a double"),
    "1e400": (ZONE.format("1e400", '"a"'),
              "charges[0].magnitude: the number is too large for a double"),
    "lone surrogate": (ZONE.format("1", '"\\ud800"'),
                       "charges[0].visual_id: the string holds a lone surrogate ('\\ud800') "
                       "at character 0, which is not text"),
    "nested too deep": (nested_zones(MAX_ZONE_DEPTH + 1), f"top zone: {NESTING_PROBLEM}"),
    "nested past json": (nested_zones(2000), f"top zone: {NESTING_PROBLEM}"),
    "FIFO": (os.mkfifo, "is a FIFO (named pipe), not a level file"),
    "endless device": (lambda path: os.symlink("/dev/zero", path),
                       "is a character device, not a level file"),
}
LOAD_EACH = """
import sys
from orv import LevelError, load_level
for path in sys.argv[1:]:
    try:
        load_level(path)
    except LevelError as error:
        print(error)
"""


@pytest.fixture(scope="module")
def bad_files(tmp_path_factory):
    folder = tmp_path_factory.mktemp("bad")
    for number, (content, _) in enumerate(BAD_FILES.values()):
        path = folder / f"{number}.json"
        path.write_text(content) if isinstance(content, str) else content(path)
    return folder


def problem_lines(command: str, folder) -> list[str]:
    """For each bad file, what ``command`` said about it, in the order of BAD_FILES."""
    paths = [str(folder / f"{number}.json") for number in range(len(BAD_FILES))]
    if command == "load_level":
        done = run_python(LOAD_EACH, *paths, cwd=folder)
        return done.stdout.splitlines()
    if command == "check":
        done = run_orv("check", *paths, "--jobs", "2", cwd=folder)
        assert done.returncode == 2, done.stderr
        return [line for line in done.stdout.splitlines() if ": error: " in line]
    lines = []
    for path in paths:
        done = run_orv(command, path, "-o", "page.html", cwd=folder) if command == "view" \
            else run_orv(command, path, cwd=folder)
        assert (done.returncode, done.stdout) == (2, ""), done.stderr
        lines += done.stderr.splitlines()
    return lines


def run_python(code: str, *arguments: str, cwd, **options):
    return subprocess.run([sys.executable, "-c", code, *arguments], cwd=cwd, text=True,
                          capture_output=True, timeout=120, check=False, **options)


@pytest.mark.parametrize("command", ["play", "view", "check", "load_level"])
def test_every_bad_file_is_one_line_with_its_place_for_every_command(command, bad_files):
    lines = problem_lines(command, bad_files)
    assert len(lines) == len(BAD_FILES), lines
    for number, (line, (_, problem)) in enumerate(zip(lines, BAD_FILES.values())):
        assert f"{bad_files / f'{number}.json'}: " in line and problem in line


HOSTILE = {
    "id": "hall\x1b]0;pwned\x07", "agents": [
        {"name": "Equals Gate", "visual_id": "gate\x9b31m", "target_value": 999}],
    "charges": [{"magnitude": -2, "polarity": "positive", "visual_id": "neg"}],
    "sub_environments": [{"id": "hall\x1b]0;pwned\x07", "sub_environments": [],
                          "agents": [{"name": "Plus Magician", "visual_id": "p\x1b[2J"}],
                          "charges": [{"magnitude": 1, "polarity": "positive", "visual_id": "a"},
                                      {"magnitude": 2, "polarity": "positive",
                                       "visual_id": "b"}]}]}
MISNAMED = {"id": "top", "charges": [], "sub_environments": [],
            "agents": [{"name": "Plus\x1bMagican", "visual_id": "x"}]}


def has_controls(text: str) -> bool:
    return any(unicodedata.category(character) == "Cc" for character in text.replace("\n", ""))


def test_level_text_reaches_a_terminal_inert_and_a_spreadsheet_as_text(tmp_path):
    files = ("=1+2.json", "@SUM(1+1).json")
    for name, level in zip(files, (HOSTILE, MISNAMED)):
        (tmp_path / name).write_text(json.dumps(level))
    runs = [run_orv("play", name, cwd=tmp_path) for name in files]
    runs.append(run_orv("check", *files, "--all", "--report", "r.csv", cwd=tmp_path))
    shown = "".join(run.stdout + run.stderr for run in runs)
    assert not has_controls(shown)
    for escaped in ("hall\\x1b]0;pwned\\x07", "gate\\x9b31m", "p\\x1b[2J", "Plus\\x1bMagican"):
        assert escaped in shown
    with open(tmp_path / "r.csv", newline="", encoding="utf-8") as file:
        rows = list(csv.DictReader(file))
    assert [(row["path"], row["frames"], row["final_charges"][:5]) for row in rows] == [
        ("'=1+2.json", "3", "'-2.0"), ("'@SUM(1+1).json", "0", "")]
    exact = run_orv("check", *files, "--json", "--report", "r.jsonl", cwd=tmp_path)
    printed = [json.loads(line) for line in exact.stdout.splitlines()]
    with open(tmp_path / "r.jsonl", encoding="utf-8") as file:
        assert [json.loads(line) for line in file] == printed
    assert printed[0]["path"] == "=1+2.json"
    assert 'gate "gate\x9b31m"' in printed[0]["closed_gates"][0]
    assert 'unknown agent name "Plus\x1bMagican"' in printed[1]["error"]


FULL_DEVICE_RUNS = {
    "play's narration": (("play", "workshop"), True),
    "check's lines": (("check", "judges_hall"), True),
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
    assert done.returncode == 2
    assert done.stderr.count("\n") == 1 and "No space left on device" in done.stderr
