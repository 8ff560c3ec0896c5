"""The game page: ``orv export --game`` and the page in headless Chromium, opened from a file,
played through its API and through real clicks, against the Python module's frames."""

import json
import re

import orv_engine
import pytest
from headless_chromium import CHROMIUM, BrowserError, HeadlessChromium
from orv_test_support import (browser_engine_missing, environment_without_sanitizer, run_orv,
                              wait_for)

import orv
from orv.game.page import CONTENT_SECURITY_POLICY
from orv.levels.files import level_from_json, level_to_json
from orv.levels.samples import sample_file
from orv.puzzles.puzzle import Puzzle

ENGINE_MISSING = browser_engine_missing()

needs_engine = pytest.mark.skipif(ENGINE_MISSING is not None, reason=ENGINE_MISSING or "")
needs_browser = pytest.mark.skipif(CHROMIUM is None, reason="chromium is not installed "
                                   "(apt-get install chromium); the page needs a real browser")
HOSTILE_TITLE = '</script><img src=x onerror="window.pwned=1">'
STATE = "window.orvGame.state()"
# Moves the page refuses with the engine's words while p1 is in the mill, and change nothing.
REFUSALS = [
    ("place('p1', 'forge')", 'hand agent "p1" is already placed, in zone "mill"'),
    ("place('p2', 'nowhere')", 'no zone has the id "nowhere"'),
    ("place('zz', 'forge')", 'no agent of the hand has the visual id "zz"'),
    ("remove('x1')", 'hand agent "x1" is not placed'),
]


def hostile_puzzle(folder):
    """locksmiths_vault with a title and a hint that would be markup if taken as such."""
    level = json.loads(sample_file("locksmiths_vault").read_text(encoding="utf-8"))
    level["title"], level["hint"] = HOSTILE_TITLE, "<b>bold</b> & </style>"
    path = folder / "hostile.json"
    path.write_text(json.dumps(level), encoding="utf-8")
    return path


@pytest.fixture(scope="module")
def game_file(tmp_path_factory):
    if ENGINE_MISSING:
        pytest.skip(ENGINE_MISSING)
    folder = tmp_path_factory.mktemp("game")
    result = run_orv("export", "--game", str(hostile_puzzle(folder)), "campaign", "-o",
                     "game.html", cwd=folder)
    assert result.returncode == 0, result.stderr
    return folder / "game.html"


@pytest.fixture
def browser(tmp_path):
    with HeadlessChromium(tmp_path / "profile", environment_without_sanitizer()) as chromium:
        yield chromium


def open_game(browser, page):
    browser.open(page.as_uri())
    wait_for(lambda: browser.evaluate("document.documentElement.dataset.ready === 'true'"),
             "the game to be ready")


def first_solution(puzzle_text):
    return orv.solve(level_from_json(puzzle_text)).solutions[0]


@needs_engine
def test_the_page_is_one_file_that_asks_no_network(game_file):
    page = game_file.read_text(encoding="utf-8")
    assert f'content="{CONTENT_SECURITY_POLICY}"' in page
    assert "default-src 'none'" in CONTENT_SECURITY_POLICY
    assert "connect-src" not in CONTENT_SECURITY_POLICY  # default-src 'none' covers it
    assert "<script src" not in page and "<link" not in page  # nothing loaded from elsewhere
    assert HOSTILE_TITLE not in page and "\\u003c/script>" in page


@pytest.mark.parametrize(("arguments", "message"), [
    (["--game", "no_such_puzzle", "-o", "g.html"], "cannot use puzzle"),
    (["--game", "workshop", "-o", "g.html"], 'has no "hand"'),
    (["--game", "campaign"], "--game takes its puzzles and -o FILE"),
    (["-o", "g.html"], "-o and --title go with --game"),
])
def test_export_game_refuses_in_one_line(tmp_path, arguments, message):
    result = run_orv("export", *arguments, cwd=tmp_path)
    if ENGINE_MISSING and "--game" in arguments and "-o" in arguments:
        message = "browser engine was not built"
    assert (result.returncode, result.stdout) == (2, "")
    assert result.stderr.count("\n") == 1 and message in result.stderr, result.stderr
    assert not (tmp_path / "g.html").exists()


def test_export_game_without_the_engine_says_so_and_exits_2(monkeypatch, tmp_path, capsys):
    from orv.cli import main
    monkeypatch.setattr("orv.web.FOLDER", tmp_path)
    assert main(["export", "--game", "campaign", "-o", str(tmp_path / "g.html")]) == 2
    error = capsys.readouterr().err
    assert error.count("\n") == 1 and "browser engine was not built" in error
    assert not (tmp_path / "g.html").exists()


