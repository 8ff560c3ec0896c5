"""Gymnasium environments of the puzzles (the optional extra ``orv_engine[gym]``).

Importing ``orv.gym`` registers ``orv/Puzzle-v0``, one puzzle every episode, and
``orv/GeneratedPuzzle-v0``, a generated puzzle every episode, drawn from the seed given to
``reset``::

    import gymnasium as gym
    import orv.gym
    env = gym.make("orv/GeneratedPuzzle-v0", zones=3, hand=3, render_mode="ansi")
    observation, info = env.reset(seed=1)
    done = False
    while not done:
        allowed = observation["action_mask"].nonzero()[0]
        action = env.np_random.choice(allowed)
        observation, reward, ended, truncated, info = env.step(action)
        done = ended or truncated
    print(env.render(), reward)

See ``orv.gym.env`` for the actions, the reward and the episode's end, and
``orv.gym.observation`` for the arrays.
"""

from orv.extras import need_extra

need_extra("gym", "orv.gym")

import gymnasium  # noqa: E402

from orv.gym.env import GeneratedPuzzleEnv, PuzzleEnv  # noqa: E402

ENVIRONMENTS = {"orv/Puzzle-v0": "orv.gym.env:PuzzleEnv",
                "orv/GeneratedPuzzle-v0": "orv.gym.env:GeneratedPuzzleEnv"}

for _name, _entry_point in ENVIRONMENTS.items():
    if _name not in gymnasium.registry:
        gymnasium.register(id=_name, entry_point=_entry_point)

__all__ = ["ENVIRONMENTS", "GeneratedPuzzleEnv", "PuzzleEnv"]
