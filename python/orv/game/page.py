"""The game page: one HTML file holding the browser engine, the puzzles and the page's own
scripts and style, which asks nothing of any network.

The puzzles go into the page as their level files' text, with what the package knows of each
(title, hint, the ids of its slot zones); every rule the page applies while a player places
agents, runs the level or asks for a hint is the browser engine's. The page is made from a
template (``game.html``), a style sheet and a few scripts kept beside this module.
"""

from __future__ import annotations

import hashlib
import html
import os
import re
from dataclasses import dataclass
from importlib import resources

import orv_engine

from orv.levels.campaign import campaign_files
from orv.levels.designer_keys import DESIGNER_KEYS
from orv.levels.files import level_from_json, level_to_json
from orv.levels.samples import open_level
from orv.levels.top_zone_keys import level_extras
from orv.puzzles.puzzle import Puzzle
from orv.viewer.page import script_json, write_page
from orv.web import browser_engine_script

# The word that names the shipped campaign among the puzzles of ``orv export --game``.
CAMPAIGN = "campaign"
TITLE, HINT = DESIGNER_KEYS[:2]

DATA_MARK = "__ORV_GAME_DATA__"
TITLE_MARK = "__ORV_GAME_TITLE__"
STYLE_MARK = "__ORV_GAME_STYLE__"
ENGINE_MARK = "__ORV_GAME_ENGINE__"
SCRIPTS_MARK = "__ORV_GAME_SCRIPTS__"
_MARKS = re.compile("|".join((DATA_MARK, TITLE_MARK, STYLE_MARK, ENGINE_MARK, SCRIPTS_MARK)))

# The page's scripts in the order they run: the engine's calls and the drawing first, the
# game, its input and its API, which starts everything, last.
SCRIPTS = ("rules.js", "board.js", "playback.js", "levels.js", "game.js", "input.js", "api.js")
STYLE_SHEET = "game.css"
# Nothing leaves the page: no request of any kind, scripts and styles only from the page
# itself. The engine compiles its inlined WebAssembly ('wasm-unsafe-eval') and its bindings
# build their calls with new Function ('unsafe-eval').
CONTENT_SECURITY_POLICY = ("default-src 'none'; script-src 'unsafe-inline' 'unsafe-eval' "
                           "'wasm-unsafe-eval'; style-src 'unsafe-inline'; img-src data:; "
                           "base-uri 'none'; form-action 'none'")


@dataclass(frozen=True)
class GamePuzzle:
    """A puzzle as the page takes it: its name (file or sample), title and hint, its level
    file's text, and the ids of the zones its hand may go into."""

    name: str
    title: str
    hint: str
    text: str
    slots: list[str]

    def to_json(self) -> dict[str, object]:
        # The key of the player's progress: a puzzle that changes starts afresh.
        key = hashlib.sha256(self.text.encode("utf-8")).hexdigest()[:16]
        return {"name": self.name, "title": self.title, "hint": self.hint, "text": self.text,
                "slots": self.slots, "key": key}


def game_puzzle(top: orv_engine.Environment, name: str) -> GamePuzzle:
    """The page's form of a loaded puzzle; LevelError when it has no hand or bad keys."""
    puzzle = Puzzle(top)
    extras = level_extras(top)
    title = extras.get(TITLE) or os.path.splitext(os.path.basename(name))[0]
    return GamePuzzle(name, str(title), str(extras.get(HINT, "")), level_to_json(top),
                      puzzle.slot_ids)


def campaign_puzzles() -> list[GamePuzzle]:
    """The shipped campaign, in play order."""
    return [game_puzzle(level_from_json(entry.read_text(encoding="utf-8")), entry.name)
            for entry in campaign_files()]


def open_game_puzzles(arguments: list[str]) -> list[GamePuzzle]:
    """The puzzles named by ``arguments`` (paths, sample names, or ``campaign``), in order.
    LevelError, LevelNotFound or OSError for the first that cannot be used."""
    puzzles: list[GamePuzzle] = []
    for argument in arguments:
        if argument == CAMPAIGN and not os.path.exists(argument):
            puzzles.extend(campaign_puzzles())
        else:
            puzzles.append(game_puzzle(open_level(argument), argument))
    return puzzles


def game_page(puzzles: list[GamePuzzle], title: str) -> str:
    """The page of ``puzzles`` titled ``title``; BrowserEngineMissing without the engine."""
    engine = browser_engine_script()
    scripts = [_asset(name, "</script") for name in SCRIPTS]
    data = {"title": title, "puzzles": [puzzle.to_json() for puzzle in puzzles]}
    parts = {DATA_MARK: script_json(data), TITLE_MARK: html.escape(title),
             STYLE_MARK: _asset(STYLE_SHEET, "</style"), ENGINE_MARK: engine,
             SCRIPTS_MARK: "\n".join(f"<script>\n{script}</script>" for script in scripts)}
    page = _asset("game.html").replace("__ORV_GAME_POLICY__", CONTENT_SECURITY_POLICY)
    # One pass, so that a mark inside a title or a puzzle is left as it is.
    return _MARKS.sub(lambda mark: parts[mark.group()], page)


def write_game(puzzles: list[GamePuzzle], output: str | os.PathLike[str], title: str) -> None:
    """Write the page; OSError when it cannot be written, and then no half page is left."""
    write_page(game_page(puzzles, title), output)


def _asset(name: str, closing_tag: str | None = None) -> str:
    text = resources.files(__package__).joinpath(name).read_text(encoding="utf-8")
    if closing_tag is not None and closing_tag in text.lower():
        raise RuntimeError(f"the game's {name} contains {closing_tag}>")
    return text
