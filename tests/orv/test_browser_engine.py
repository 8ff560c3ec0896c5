"""The browser engine (the engine compiled to WebAssembly, run by Node) against the Python
module and package: the same frames byte for byte and the same step records for random
levels, the same search reports and the same played solutions for random puzzles, the same
kind table, and Errors, never an abort, for bad input."""

from __future__ import annotations

import argparse
import json
import math
import random
import shutil
from importlib import resources
from typing import Any

import orv_engine
import pytest
from headless_chromium import CHROMIUM, HeadlessChromium
from node_engine import NODE, EngineError, NodeEngine
from odd_levels import odd_level
from orv_test_support import (browser_engine_missing, environment_without_sanitizer, frame_texts,
                              nested_zones, run_orv)
from outcome_reference import reference_outcome, told
from puzzle_cases import BAD_PUZZLE_KEYS, puzzle_text

import orv
from orv import _native
from orv.commands import studio as studio_command
from orv.documents import zone_total
from orv.exit_status import ExitStatus
from orv.generating.puzzles import generate_puzzle
from orv.levels.designer_keys import DESIGNER_KEYS
from orv.levels.files import LevelError, level_to_json
from orv.levels.samples import SAMPLES, sample_file
from orv.playing.changes import frame_changes
from orv.playing.frames import RecordedRun
from orv.playing.outcome import LevelOutcome, play_outcome
from orv.puzzles.puzzle import Puzzle
from orv.studio.page import palette
from orv.viewer.page import START_MESSAGE, played_level, viewer_data
from orv.web import BrowserEngineMissing, browser_engine_path

RANDOM_LEVELS = 1200
RANDOM_PUZZLES = 100


@pytest.fixture(scope="module")
def engine():
    if NODE is None:
        pytest.skip("Node is not installed (apt-get install nodejs)")
    missing = browser_engine_missing()
    if missing is not None:
        pytest.skip(missing)
    with NodeEngine(browser_engine_path()) as node:
        yield node


def sample_text(name: str) -> str:
    return sample_file(name).read_text(encoding="utf-8")


def python_run(text: str) -> dict[str, Any]:
    """The frames of the Python module and the package's step records and outcome, for a
    level file."""
    top = orv.level_from_json(text)
    run = RecordedRun(level_to_json(top))
    records = [json.loads(record) for _, record in run.texts()]
    return {"frames": frame_texts(top), "steps": records,
            "outcome": json.loads(run.outcome_text())}


def test_random_levels_give_the_python_modules_frames_byte_for_byte(engine):
    differing = []
    for seed in range(RANDOM_LEVELS):
        text = odd_level(seed)
        if engine.call("playLevel", text) != python_run(text):
            differing.append(seed)
    assert not differing, f"levels whose frames differ (odd_levels.odd_level(seed)): {differing}"


def test_a_frame_handed_over_in_pieces_keeps_every_character_whole(engine):
    # Frames longer than 64 KiB become JavaScript strings piece by piece. With ids of two,
    # three and four UTF-8 bytes, the first 64 KiB ends inside a character.
    top = orv_engine.Environment("to")
    for number in range(2000):
        top.add_sub_environment(orv_engine.Environment("é€😀"[number % 3] * 40))
    frames = frame_texts(top)
    assert frames[0].encode()[65536] & 0xC0 == 0x80
    assert engine.call("playLevel", level_to_json(top))["frames"] == frames


def test_the_kind_table_and_the_numbers_are_the_engines(engine):
    assert engine.call("kinds") == _native.agent_kinds()
    values = [0.0, -0.0, 7.0, -2.5, 1 / 3, 123456.5, 1234567.0, 1e-5, 2.5e-300, 1e308,
              float("inf"), float("-inf"), float("nan"), 5e-324, 999999.5]
    assert engine.call("readableNumbers", [repr(value) if math.isfinite(value) else
                                           str(value).replace("inf", "Infinity").replace(
                                               "nan", "NaN") for value in values] + [None]) \
        == [_native.readable_number(value) for value in values] + ["NaN"]


@pytest.mark.parametrize("seed", range(0, 40, 7))
def test_a_stepped_run_reports_its_state_after_every_frame(engine, seed):
    text = odd_level(seed)
    sequencer = orv_engine.NarrativeSequencer(orv.level_from_json(text))
    frames, states = [], [[sequencer.is_finished, sequencer.current_frame]]
    while not sequencer.is_finished:
        frames.append(sequencer.next_frame())
        states.append([sequencer.is_finished, sequencer.current_frame])
    frames.append(sequencer.next_frame())
    played = python_run(text)
    assert engine.call("stepLevel", text) == {"frames": frames, "states": states,
                                              "steps": [None, *played["steps"]],
                                              "outcomes": [None, played["outcome"]]}


