"""The Gymnasium environments: Gymnasium's own checker, masks that forbid what the player's
API refuses, episodes that end, and the same puzzles for the same seed."""

import importlib
import json
import re
import sys

import gymnasium as gym
import numpy as np
import pytest
from gymnasium.utils.env_checker import check_env

import orv
import orv.gym  # registers the environments
from orv.extras import EXTRAS, MissingExtra

SMALL = {"zones": 2, "hand": 2}
ENVIRONMENTS = [("orv/Puzzle-v0", {}), ("orv/GeneratedPuzzle-v0", SMALL)]


@pytest.mark.parametrize("name, options", ENVIRONMENTS)
def test_gymnasiums_checker_passes_without_warnings(name, options):
    env = gym.make(name, **options).unwrapped
    check_env(env)  # the suite turns every warning into an error


def masked_episode(env, seed, rng):
    observation, _ = env.reset(seed=seed)
    observations, reward = [observation], 0.0
    for _ in range(env.unwrapped.max_steps):
        assert (observation["action_mask"] == env.unwrapped.action_masks()).all()
        action = rng.choice(np.flatnonzero(observation["action_mask"]))
        observation, reward, ended, truncated, info = env.step(action)
        observations.append(observation)
        assert not truncated and not info["refused"]
        if ended:
            return observations, reward, info
    raise AssertionError("a masked episode did not end")


@pytest.mark.parametrize("name, options", ENVIRONMENTS)
def test_masked_random_play_ends_with_the_run_and_the_same_seed_plays_the_same(name, options):
    env = gym.make(name, **options)
    played = [masked_episode(env, seed, np.random.default_rng(seed)) for seed in (3, 4, 3)]
    for observations, reward, info in played:
        assert info["outcome"] in ("solved", "stuck") and reward == (info["outcome"] == "solved")
        assert not observations[-1]["action_mask"].any()
    first, other, again = (observations for observations, _, _ in played)
    assert len(first) == len(again)
    for one, two in zip(first, again):
        assert all((one[key] == two[key]).all() for key in one)
    differ = name == "orv/GeneratedPuzzle-v0"
    assert differ == any((first[0][key] != other[0][key]).any() for key in first[0])


def strict_vault():
    """locksmiths_vault with two slots and the whole hand to be used."""
    level = json.loads(orv.sample_file("locksmiths_vault").read_text())
    level.update(slots=["forge", "mill"], use="all")
    return orv.level_from_json(json.dumps(level))


def accepted(moves, move):
    """Whether the player's API accepts ``move`` after ``moves``: a place (visual id, zone id),
    or None for the run."""
    attempt = orv.Puzzle(strict_vault()).attempt()
    for visual_id, zone_id in moves:
        attempt.place(visual_id, zone_id)
    try:
        attempt.place(*move) if move else attempt.run()
    except orv.PlacementError:
        return False
    return True


def test_the_mask_allows_exactly_the_moves_the_player_accepts():
    env = orv.gym.PuzzleEnv(strict_vault())
    observation, info = env.reset(seed=0)
    zones, hand = info["zone_ids"], info["hand"]
    moves = []
    for action in (0 * 4 + 1, 2 * 4 + 3, 1 * 4 + 1, 3 * 4 + 3):  # p1, x1, p2, m1
        expected = [accepted(moves, (hand[number // 4], zones[number % 4]))
                    for number in range(16)] + [accepted(moves, None)]
        assert observation["action_mask"].tolist() == expected
        observation, *_ = env.step(action)
        moves.append((hand[action // 4], zones[action % 4]))
    assert observation["action_mask"].tolist() == [False] * 16 + [True]


@pytest.mark.parametrize("action", [-1, 10**9, 2.5, "run", None, 0])
def test_a_forbidden_action_changes_nothing_and_earns_nothing(action):
    env = gym.make("orv/Puzzle-v0").unwrapped
    env.reset(seed=0)
    env.step(0)  # p1 into the vault: action 0 is then forbidden as well
    placed = list(env._placing.placed)
    before = env._observe()
    observation, reward, ended, truncated, info = env.step(action)
    assert info["refused"] and reward == 0 and not ended
    assert env._placing.placed == placed
    assert all((observation[key] == before[key]).all() for key in before)


def test_the_known_solution_earns_1_and_fewer_agents_are_rewarded_when_asked():
    # locksmiths_vault's one solution: p1 then m1 into the forge, x1 into the crucible, p2
    # into the mill (hand p1, p2, x1, m1; zones in tree order: vault, forge, crucible, mill).
    for fewer in (False, True):
        env = gym.make("orv/Puzzle-v0", reward_fewer_agents=fewer, render_mode="ansi")
        env.reset(seed=0)
        zones = env.unwrapped.maxima.zones
        for hand_index, zone in ((0, 1), (3, 1), (2, 2), (1, 3)):
            env.step(hand_index * zones + zone)
        _, reward, ended, _, info = env.step(env.action_space.n - 1)
        assert (reward, ended, info["outcome"]) == (1.0, True, "solved")
        assert "Run: solved" in env.render()


def test_the_vector_of_environments_steps_in_sync():
    vec = gym.make_vec("orv/GeneratedPuzzle-v0", num_envs=2, vectorization_mode="sync",
                       **SMALL)
    observation, _ = vec.reset(seed=5)
    for _ in range(8):
        actions = [np.flatnonzero(mask)[-1] if mask.any() else 0
                   for mask in observation["action_mask"]]
        observation, rewards, _, _, _ = vec.step(np.array(actions))
        assert rewards.shape == (2,)
    vec.close()


@pytest.mark.parametrize("options, message", [
    ({"max_zones": 2}, "4 zones, more than the 2"),
    ({"max_hand": 1}, "4 hand agents"),
    ({"render_mode": "human"}, 'render_mode "human"'),
])
def test_a_puzzle_larger_than_the_arrays_is_refused_in_words(options, message):
    with pytest.raises(ValueError, match=message):
        orv.gym.PuzzleEnv("locksmiths_vault", **options)


@pytest.mark.parametrize("module, extra", [("orv.gym", "gym"), ("orv.reasoning", "reasoning")])
def test_importing_without_the_extra_names_the_extra_to_install(module, extra, monkeypatch):
    monkeypatch.setitem(EXTRAS, extra, ("orv_no_such_library",))
    monkeypatch.delitem(sys.modules, module, raising=False)
    with pytest.raises(MissingExtra, match=re.escape(
            f"{module} needs orv_no_such_library, which is not installed; install it with: "
            f"pip install 'orv_engine[{extra}]'")):
        importlib.import_module(module)