@needs_browser
def test_a_player_solves_a_puzzle_by_clicks_and_the_frames_are_the_modules(browser,
                                                                           game_file):
    open_game(browser, game_file)
    state = browser.evaluate(STATE)
    assert state["index"] == 0 and state["title"] == HOSTILE_TITLE
    assert browser.evaluate("window.pwned === undefined && "
                            "document.getElementById('level-title').textContent") == HOSTILE_TITLE
    puzzle_text = level_to_json(level_from_json(sample_file("locksmiths_vault").read_bytes()))
    solution = first_solution(puzzle_text)
    for zone, agents in solution.placement:
        for agent in agents:
            browser.click(f'#tray .tile[data-visual-id="{agent.visual_id}"]')
            browser.click(f'.zone[data-id="{zone}"] > .zone-head .put')
    placed = browser.evaluate(STATE)["placement"]
    assert placed == [{"zone": zone, "agents": [a.visual_id for a in agents]}
                      for zone, agents in solution.placement]
    browser.click("#run")
    wait_for(lambda: (browser.evaluate(STATE)["result"] or {}).get("outcome"), "the run's end")
    result = browser.evaluate(STATE)["result"]
    assert (result["outcome"], result["used"], result["fewest"]) == ("solved", 4, 4)
    assert "Solved with 4 agents" in browser.evaluate(
        "document.getElementById('message').textContent")
    frames = browser.evaluate("window.orvGame.run().then(r => r.frames)")
    sequencer = orv_engine.NarrativeSequencer(Puzzle.of(level_from_json(puzzle_text))
                                              .apply(solution))
    expected = []
    while not sequencer.is_finished:
        expected.append(sequencer.next_frame())
    assert frames == expected


@needs_browser
def test_a_wrong_placement_is_stuck_with_its_cause_and_undo_takes_it_back(browser, game_file):
    open_game(browser, game_file)
    for target in ('#tray .tile[data-visual-id="p1"]', '.put[data-zone="mill"]'):
        browser.evaluate(f"document.querySelector({json.dumps(target)}).focus()")
        browser.press("Enter", 13)
    assert browser.evaluate(STATE)["placement"] == [{"zone": "mill", "agents": ["p1"]}]
    result = browser.evaluate("window.orvGame.run()")
    assert result["outcome"] == "stuck"
    # The engine's own words for the closed gate, as `orv play` gives them.
    assert any(cause.startswith('gate "door" in zone vault (== 15): total 6')
               for cause in result["causes"]), result["causes"]
    wait_for(lambda: browser.evaluate(STATE)["result"], "the run's end")
    assert "Stuck." in browser.evaluate("document.getElementById('message').textContent")
    for move, refusal in REFUSALS:
        with pytest.raises(BrowserError, match=re.escape(refusal)):
            browser.evaluate(f"window.orvGame.{move}")
        assert browser.evaluate(STATE)["placement"] == [{"zone": "mill", "agents": ["p1"]}]
    browser.press("u", 85)
    state = browser.evaluate(STATE)
    assert state["placement"] == [] and "p1" in state["unplaced"] and state["canRedo"]


@needs_browser
def test_progress_survives_a_reload_and_the_next_unsolved_opens(browser, game_file):
    open_game(browser, game_file)
    for zone, agents in first_solution(browser.evaluate(
            "JSON.parse(document.getElementById('orv-game-data').textContent)"
            ".puzzles[0].text")).placement:
        for agent in agents:
            browser.evaluate(f"window.orvGame.place({json.dumps(agent.visual_id)}, "
                             f"{json.dumps(zone)})")
    assert browser.evaluate("window.orvGame.run().then(r => r.outcome)") == "solved"
    wait_for(lambda: browser.evaluate(STATE)["result"], "the run's end")
    open_game(browser, game_file)
    state = browser.evaluate(STATE)
    assert state["index"] == 1 and state["progress"][0] == {"solved": True, "best": 4}
    assert browser.evaluate("document.querySelector('#level-list .solved .best')"
                            ".textContent") == "best: 4 agents"


@needs_browser
def test_on_a_phone_nothing_is_wider_than_the_screen(browser, game_file):
    browser.page("Emulation.setDeviceMetricsOverride", {"width": 390, "height": 844,
                                                       "deviceScaleFactor": 3, "mobile": True})
    open_game(browser, game_file)
    hardest = len(browser.evaluate("window.orvGame.puzzles")) - 1
    browser.evaluate(f"window.orvGame.open({hardest})")
    browser.click("#levels-button")
    width = "[document.documentElement.scrollWidth, window.innerWidth]"
    scroll, inner = browser.evaluate(width)
    assert inner == 390 and scroll <= inner
    browser.evaluate("window.orvGame.run()")
    scroll, inner = browser.evaluate(width)
    assert scroll <= inner


FOLLOW_HINTS = """(() => {
  const game = window.orvGame;
  for (let moves = 0; moves < 12; moves++) {
    const hint = game.hint();
    if (hint.action === "place") game.place(hint.visual_id, hint.zone_id, hint.index);
    else if (hint.action === "remove") game.remove(hint.visual_id);
    else return hint.action;
  }
  return "too many moves";
})()"""


@needs_browser
@pytest.mark.parametrize("which", ["first", "last"])
def test_hints_followed_from_a_wrong_start_solve_the_puzzle(browser, game_file, which):
    open_game(browser, game_file)
    index = 0 if which == "first" else "orvGame.puzzles.length - 1"
    browser.evaluate(f"window.orvGame.open({index})")
    unplaced = browser.evaluate(STATE)["unplaced"]
    browser.evaluate(f"window.orvGame.place({json.dumps(unplaced[-1])}, "
                     "JSON.parse(document.getElementById('orv-game-data').textContent)"
                     f".puzzles[{STATE}.index].slots[0])")
    assert browser.evaluate(FOLLOW_HINTS) == "solved"
    assert browser.evaluate("window.orvGame.run().then(r => r.outcome)") == "solved"
