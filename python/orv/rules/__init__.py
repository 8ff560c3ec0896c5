"""The rules of the game as data and as text: the thirteen agent kinds with their display
names, priorities and ``Environment`` methods (``roster``), and the rules in words for
``orv agents`` and the README (``text``)."""
