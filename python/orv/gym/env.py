"""The puzzle environments: place the hand's agents one action at a time, then run.

Action ``a`` below ``max_hand * max_zones`` places hand agent ``a // max_zones`` at the end of
zone ``a % max_zones`` (zones in tree order); the last action runs the level. The mask (the
observation's ``"action_mask"`` and ``action_masks()``) allows exactly the moves the
player's API accepts. A forbidden action changes nothing and earns 0. The run ends the
episode with reward 1 when it solves the puzzle (with ``reward_fewer_agents``, the fewest
agents that solve it divided by the agents used) and 0 otherwise; an episode also ends when
no action is left, and is truncated after ``max_steps`` actions.
"""

from __future__ import annotations

from functools import lru_cache
from typing import Any, SupportsFloat

import gymnasium as gym
import numpy as np

from orv.gym.observation import LevelEncoding, Maxima, Observation, sizes_of
from orv.learning.drawing import CACHED_DRAWS, PuzzleShape, draw_puzzle, puzzle_note
from orv.learning.placing import Placing
from orv.learning.text import hand_line, zone_lines
from orv.levels.samples import LevelSource
from orv.playing.arithmetic import step_of
from orv.playing.narration import narrate
from orv.puzzles.attempt import AttemptRun
from orv.puzzles.puzzle import Puzzle
from orv.puzzles.search import solve
from orv.terminal import terminal_text

# Actions an episode may take per hand agent, refused ones included, before it is truncated.
STEPS_PER_AGENT = 4

Info = dict[str, Any]
Mask = np.ndarray[Any, np.dtype[np.bool_]]


class _PlacementEnv(gym.Env[Observation, np.int64]):
    """What both environments share; a subclass says which puzzle an episode plays."""

    metadata = {"render_modes": ["ansi"], "render_fps": 4}

    def __init__(self, maxima: Maxima, reward_fewer_agents: bool, max_steps: int | None,
                 render_mode: str | None) -> None:
        maxima.check()
        if render_mode is not None and render_mode not in self.metadata["render_modes"]:
            raise ValueError(f'render_mode "{render_mode}" is not one of '
                             f'{", ".join(self.metadata["render_modes"])}')
        self.maxima = maxima
        self.render_mode = render_mode
        self.reward_fewer_agents = reward_fewer_agents
        self.max_steps = max_steps or STEPS_PER_AGENT * (maxima.hand + 1)
        self.observation_space = maxima.space()
        self.action_space = gym.spaces.Discrete(maxima.actions)
        self._run_action = maxima.actions - 1
        self._placing: Placing | None = None
        self._encoding: LevelEncoding | None = None
        self._outcome: AttemptRun | None = None
        self._steps = 0
        self._mask: Mask = np.zeros(maxima.actions, dtype=np.bool_)

    def next_puzzle(self) -> tuple[Puzzle, LevelEncoding]:
        """The episode's puzzle and the arrays of its level."""
        raise NotImplementedError

    def fewest_agents(self, puzzle: Puzzle) -> int:
        """The size of the puzzle's smallest solution, for ``reward_fewer_agents``."""
        raise NotImplementedError

    def reset(self, *, seed: int | None = None, options: dict[str, Any] | None = None
              ) -> tuple[Observation, Info]:
        super().reset(seed=seed)
        puzzle, self._encoding = self.next_puzzle()
        self._placing = Placing(puzzle)
        self._outcome = None
        self._steps = 0
        self._mask = self._allowed()
        return self._observe(), self._info()

    def action_masks(self) -> Mask:
        """The actions allowed now, as MaskablePPO asks for them."""
        return self._mask.copy()

    def _allowed(self) -> Mask:
        """The actions the player's API accepts now: asked after every change."""
        mask = np.zeros(self.maxima.actions, dtype=np.bool_)
        placing = self._placing
        if placing is None or self._outcome is not None:
            return mask
        zone_ids = placing.zone_ids
        for hand_index in range(len(placing.hand)):
            for zone in range(len(zone_ids)):
                mask[hand_index * self.maxima.zones + zone] = (
                    placing.place_refusal(hand_index, zone_ids[zone]) is None)
        mask[self._run_action] = placing.run_refusal() is None
        return mask

    def step(self, action: np.int64 | int) -> tuple[Observation, SupportsFloat, bool, bool, Info]:
        placing = self._placing
        if placing is None:
            raise gym.error.ResetNeeded("reset() the environment before its first step")
        self._steps += 1
        mask = self._mask
        chosen = _action_number(action, len(mask))
        reward = 0.0
        if chosen is not None and mask[chosen]:
            if chosen == self._run_action:
                self._outcome = placing.run()
                reward = self._reward(placing)
            else:
                hand_index, zone = divmod(chosen, self.maxima.zones)
                placing.place(hand_index, placing.zone_ids[zone])
            self._mask = self._allowed()
        observation = self._observe()
        terminated = not observation["action_mask"].any()
        truncated = not terminated and self._steps >= self.max_steps
        info = self._info()
        info["refused"] = chosen is None or not mask[chosen]
        return observation, reward, terminated, truncated, info

    def render(self) -> str | None:
        if self.render_mode != "ansi" or self._placing is None:
            return None
        placing = self._placing
        lines = zone_lines(placing.puzzle) + [hand_line(placing.puzzle)]
        placed = [f"{visual_id} -> {zone_id}" for visual_id, zone_id in placing.placed]
        lines.append("Placed: " + (", ".join(placed) or "nothing yet"))
        run = self._outcome
        if run is not None:
            lines += [narrate(frame, None if frame.record is None else step_of(frame.record))
                      for frame in run.frames]
            lines += ["Run: " + run.level_outcome.line(), *run.level_outcome.details(limit=5)]
        # A level's ids are data: their control characters are shown, never obeyed.
        return "".join(terminal_text(line) + "\n" for line in lines)

    def _reward(self, placing: Placing) -> float:
        assert self._outcome is not None
        if not self._outcome.solved:
            return 0.0
        if not self.reward_fewer_agents or not placing.placed:
            return 1.0
        return min(1.0, self.fewest_agents(placing.puzzle) / len(placing.placed))

    def _observe(self) -> Observation:
        assert self._placing is not None and self._encoding is not None
        zones = self._placing.zone_ids
        placed = [(hand_index, zones.index(zone_id))
                  for hand_index, zone_id in self._placing.moves]
        return self._encoding.observe(placed, self._mask)

    def _info(self) -> Info:
        assert self._placing is not None
        info: Info = {"zone_ids": list(self._placing.zone_ids),
                      "hand": [agent.visual_id for agent in self._placing.hand]}
        if self._outcome is not None:
            info["outcome"] = str(self._outcome.outcome)
        return info


