"""Level files and the bundled sample levels: reading a file's bytes, and nothing that only
looks like a file (``reading``), building a live zone tree from them with every problem and
its place (``files``, ``values``), writing one, and the samples that ship in
``sample_levels/`` (``samples``). The designer's text on a top zone ("title", "hint",
"notes") is registered by ``designer_keys``, a puzzle's hand, slots and use by
``puzzle_keys``, both imported here so that every loader knows them."""

from orv.levels import designer_keys as designer_keys
from orv.levels import puzzle_keys as puzzle_keys
