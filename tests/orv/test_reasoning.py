"""The reasoning-gym dataset: every stored answer solves its puzzle, so does any other
solution the solver finds, a wrong placement earns the partial score and garbage nothing."""

import pytest
import reasoning_gym
from reasoning_gym.factory import create_curriculum

import orv.reasoning
from orv.learning.answers import answer_text, solution_moves
from orv.levels.files import level_from_json
from orv.puzzles.search import solve


@pytest.fixture(scope="module")
def dataset():
    return reasoning_gym.create_dataset("orv_puzzles", size=20, seed=1)


@pytest.fixture(scope="module")
def entries(dataset):
    return list(dataset)


def test_every_stored_answer_scores_1_with_or_without_its_tags(dataset, entries):
    assert len(entries) == 20
    for entry in entries:
        assert dataset.score_answer(entry["answer"], entry) == 1.0
        assert dataset.score_answer(f"thinking...\n<answer>\n{entry['answer']}\n</answer>",
                                    entry) == 1.0
        assert entry["metadata"]["solver"]["min_size"] == len(entry["answer"].splitlines())
        assert "<answer>" in entry["question"]


def test_another_solution_of_the_solver_scores_1(dataset, entries):
    others = 0
    for entry in entries:
        result = solve(level_from_json(entry["metadata"]["puzzle"]), all_sizes=True,
                       max_solutions=2, max_placements=20_000)
        for solution in result.solutions:
            text = answer_text(solution_moves(solution))
            if text != entry["answer"]:
                others += 1
                assert dataset.score_answer(text, entry) == 1.0
    assert others > 0


def test_a_wrong_placement_scores_the_partial_score(dataset, entries):
    partial = 0
    for entry in entries:
        first, *rest = entry["answer"].splitlines()
        # The first stored agent alone, when the smallest solution needs more than one.
        if rest:
            assert dataset.score_answer(first, entry) == orv.reasoning.PARTIAL_SCORE
            partial += 1
    assert partial > 0


@pytest.mark.parametrize("answer", [
    None, 7, "", "   \n", "h1 to z0", "<answer></answer>", "h1 -> z0 -> z1",
    "nobody -> z0", "h1 -> nowhere", "h1 -> z0\nh1 -> z1", "h1 ->", "-> z0",
])
def test_garbage_and_broken_hand_rules_score_0(dataset, entries, answer):
    assert dataset.score_answer(answer, entries[0]) == 0.0


def test_a_broken_entry_scores_0_rather_than_raising(dataset, entries):
    for entry in ({}, {"metadata": {"puzzle": "{"}}, None):
        assert dataset.score_answer(entries[0]["answer"], entry) == 0.0


def test_the_same_seed_gives_the_same_entries_and_the_curriculum_makes_configs(entries):
    again = reasoning_gym.create_dataset("orv_puzzles", size=3, seed=1)
    assert [again[index] for index in range(3)] == entries[:3]
    curriculum = create_curriculum("orv_puzzles")
    curriculum.set_attr_level("hand", 2)
    curriculum.set_attr_level("difficulty", 1)
    config = curriculum.generate_configuration({"seed": 1, "size": 2})
    assert (config.hand, config.min_difficulty, config.max_difficulty) == (4, 0, 4)
