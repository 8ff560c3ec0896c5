"""Puzzles: a level plus a hand of agents that the player places. ``puzzle`` reads one and
places a solution in its level, ``search`` finds every placement of the hand that opens all
of the level's gates (``orv.solve``), ``result`` holds what a search found, ``chunks`` is its
unit of work, searched on any runner of ``orv.running``, and ``reference`` is the same search
written against the public Python API, slow but plainly right."""
