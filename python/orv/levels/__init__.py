"""Level files and the bundled sample levels: reading a file into a live zone tree with
every problem and its place (``files``, ``values``), writing one, and the samples that ship in
``sample_levels/`` (``samples``)."""