@pytest.mark.parametrize("name", SAMPLES)
def test_the_samples_outcome_is_the_packages_and_the_python_classifiers(engine, name):
    played = engine.call("playLevel", sample_text(name))
    outcome = told(LevelOutcome.from_engine(json.dumps(played["outcome"])))
    assert outcome == told(play_outcome(name))
    start = json.loads(sample_text(name))
    documents = [json.loads(frame) for frame in played["frames"]]
    assert outcome == reference_outcome(start, documents, played["steps"])


def random_puzzle(index: int) -> str:
    rng = random.Random(f"browser puzzle {index}")
    top = generate_puzzle(31, index, rng.randint(2, 5), rng.randint(1, 4), rng.random() < 0.3)
    document = json.loads(level_to_json(top))
    if rng.random() < 0.3:
        document["use"] = "all"
    if rng.random() < 0.3:
        zones, pending = [], [document]
        while pending:
            zones.append(pending.pop())
            pending.extend(zones[-1]["sub_environments"])
        document["slots"] = [zone["id"] for zone in zones if rng.random() < 0.7]
    return json.dumps(document)


def test_random_puzzles_solve_and_play_as_orv_solve_finds_them(engine):
    for index in range(RANDOM_PUZZLES):
        text = random_puzzle(index)
        puzzle = Puzzle(orv.level_from_json(text))
        all_sizes = index % 2 == 0
        found = orv.solve(puzzle, all_sizes=all_sizes, max_solutions=5)
        expected = found.to_json()
        del expected["seconds"]
        report = engine.call("solve", text, {"allSizes": all_sizes, "maxSolutions": 5})
        assert report == expected, f"puzzle {index}"
        for solution in found.solutions[:3]:
            played = engine.call("playPuzzle", text, solution.to_json()["placement"])
            assert played == python_run(level_to_json(puzzle.apply(solution))), f"puzzle {index}"


def test_a_bound_on_placements_ends_the_search_as_it_ends_orv_solve(engine, tmp_path):
    path = tmp_path / "puzzle.json"
    path.write_text(random_puzzle(3), encoding="utf-8")
    for arguments, options in ((["--max-placements", "7"], {"maxPlacements": 7}),
                               (["--all-sizes", "--max-solutions", "1"],
                                {"allSizes": True, "maxSolutions": 1})):
        command = run_orv("solve", str(path), "--json", *arguments, cwd=tmp_path)
        expected = json.loads(command.stdout)
        del expected["seconds"]
        assert engine.call("solve", path.read_text(encoding="utf-8"), options) == expected


def loader_message(text: str) -> str:
    try:
        Puzzle(orv.level_from_json(text))
    except LevelError as error:
        return str(error)
    raise AssertionError("the loader took the puzzle")


@pytest.mark.parametrize("changes", BAD_PUZZLE_KEYS.values(), ids=BAD_PUZZLE_KEYS.keys())
def test_bad_puzzle_keys_are_refused_in_the_loaders_words(engine, changes):
    text = puzzle_text(changes)
    with pytest.raises(EngineError) as refused:
        engine.call("solve", text)
    assert (refused.value.name, refused.value.message) == ("Error", loader_message(text))


