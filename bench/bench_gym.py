"""How many environment steps per second the Gymnasium environments take, with masked random
actions (the way a learner plays them), in one environment and in a synchronous vector of
them (gymnasium.make_vec, vectorization_mode="sync").

Run: .venv/bin/python bench/bench_gym.py [--steps N] [--envs N]

orv/Puzzle-v0 plays the sample puzzle locksmiths_vault; orv/GeneratedPuzzle-v0 a generated
puzzle of 3 zones and a hand of 3 each episode. Generated puzzles are cached per seed, so the
rows "fresh seeds" draw each episode from a new seed (the generator and the solver run in the
timed loop) and "repeated seeds" cycle through a few seeds (play alone; single only, as the
vector's environments draw their own seeds). Steps are counted across the vector's
environments, the step that resets a finished one included.
"""

from __future__ import annotations

import argparse
import time
from typing import Any

import gymnasium as gym
import numpy as np

import orv.gym  # noqa: F401 - registers the environments

CASES: list[tuple[str, str, dict[str, Any], int | None]] = [
    ("Puzzle-v0, locksmiths_vault", "orv/Puzzle-v0", {}, None),
    ("GeneratedPuzzle-v0, repeated seeds", "orv/GeneratedPuzzle-v0", {}, 8),
    ("GeneratedPuzzle-v0, fresh seeds", "orv/GeneratedPuzzle-v0", {}, None),
]


def single(name: str, options: dict[str, Any], steps: int, seeds: int | None) -> float:
    env = gym.make(name, **options)
    rng = np.random.default_rng(0)
    observation, _ = env.reset(seed=0)
    episode = 0
    begin = time.perf_counter()
    for _ in range(steps):
        action = rng.choice(np.flatnonzero(observation["action_mask"]))
        observation, _, ended, truncated, _ = env.step(action)
        if ended or truncated:
            episode += 1
            observation, _ = env.reset(seed=episode % seeds if seeds else 10**6 + episode)
    seconds = time.perf_counter() - begin
    env.close()
    return steps / seconds


def vector(name: str, options: dict[str, Any], steps: int, envs: int) -> float:
    vec = gym.make_vec(name, num_envs=envs, vectorization_mode="sync", **options)
    rng = np.random.default_rng(0)
    observation, _ = vec.reset(seed=0)
    rounds = max(1, steps // envs)
    begin = time.perf_counter()
    for _ in range(rounds):
        # After an episode's last step the vector resets that environment on its next step,
        # whatever the action: its mask then allows nothing, and any action does.
        actions = np.array([rng.choice(np.flatnonzero(mask)) if mask.any() else 0
                            for mask in observation["action_mask"]])
        observation, _, _, _, _ = vec.step(actions)
    seconds = time.perf_counter() - begin
    vec.close()
    return rounds * envs / seconds


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--steps", type=int, default=4000)
    parser.add_argument("--envs", type=int, default=8)
    arguments = parser.parse_args()
    print(f"{'environment':<38} {'single steps/s':>15} {f'vector of {arguments.envs}':>15}")
    for label, name, options, seeds in CASES:
        one = single(name, options, arguments.steps, seeds)
        # The vector's environments draw their next puzzles themselves: fresh seeds only.
        many = "-" if seeds else f"{vector(name, options, arguments.steps, arguments.envs):,.0f}"
        print(f"{label:<38} {one:>15,.0f} {many:>15}")


if __name__ == "__main__":
    main()
