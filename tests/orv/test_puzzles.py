"""Puzzles: the hand, slots and use of a level file, ``orv solve`` on hand-made puzzles, its
routes (worker processes, Dask) and the generator of puzzles."""

from __future__ import annotations

import fcntl
import json
import math
import os
import pty
import re
import select
import signal
import struct
import subprocess
import sys
import termios
from pathlib import Path
from typing import Any

import orv_engine
import pytest
from orv_test_support import run_orv, wait_for

from orv.levels.files import LevelError, level_from_json, level_to_json, load_level
from orv.puzzles.puzzle import Puzzle
from orv.puzzles.chunks import Chunk, chunk_work, searched, searcher
from orv.running.on_dask import DaskRunner
from orv.running.runners import HereRunner, ProcessRunner
from orv.puzzles.search import solve


def charge(magnitude: float, visual_id: str) -> dict[str, Any]:
    return {"magnitude": magnitude, "polarity": "positive", "visual_id": visual_id}


def zone(zone_id: str, charges: list[Any], subs: list[Any] = (), agents: list[Any] = ()
         ) -> dict[str, Any]:
    return {"id": zone_id, "charges": charges, "agents": list(agents),
            "sub_environments": list(subs)}


def agent(name: str, visual_id: str) -> dict[str, str]:
    return {"name": name, "visual_id": visual_id}


# A vault whose door wants a total; its two rooms hold 2, 3 and 4, 2 and nothing to work them.
HAND = [agent("Plus Magician", "p1"), agent("Multiply Magician", "x1"),
        agent("Minus Magician", "m1")]


def vault(target: float, **keys: Any) -> dict[str, Any]:
    door = {"name": "Equals Gate", "visual_id": "door", "target_value": target}
    top = zone("vault", [], [zone("left", [charge(2, "a"), charge(3, "b")]),
                             zone("right", [charge(4, "c"), charge(2, "d")])], [door])
    return top | {"hand": HAND} | keys


def write(tmp_path: Path, document: dict[str, Any], name: str = "puzzle.json") -> Path:
    path = tmp_path / name
    path.write_text(json.dumps(document))
    return path


def played_outcome(top: orv_engine.Environment) -> str:
    """Solved when the run ends with every gate opened, told from the frames themselves."""
    sequencer = orv_engine.NarrativeSequencer(top)
    gates = top.to_json().count('"name":"Equals Gate"') + top.to_json().count(
        '"name":"The Judge"')
    opened = 0
    frame: dict[str, Any] = {}
    while not sequencer.is_finished:
        frame = json.loads(sequencer.next_frame())
        event = frame["meta"]["last_event"]
        opened += event["type"] == "CAST_SPELL" and event["agent_name"] in (
            "Equals Gate", "The Judge")
    status = frame["meta"]["status"]
    return "solved" if status == "FINISHED" and gates and opened == gates else "not solved"


# (puzzle, exit status, minimal size, solution count per size, solutions)
SOLVING = {
    "unique": (vault(13), 0, 2, {"0": 0, "1": 0, "2": 1},
               [[("left", ["p1"]), ("right", ["x1"])]]),
    "two-solutions": (vault(6), 0, 2, {"0": 0, "1": 0, "2": 2},
                      [[("left", ["x1"]), ("right", ["m1"])],
                       [("left", ["x1"]), ("right", ["p1"])]]),
    "unsolvable": (vault(11), 3, None, {"0": 0, "1": 0, "2": 0, "3": 0}, []),
    "use-all": (vault(0, use="all"), 0, 3, {"3": 1},
                [[("vault", ["m1"]), ("left", ["x1"]), ("right", ["p1"])]]),
    "slots": (vault(13, slots=["right", "left"]), 0, 2, {"0": 0, "1": 0, "2": 1},
              [[("left", ["p1"]), ("right", ["x1"])]]),
}