VAULT = "locksmiths_vault"
LEVEL = '{"id": "top", "charges": [], "agents": [%s], "sub_environments": []}'
BAD_INPUTS = {
    "not_json": ("playLevel", ["{"], "level text is not JSON: [json.exception.parse_error.101]"),
    "not_text": ("playLevel", [42], "playLevel: the level text must be a string, not number"),
    "number_too_large": ("playLevel", ['{"id": 1e400}'], "number overflow parsing '1e400'"),
    "member_missing": ("playLevel", ['{"id": "x"}'], 'level: the member "agents" is missing'),
    "unknown_kind": ("playLevel", [LEVEL % '{"name": "Plus Magican", "visual_id": "p"}'],
                     'level.agents[0]: "name" "Plus Magican" is not the name of an agent kind'),
    "other_priority": ("playLevel", [LEVEL % '{"name": "Plus Magician", "priority": 5, '
                                             '"visual_id": "p"}'],
                       'level.agents[0]: "priority" (5) is not 10, the fixed priority of '
                       "Plus Magician"),
    "active_agent": ("playLevel", [LEVEL % '{"name": "Plus Magician", "state": "active", '
                                           '"visual_id": "p"}'],
                     '"state" ("active") cannot be restored: agents are only ever placed dormant'),
    "open_gate": ("stepLevel", [LEVEL % '{"name": "Equals Gate", "is_open": true, '
                                         '"target_value": 1, "visual_id": "g"}'],
                  '"is_open" (true) cannot be restored: gates are only ever placed closed'),
    "placement_not_a_list": ("playPuzzle", [VAULT, {"zone": "forge"}],
                             'placement: expected a list of {"zone": id, "agents": [visual '
                             'ids]}, found an object'),
    "placement_missing": ("playPuzzle", [VAULT], "found null"),
    "zone_unknown": ("playPuzzle", [VAULT, [{"zone": "forje", "agents": ["p1"]}]],
                     'placement[0].zone: no zone has the id "forje" (did you mean "forge"?)'),
    "zone_twice": ("playPuzzle", [VAULT, [{"zone": "mill", "agents": ["p1"]},
                                          {"zone": "mill", "agents": ["p2"]}]],
                   'placement[1].zone: zone "mill" is listed twice'),
    "agent_not_in_hand": ("playPuzzle", [VAULT, [{"zone": "mill", "agents": ["q1"]}]],
                          'no agent of the hand has the visual id "q1"'),
    "agent_twice": ("playPuzzle", [VAULT, [{"zone": "mill", "agents": ["x1", "x1"]}]],
                    'placement[0].agents[1]: hand agent "x1" is placed more often than the '
                    "hand holds it (1)"),
    "agent_not_text": ("playPuzzle", [VAULT, [{"zone": "mill", "agents": [1]}]],
                       "placement[0].agents[0]: expected a string, found the number 1"),
    "no_hand": ("solve", [sample_file("workshop").name], 'top zone: the level has no "hand"'),
    "unknown_option": ("solve", [VAULT, {"maxPlacement": 3}], 'unknown option "maxPlacement"'),
    "negative_option": ("solve", [VAULT, {"maxSolutions": -1}],
                        "option maxSolutions must be a whole number of at least 0, not -1"),
}


def with_sample_texts(args: list) -> list:
    named = {VAULT: sample_text(VAULT), "workshop.json": sample_text("workshop")}
    return [named.get(arg, arg) if isinstance(arg, str) else arg for arg in args]


@pytest.mark.parametrize("call, args, message", BAD_INPUTS.values(), ids=BAD_INPUTS.keys())
def test_bad_input_is_an_error_and_the_module_plays_on(engine, call, args, message):
    with pytest.raises(EngineError) as refused:
        engine.call(call, *with_sample_texts(args))
    assert refused.value.name in ("Error", "TypeError")
    assert message in refused.value.message
    workshop = sample_text("workshop")
    assert engine.call("playLevel", workshop)["frames"] == frame_texts(orv.load_sample("workshop"))


def test_a_use_all_puzzle_refuses_a_placement_that_leaves_hand_agents_out(engine):
    text = puzzle_text({"use": "all"})
    with pytest.raises(EngineError) as refused:
        engine.call("playPuzzle", text, [{"zone": "mill", "agents": ["p2", "x1"]}])
    assert refused.value.problems == [{
        "place": "placement", "problem": 'the puzzle\'s "use" is "all": every hand agent must '
        'be placed, and these are not: Plus Magician "p1", Minus Magician "m1"'}]


def test_zones_nested_a_hundred_thousand_deep_play_without_exhausting_the_stack(engine):
    depth = 100_000
    top = zone = orv_engine.Environment("z")
    for _ in range(depth - 1):
        inner = orv_engine.Environment("z")
        zone.add_sub_environment(inner)
        zone = inner
    assert engine.call("playLevel", nested_zones(depth))["frames"] == frame_texts(top)


PAGE = """<!DOCTYPE html>
<meta charset="utf-8">
<script type="application/json" id="level"></script>
<script src="orv_engine.js"></script>
<script>
  window.played = OrvEngine().then((engine) =>
    engine.playLevel(document.getElementById("level").textContent).frames);
</script>
"""


@pytest.mark.skipif(CHROMIUM is None, reason="chromium is not installed (apt-get install "
                    "chromium); the page needs a real browser")
