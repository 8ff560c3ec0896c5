"""The shipped campaign, checked with the solver: one minimal solution each, found again;
difficulty rising; whole numbers within ±1000 along that solution; a title and a hint each.
And ``orv generate --campaign`` writes the same files again."""

import json

import pytest
from orv_test_support import run_orv

import orv
from orv.generating.numbers import MENTAL_LARGEST, first_unworkable
from orv.levels.campaign import CAMPAIGN_LENGTH, CAMPAIGN_SEED, campaign_files, load_campaign
from orv.levels.files import level_to_json
from orv.levels.top_zone_keys import level_extras
from orv.puzzles.puzzle import Puzzle

CAMPAIGN = load_campaign()
NOTES = [level_extras(top)["puzzle"] for top in CAMPAIGN]


def test_the_campaign_has_its_length_and_rises_in_difficulty():
    assert len(CAMPAIGN) == CAMPAIGN_LENGTH >= 20
    difficulties = [note["difficulty"] for note in NOTES]
    assert difficulties == sorted(difficulties)
    assert difficulties[-1] - difficulties[0] > 6


@pytest.mark.parametrize("number", range(len(CAMPAIGN)))
def test_each_puzzle_has_one_minimal_solution_with_workable_numbers(number):
    top = CAMPAIGN[number]
    extras = level_extras(top)
    assert extras["title"].strip() and extras["hint"].strip()
    result = orv.solve(top)
    assert result.unique is True and result.complete
    assert (result.min_size, result.difficulty) == (NOTES[number]["min_size"],
                                                    pytest.approx(NOTES[number]["difficulty"]))
    solved = Puzzle.of(top).apply(result.solutions[0])
    assert first_unworkable(level_to_json(solved), MENTAL_LARGEST) is None


def test_generate_writes_the_first_puzzles_of_the_shipped_campaign_again(tmp_path):
    result = run_orv("generate", "--campaign", str(CAMPAIGN_LENGTH), "--seed",
                     str(CAMPAIGN_SEED), "--first", "2", "--out", "made", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    made = sorted((tmp_path / "made").iterdir())
    shipped = campaign_files()[:2]
    assert [path.name for path in made] == [entry.name for entry in shipped]
    for path, entry in zip(made, shipped, strict=True):
        assert json.loads(path.read_text()) == json.loads(entry.read_text())
