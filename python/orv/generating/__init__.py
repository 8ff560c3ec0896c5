"""Random level files, the same ones again for the same seed (``levels``)."""
