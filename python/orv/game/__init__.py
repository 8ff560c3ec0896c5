"""The game page: puzzles a player solves in the browser, with the browser engine inside one
self-contained HTML file (``orv export --game``)."""
