"""The rules of puzzle files kept once in the engine library (include/orv/puzzle.hpp), as
orv._native offers them: they refuse the files that the package's loader refuses, in the
same words, and read the others to the same hand, slots and placed levels."""

import json
import random

import pytest
from puzzle_cases import BAD_PUZZLE_KEYS, puzzle_text

from orv import _native
from orv.generating.puzzles import generate_puzzle
from orv.levels.files import LevelError, level_from_json, level_to_json
from orv.levels.samples import load_sample
from orv.levels.top_zone_keys import level_extras
from orv.puzzles.puzzle import Puzzle
from orv.puzzles.search import solve


def loader_refusal(text: str) -> LevelError:
    with pytest.raises(LevelError) as refused:
        Puzzle(level_from_json(text))
    return refused.value


@pytest.mark.parametrize("changes", BAD_PUZZLE_KEYS.values(), ids=BAD_PUZZLE_KEYS.keys())
def test_the_engine_refuses_bad_puzzle_keys_in_the_loaders_words(changes):
    text = puzzle_text(changes)
    expected = loader_refusal(text)
    with pytest.raises(ValueError) as refused:
        _native.PuzzleFile(text)
    assert str(refused.value) == str(expected)
    if expected.problems[0][0] != "top zone":  # a level without a hand is a level
        document = json.loads(text)
        extras = {key: document.pop(key) for key in list(document)
                  if key in ("hand", "hint", "notes", "puzzle", "slots", "title", "use")}
        assert _native.level_extras_problems(json.dumps(extras), json.dumps(document)) == \
            expected.problems


def puzzles():
    yield "locksmiths_vault", load_sample("locksmiths_vault")
    for index in range(8):
        yield f"generated_{index}", generate_puzzle(25, index, 3 + index % 3, 1 + index % 4,
                                                    index % 2 == 0)


@pytest.mark.parametrize("name, top", puzzles(), ids=lambda value: value
                         if isinstance(value, str) else "")
def test_the_engine_reads_a_puzzle_and_places_its_solutions_as_the_package_does(name, top):
    puzzle = Puzzle(top)
    read = _native.PuzzleFile(level_to_json(top))
    assert read.level_text == top.to_json()
    assert read.hand == [(agent.name, agent.visual_id) for agent in puzzle.hand]
    assert (read.zone_ids, read.slots, read.use_all) == (
        puzzle.zone_ids, puzzle.slots, puzzle.use_all)
    assert not _native.level_extras_problems(json.dumps(level_extras(top)), top.to_json())
    for solution in solve(puzzle, all_sizes=True).solutions:
        placement = [(zone, [agent.visual_id for agent in agents])
                     for zone, agents in solution.placement]
        assert read.placed_level_text(placement) == puzzle.apply(solution).to_json()


def random_word(rng: random.Random, length: int) -> str:
    return "".join(rng.choice("abcé𝄞 ") for _ in range(length))


@pytest.mark.parametrize("seed", range(6))
def test_the_nearest_zone_id_is_the_one_difflib_picks(seed):
    # Long ids too: from 200 characters on, difflib ignores the commonest characters.
    rng = random.Random(seed)
    length = (3, 8, 30, 250)[seed % 4]
    ids = [random_word(rng, rng.randint(1, length)) for _ in range(12)]
    top = {"id": ids[0], "charges": [], "agents": [], "sub_environments": [
        {"id": zone_id, "charges": [], "agents": [], "sub_environments": []}
        for zone_id in ids[1:]], "hand": [{"name": "Plus Magician", "visual_id": "p"}]}
    for _ in range(20):
        word = rng.choice(ids)
        word = "".join(c for c in word if rng.random() < 0.8) + random_word(rng, 2)
        if word in ids:
            continue
        top["slots"] = [word]
        text = json.dumps(top)
        assert str(pytest.raises(ValueError, _native.PuzzleFile, text).value) == \
            str(loader_refusal(text))
