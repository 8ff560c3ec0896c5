"""The reasoning-gym dataset of the puzzles (the optional extra ``orv_engine[reasoning]``).

Importing ``orv.reasoning`` registers the dataset ``orv_puzzles``::

    import reasoning_gym
    import orv.reasoning
    data = reasoning_gym.create_dataset("orv_puzzles", size=5, seed=1, hand=3)
    entry = data[0]
    print(entry["question"])
    print(data.score_answer("<answer>" + entry["answer"] + "</answer>", entry))   # 1.0

``score_answer`` replays an answer with the engine: see ``orv.learning.answers``.
"""

from orv.extras import need_extra

need_extra("reasoning", "orv.reasoning")

from reasoning_gym.factory import (  # type: ignore[import-untyped]  # noqa: E402
    DATASETS,
    register_dataset,
)

from orv.learning.answers import PARTIAL_SCORE  # noqa: E402
from orv.reasoning.dataset import (  # noqa: E402
    DATASET_NAME,
    OrvPuzzlesConfig,
    OrvPuzzlesCurriculum,
    OrvPuzzlesDataset,
)

if DATASET_NAME not in DATASETS:
    register_dataset(DATASET_NAME, OrvPuzzlesDataset, OrvPuzzlesConfig, OrvPuzzlesCurriculum)

__all__ = ["DATASET_NAME", "PARTIAL_SCORE", "OrvPuzzlesConfig", "OrvPuzzlesCurriculum",
           "OrvPuzzlesDataset"]