class PuzzleEnv(_PlacementEnv):
    """``orv/Puzzle-v0``: every episode the same puzzle (a path, a sample name, a tree or an
    ``orv`` puzzle). The maxima default to the puzzle's own sizes."""

    def __init__(self, puzzle: Puzzle | LevelSource = "locksmiths_vault", *,
                 max_zones: int | None = None, max_hand: int | None = None,
                 max_charges: int | None = None, max_agents: int | None = None,
                 largest_number: float = 1e6, reward_fewer_agents: bool = False,
                 max_steps: int | None = None, render_mode: str | None = None) -> None:
        self.puzzle = Puzzle.of(puzzle)
        own = sizes_of(self.puzzle)
        maxima = Maxima(max_zones or own.zones, max_hand or own.hand,
                        max_charges or own.charges, max_agents or own.agents, largest_number)
        super().__init__(maxima, reward_fewer_agents, max_steps, render_mode)
        problems = maxima.problems(self.puzzle)
        if problems:
            raise ValueError("; ".join(problems))
        self._encoding_of_puzzle = LevelEncoding(self.puzzle, maxima)
        self._fewest: int | None = None

    def next_puzzle(self) -> tuple[Puzzle, LevelEncoding]:
        return self.puzzle, self._encoding_of_puzzle

    def fewest_agents(self, puzzle: Puzzle) -> int:
        if self._fewest is None:
            self._fewest = solve(puzzle, max_solutions=1).min_size or 1
        return self._fewest


class GeneratedPuzzleEnv(_PlacementEnv):
    """``orv/GeneratedPuzzle-v0``: every episode a generated puzzle of ``zones`` zones and a
    hand of ``hand`` agents, with a difficulty from ``min_difficulty`` to
    ``max_difficulty`` bits, drawn from the environment's random generator (so from the
    seed given to ``reset``). The maxima default to what the generator makes."""

    def __init__(self, zones: int = 3, hand: int = 3, *, min_difficulty: float = 0.0,
                 max_difficulty: float = float("inf"), unique: bool = False,
                 max_zones: int | None = None, max_hand: int | None = None,
                 max_charges: int = 3, max_agents: int = 2, largest_number: float = 1e6,
                 reward_fewer_agents: bool = False, max_steps: int | None = None,
                 render_mode: str | None = None) -> None:
        self.shape = PuzzleShape(zones, hand, min_difficulty, max_difficulty, unique)
        self.shape.check()
        maxima = Maxima(max_zones or zones, max_hand or hand, max_charges, max_agents,
                        largest_number)
        if maxima.zones < zones or maxima.hand < hand:
            raise ValueError(f"max_zones and max_hand must hold {zones} zones and a hand of "
                             f"{hand}")
        super().__init__(maxima, reward_fewer_agents, max_steps, render_mode)

    def next_puzzle(self) -> tuple[Puzzle, LevelEncoding]:
        return _prepared(self.shape, int(self.np_random.integers(2**63 - 1)), self.maxima)

    def fewest_agents(self, puzzle: Puzzle) -> int:
        return int(puzzle_note(puzzle.top)["min_size"])


@lru_cache(maxsize=CACHED_DRAWS)
def _prepared(shape: PuzzleShape, seed: int, maxima: Maxima) -> tuple[Puzzle, LevelEncoding]:
    """A drawn puzzle and its level's arrays, kept for environments that meet its seed again:
    neither changes (an episode plays on its own attempt, and observes copies)."""
    puzzle = Puzzle(draw_puzzle(shape, seed))
    problems = maxima.problems(puzzle)
    if problems:
        raise ValueError("; ".join(problems))
    return puzzle, LevelEncoding(puzzle, maxima)


def _action_number(action: object, count: int) -> int | None:
    """The action as an index below ``count``; None for anything else."""
    try:
        number = int(action)  # type: ignore[call-overload]
    except (TypeError, ValueError, OverflowError):
        return None
    return number if 0 <= number < count and number == action else None