@pytest.mark.parametrize("case", SOLVING)
def test_solve_finds_every_minimal_solution_and_each_plays_to_solved(
        tmp_path: Path, case: str) -> None:
    document, status, size, counts, solutions = SOLVING[case]
    path = write(tmp_path, document)
    done = run_orv("solve", str(path), "--json", "--write-solution", "solved.json",
                   cwd=tmp_path)
    assert done.returncode == status, done.stderr
    found = json.loads(done.stdout)
    assert (found["min_size"], found["solution_count"], found["solvable"]) == (
        size, counts, size is not None)
    assert [[(item["zone"], item["agents"]) for item in solution["placement"]]
            for solution in found["solutions"]] == solutions
    assert found["unique"] == (None if size is None else len(solutions) == 1)
    puzzle = Puzzle.of(path)
    count = searcher(puzzle.search_inputs()).placement_count
    assert found["complete"] and found["placements"] == sum(
        count(int(searched)) for searched in counts)
    if size is not None:
        assert found["difficulty"] == pytest.approx(math.log2(count(size) / len(solutions)))
        assert load_level(tmp_path / "solved.json").to_json() == puzzle.apply(
            solve(path).solutions[0]).to_json()
    for solution in solve(path, all_sizes=True).solutions:
        assert played_outcome(puzzle.apply(solution)) == "solved", solution.describe()
    assert played_outcome(level_from_json(path.read_text())) == "not solved"
    # Saving a loaded puzzle keeps its keys.
    saved = level_to_json(load_level(path))
    assert level_to_json(level_from_json(saved)) == saved
    assert {key: json.loads(saved)[key] for key in document if key not in vault(0)} == {
        key: document[key] for key in document if key not in vault(0)}


# (keys of the top zone, whether two zones share the id "twin", the problems' places and texts)
REFUSED = {
    "hand-gate": ({"hand": [agent("Plus Magician", "p1"),
                            {"name": "The Judge", "visual_id": "j", "target_value": 1}]},
                  False, [("hand[1].name", "The Judge is a gate")]),
    "unknown-name": ({"hand": [agent("Plus Magican", "p1"), {"name": "Plus Magician"}]},
                     False, [("hand[0].name", 'did you mean "Plus Magician"'),
                             ("hand[1]", 'missing key "visual_id"')]),
    "ambiguous-visual-id": ({"hand": [agent("Plus Magician", "p"), agent("Plus Magician", "p"),
                                      agent("Minus Magician", "p")]},
                            False, [("hand[2].visual_id", "is also the visual id of a Plus")]),
    "duplicate-slot-id": ({"slots": ["twin", "left"]}, True,
                          [("slots[0]", 'zone id "twin" is used by 2 zones')]),
    "duplicate-id-default-slots": ({}, True, [("hand", 'zone id "twin" is used by 2 zones')]),
    "unknown-slot": ({"slots": ["left", "lefty", "left"]}, False,
                     [("slots[1]", 'no zone has the id "lefty" (did you mean "left"?)'),
                      ("slots[2]", 'zone "left" is listed twice')]),
    "empty-use": ({"use": ""}, False, [("use", "found an empty text")]),
    "no-hand": ({"hand": None, "use": "all"}, False, [("use", 'needs a "hand"')]),
    "bad-note": ({"puzzle": {"difficulty": -1, "min_size": 2}}, False,
                 [("puzzle.difficulty", "at least 0")]),
}


@pytest.mark.parametrize("case", REFUSED)
def test_a_puzzle_with_wrong_keys_is_refused_with_each_place(tmp_path: Path,
                                                            case: str) -> None:
    keys, twins, expected = REFUSED[case]
    document = {key: value for key, value in (vault(13) | keys).items() if value is not None}
    if twins:
        document["sub_environments"][1]["id"] = "twin"
        document["sub_environments"][0]["sub_environments"].append(zone("twin", []))
    with pytest.raises(LevelError) as refused:
        level_from_json(json.dumps(document))
    assert len(refused.value.problems) == len(expected), refused.value.problems
    for (place, problem), (expected_place, part) in zip(refused.value.problems, expected):
        assert (place, part in problem) == (expected_place, True), problem
    done = run_orv("solve", str(write(tmp_path, document)), cwd=tmp_path)
    assert done.returncode == 2 and "Traceback" not in done.stderr
    assert expected[-1][0] in done.stderr


def bigger_puzzle(more: tuple[dict[str, str], ...] = ()) -> Puzzle:
    """Four zones and a hand of five: a few thousand placements, solutions of three sizes."""
    document = vault(13)
    document["agents"] = [{"name": "The Judge", "visual_id": "door", "target_value": 9,
                           "rule": ">"}]
    document["sub_environments"][1]["sub_environments"].append(
        zone("cellar", [charge(5, "e")]))
    document["hand"] = HAND + [agent("Plus Magician", "p2"), agent("Divide Magician", "q1"),
                               *more]
    return Puzzle(level_from_json(json.dumps(document)))


def without_seconds(result: Any) -> dict[str, Any]:
    found = result.to_json()
    del found["seconds"]
    return found


def test_worker_processes_and_a_local_dask_cluster_find_the_same_as_this_process() -> None:
    pytest.importorskip("distributed")
    puzzle = bigger_puzzle()
    expected = without_seconds(solve(puzzle, all_sizes=True, max_solutions=7))
    assert expected["solution_count"]["3"] > 7
    for options in ({"jobs": 2, "chunk": 37}, {"jobs": 2, "scheduler": "local", "chunk": 53}):
        assert without_seconds(solve(puzzle, all_sizes=True, max_solutions=7,
                                     **options)) == expected, options