def test_a_page_opened_from_a_file_plays_a_level_with_the_single_file(tmp_path):
    missing = browser_engine_missing()
    if missing is not None:
        pytest.skip(missing)
    engine_file = browser_engine_path()
    text = sample_text("alchemists_tower")
    assert "</" not in text, "a script block's text ends at the first </script"
    page = PAGE.replace('id="level"></script>', f'id="level">{text}</script>')
    shutil.copy(engine_file, tmp_path / "orv_engine.js")
    (tmp_path / "level.html").write_text(page, encoding="utf-8")
    with HeadlessChromium(tmp_path / "profile", environment_without_sanitizer()) as browser:
        browser.open((tmp_path / "level.html").as_uri())
        frames = browser.evaluate("window.played")
    assert frames == frame_texts(orv.load_sample("alchemists_tower"))


def test_an_installation_without_the_engine_says_in_one_line_how_to_get_it(monkeypatch,
                                                                               tmp_path, capsys):
    monkeypatch.setattr("orv.web.FOLDER", tmp_path)
    with pytest.raises(BrowserEngineMissing, match=r"^the browser engine was not built with "
                       r"this installation, since Emscripten was missing; install it \(Debian: "
                       r"apt-get install emscripten\)[^\n]*$"):
        browser_engine_path()
    # The studio's page plays levels with it: the studio says so before it makes or serves
    # anything.
    pytest.importorskip("aiohttp")
    new_file = tmp_path / "new.json"
    arguments = argparse.Namespace(level=str(new_file), port=0, host=None, no_browser=True)
    assert studio_command.run(arguments, "orv studio") == ExitStatus.CANNOT_RUN
    said = capsys.readouterr().err
    assert said.startswith("orv studio: the browser engine was not built") and said.count("\n") == 1
    assert not new_file.exists()


def hint_json(hint: orv.Hint) -> dict[str, object]:
    """A Python hint as the browser engine's plain object gives it."""
    members = {"action": hint.action, "visual_id": hint.visual_id, "zone_id": hint.zone_id,
               "index": hint.index, "text": hint.text, "placements": hint.placements}
    return {name: value for name, value in members.items() if value is not None}


def hint_walk(puzzle: Puzzle, rng: random.Random) -> list[orv.Attempt]:
    """Attempts along a player's way: random moves first, then the hints followed."""
    attempt = puzzle.attempt()
    for _ in range(rng.randint(0, len(puzzle.hand))):
        agent = rng.choice(puzzle.hand).visual_id
        if agent in [left.visual_id for left in attempt.unplaced]:
            attempt.place(agent, rng.choice(attempt.slots))
    seen = []
    for _ in range(3 * len(puzzle.hand) + 2):
        seen.append(attempt.placement)
        hint = attempt.hint()
        if hint.action not in ("place", "remove"):
            break
        hint.follow(attempt)
    return seen


@pytest.mark.parametrize("bound", [10**6, 3])
def test_the_browser_engines_hint_is_the_packages(engine, bound):
    texts = [sample_text(VAULT)] + [random_puzzle(index) for index in range(25)]
    for index, text in enumerate(texts):
        puzzle = Puzzle(orv.level_from_json(text))
        for placement in hint_walk(puzzle, random.Random(index)):
            attempt = puzzle.attempt()
            for zone, agents in placement.placement:
                for agent in agents:
                    attempt.place(agent.visual_id, zone)
            expected = hint_json(attempt.hint(max_placements=bound))
            answer = engine.call("hint", text, placement.to_json()["placement"],
                                 {"maxPlacements": bound})
            assert answer == expected, (index, placement.describe())


# (changes to the vault, a placement, the move of it that Python's Attempt refuses)
REFUSED_PLACEMENTS = {
    "unknown_agent": ({}, [{"zone": "forge", "agents": ["p1", "zz"]}]),
    "placed_twice": ({}, [{"zone": "forge", "agents": ["p1"]}, {"zone": "mill",
                                                                 "agents": ["p1"]}]),
    "no_such_zone": ({}, [{"zone": "forje", "agents": ["p1"]}]),
    "not_a_slot": ({"slots": ["mill"]}, [{"zone": "forge", "agents": ["p1"]}]),
    "use_all_not_met": ({"use": "all"}, [{"zone": "forge", "agents": ["p1"]}]),
}


@pytest.mark.parametrize("changes, placement", REFUSED_PLACEMENTS.values(),
                         ids=REFUSED_PLACEMENTS.keys())
