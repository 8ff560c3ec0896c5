"""Playing a level and making sense of its frames: the frames themselves (``frames``), the
one walk over a parsed zone tree (``zones``), what a run came to (``outcome``), the arithmetic
of each step (``arithmetic``), what a step changed (``changes``) and the terminal narration of
``orv play`` (``narration``)."""