@pytest.mark.parametrize("route", ["processes", "dask"])
def test_a_worker_killed_mid_search_loses_no_chunk(route: str) -> None:
    work = chunk_work(bigger_puzzle().search_inputs(), False, 5)
    chunks = [Chunk(3, start, start + 40) for start in range(0, 400, 40)]
    expected = sorted(searched(HereRunner(), work, chunks))
    if route == "dask":
        distributed = pytest.importorskip("distributed")
        with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                      host="127.0.0.1", dashboard_address="127.0.0.1:0"
                                      ) as cluster, distributed.Client(cluster) as client:
            found = _killing(searched(DaskRunner(client), work, chunks),
                             lambda: next(iter(client.run(os.getpid).values())))
    else:
        runner = ProcessRunner(2)
        try:
            found = _killing(searched(runner, work, chunks),
                             lambda: next(iter(runner._pool._processes)))  # type: ignore
        finally:
            runner.close()
    assert sorted(found) == expected


def _killing(results: Any, victim: Any) -> list[Any]:
    """Every result, a worker of the run's own being killed after the first."""
    found = []
    for result in results:
        found.append(result)
        if len(found) == 1:
            os.kill(victim(), signal.SIGKILL)
    return found


def read_terminal(terminal: int, until: str | None = None) -> str:
    """What a child wrote to the terminal ``terminal`` (the pty's own end): up to the first
    ``until``, or all of it once the child has closed its end."""
    text = ""
    while until is None or until not in text:
        ready = wait_for(lambda: select.select([terminal], [], [], 1)[0], "the terminal")
        try:
            chunk = os.read(ready[0], 1 << 16)
        except OSError:  # the child has closed its end
            chunk = b""
        if not chunk:
            assert until is None, f"the terminal closed before {until!r}: {text!r}"
            break
        text += chunk.decode(errors="replace")
    return text


@pytest.mark.parametrize("jobs", ["1", "2"])
def test_ctrl_c_prints_what_was_found_and_exits_130(tmp_path: Path, jobs: str) -> None:
    more = tuple(agent(name, f"e{number}") for number, name in enumerate(
        ["Minus Magician", "The Scavenger", "Power Sorcerer", "Plus Magician", "The Purifier",
         "Multiply Magician", "Divide Magician", "Plus Magician"]))
    path = tmp_path / "huge.json"
    path.write_text(level_to_json(bigger_puzzle(more).top))
    # Standard error is a terminal, so that the progress bar shows that the search is under
    # way; the sizes up to 13 hold about 213 million placements, minutes of work on two cores.
    terminal, its_end = pty.openpty()
    fcntl.ioctl(its_end, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 200, 0, 0))  # a bar's room
    with subprocess.Popen([sys.executable, "-m", "orv", "solve", str(path), "--all-sizes",
                           "--json", "--jobs", jobs, "--max-placements", str(10**15)],
                          stdout=subprocess.PIPE, stderr=its_end, text=True) as solving:
        os.close(its_end)
        try:
            shown = read_terminal(terminal, until="placements")
            solving.send_signal(signal.SIGINT)
            out, _ = solving.communicate(timeout=120)
            shown += read_terminal(terminal)
        finally:
            os.close(terminal)
    assert solving.returncode == 130, shown
    # Only the bars ("12%|███  | 120/1000 ..."): no traceback, no other line.
    assert all(re.match(r"\s*\d+%\|", part) for part in re.split(r"[\r\n]+", shown)
               if part.strip()), shown
    found = json.loads(out)
    assert found["complete"] is False and found["placements"] > 0
    assert found["min_size"] in (None, 3)


def test_generated_unique_puzzles_are_unique_when_solved_again(tmp_path: Path) -> None:
    arguments = ("generate", "--puzzles", "--count", "3", "--seed", "5", "--zones", "3",
                 "--hand", "2", "--unique")
    first = run_orv(*arguments, "--out", "a", cwd=tmp_path)
    again = run_orv(*arguments, "--out", "b", cwd=tmp_path)
    assert (first.returncode, again.returncode) == (0, 0), first.stderr
    files = sorted((tmp_path / "a").iterdir())
    assert len(files) == 3
    for path in files:
        assert path.read_bytes() == (tmp_path / "b" / path.name).read_bytes()
        note = json.loads(path.read_text())["puzzle"]
        result = solve(path)
        assert (result.unique, result.min_size) == (True, note["min_size"])
        assert note["difficulty"] == pytest.approx(result.difficulty)
        assert len(Puzzle.of(path).hand) == 2
