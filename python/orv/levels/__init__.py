"""Level files and the bundled sample levels: reading a file's bytes, and nothing that only
looks like a file (``reading``), building a live zone tree from them with every problem and
its place (``files``, ``values``), writing one, and the samples that ship in
``sample_levels/`` (``samples``)."""

# The extra top-zone keys are registered when the package is imported, before any level loads.
from orv.levels import puzzle_keys as _puzzle_keys  # noqa: E402, F401
