"""Puzzles: a level plus a hand of agents that the player places. ``puzzle`` reads one and
places a solution in its level, ``search`` finds every placement of the hand that opens all
of the level's gates (``orv.solve``), ``result`` holds what a search found, ``runners`` runs
its chunks here, in worker processes or on a Dask cluster, and ``reference`` is the same
search written against the public Python API, slow but plainly right."""
