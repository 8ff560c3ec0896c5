"""Level files and the bundled sample levels: reading a file's bytes, and nothing that only
looks like a file (``reading``), building a live zone tree from them with every problem and
its place (``files``, ``values``), writing one, and the samples that ship in
``sample_levels/`` (``samples``)."""