def test_check_placement_refuses_as_the_packages_attempt_does(engine, changes, placement):
    text = puzzle_text(changes)
    attempt = Puzzle(orv.level_from_json(text)).attempt()
    with pytest.raises(orv.PlacementError) as refused:
        for placed in placement:
            for agent in placed["agents"]:
                attempt.place(agent, placed["zone"])
        attempt.level()
    with pytest.raises(EngineError) as thrown:
        engine.call("checkPlacement", text, placement)
    assert (thrown.value.name, thrown.value.message) == ("PlacementError", str(refused.value))
    assert engine.call("checkPlacement", sample_text(VAULT),
                       [{"zone": "forge", "agents": ["p1", "m1"]}]) is None


def packed_changes(before: dict[str, Any], after: dict[str, Any], frame: dict[str, Any],
                   agents: list[Any], charges: list[Any]) -> dict[str, Any]:
    """orv.frame_changes of two frame documents, in the page's packed form."""
    changes = frame_changes(before, after)
    for entry in changes.values():
        if "departed_agents" in entry:
            entry["departed_agents"] = [agents.index(agent)
                                        for agent in entry["departed_agents"]]
        if "collapsed_zones" in entry:
            entry["collapsed_zones"] = [_packed_like(zone, agents, charges)
                                        for zone in entry["collapsed_zones"]]
    if frame["consumed"]:
        path = frame["consumed"]["path"]
        changes[path] = {**changes.get(path, {}), "consumed_charges": frame["consumed"]["charges"]}
    return changes


def _packed_like(zone: dict[str, Any], agents: list[Any], charges: list[Any]) -> dict[str, Any]:
    # A zone that left, packed with the tables the page made from the frame before.
    total = zone_total(zone["charges"]) if zone["charges"] else None
    return {"id": zone["id"], "frozen": zone["is_time_frozen"],
            "charges": [charges.index(charge) for charge in zone["charges"]],
            "agents": [agents.index(agent) for agent in zone["agents"]],
            "total": total if total is None or math.isfinite(total)
            else _native.readable_number(total),
            "subs": [_packed_like(sub, agents, charges) for sub in zone["sub_environments"]]}


def summed_from_frames(zone: dict[str, Any]) -> dict[str, Any]:
    # A frame writes an infinite magnitude as null, so the Python page, which sums the frame,
    # has NaN where the page's total (the engine's, on the tree) is the infinity a gate sees.
    total = "NaN" if zone["total"] in ("inf", "-inf") else zone["total"]
    return {**zone, "total": total, "subs": [summed_from_frames(sub) for sub in zone["subs"]]}


def viewed(data: dict[str, Any]) -> dict[str, Any]:
    """What a viewer draws of the outcome, beside every other part of its data."""
    outcome = data["outcome"]
    frames = [{**frame, "top": summed_from_frames(frame["top"])} for frame in data["frames"]]
    return {**data, "frames": frames, "outcome": [outcome["outcome"], outcome["line"],
                                [(gate["text"], gate["cause"]) for gate in outcome["closed_gates"]],
                                [agent["text"] for agent in outcome["idle_agents"]]]}


@pytest.mark.parametrize("level", [*SAMPLES, *range(60)])
def test_the_studio_plays_and_packs_a_level_as_the_viewer_page_does(engine, level):
    text = sample_text(level) if isinstance(level, str) else odd_level(level)
    scripts = [str(resources.files(package).joinpath(name)) for package, name in
               [("orv.viewer", "common.js"), ("orv.viewer", "changes.js"),
                ("orv.studio", "run.js")]]
    start = {"kinds": palette(), "rules": _native.rule_constants(),
             "start_message": START_MESSAGE, "designer_keys": list(DESIGNER_KEYS)}
    in_page = engine.call("studioRun", text, scripts, start)
    played = played_level(orv.level_from_json(text))
    python = viewer_data(played.documents, played.records)
    changes = [{path: {**entry, **({"collapsed_zones": [summed_from_frames(zone) for zone
                                                          in entry["collapsed_zones"]]}
                                   if "collapsed_zones" in entry else {})}
                for path, entry in frame.items()} for frame in in_page.pop("changes")]
    assert viewed(in_page) == viewed(python)
    documents = played.documents
    assert changes == [{}] + [
        packed_changes(documents[i - 1], documents[i], python["frames"][i], python["agents"],
                       python["charges"]) for i in range(1, len(documents))]
