"""The studio: ``orv studio`` started on a free loopback port, driven by headless Chromium
through an edit, undo and redo, a save, and changes made to the file by another editor; and
its server refusing what is not its own page's."""

import contextlib
import json
import re
import subprocess
import sys
import urllib.error
import urllib.request

import pytest
from headless_chromium import CHROMIUM, HeadlessChromium
from orv_test_support import (browser_engine_missing, environment_without_sanitizer, run_orv,
                              wait_for)

from orv.levels.files import level_from_json, load_level
from orv.playing.outcome import play_outcome

# The page plays every level with the browser engine.
pytestmark = pytest.mark.skipif(browser_engine_missing() is not None,
                                reason=browser_engine_missing() or "")

# 4 + 3 where the gate wants 10: stuck until the first charge is edited.
LEVEL = {"id": "hall", "charges": [{"magnitude": 4.0, "polarity": "positive",
                                    "visual_id": "stone"},
                                   {"magnitude": 3.0, "polarity": "positive",
                                    "visual_id": "brick"}],
         "agents": [{"name": "Plus Magician", "visual_id": "adder"},
                    {"name": "Equals Gate", "visual_id": "goal", "target_value": 10.0}],
         "sub_environments": []}
SHOWN = """[document.body.dataset.studio, document.getElementById("outcome").textContent,
  document.getElementById("studio-state").textContent,
  document.getElementById("position").textContent,
  (document.querySelector('[data-field="|charge|0|magnitude"]') || {}).value]"""


@contextlib.contextmanager
def running_studio(level_file):
    with subprocess.Popen([sys.executable, "-m", "orv", "studio", str(level_file),
                           "--no-browser"], stdout=subprocess.PIPE, text=True) as server:
        try:
            found = next(filter(None, (re.search(r"http://\S+", line)
                                       for line in server.stdout)), None)
            assert found, "the studio stopped before it printed its address"
            yield level_file, found.group()
        finally:
            server.terminate()


@pytest.fixture
def studio(tmp_path):
    level_file = tmp_path / "hall.json"
    level_file.write_text(json.dumps(LEVEL))
    with running_studio(level_file) as running:
        yield running


def wait_until(browser, expected):
    """What the page shows, once it begins with ``expected``."""
    return wait_for(lambda: (shown := browser.evaluate(SHOWN))[:len(expected)] == expected
                    and shown, f"the page to show {expected}")


def write_level(path, magnitude):
    first, *rest = LEVEL["charges"]
    path.write_text(json.dumps({**LEVEL, "charges": [{**first, "magnitude": magnitude}, *rest]}))


@pytest.mark.skipif(CHROMIUM is None, reason="chromium is not installed")
def test_an_edit_replays_undo_redo_save_and_changes_on_disk(studio, tmp_path):
    level_file, address = studio
    with HeadlessChromium(tmp_path / "profile", environment_without_sanitizer()) as browser:
        browser.open(address)
        wait_until(browser, ["ready", "stuck", "saved", "1 of 3", "4"])
        browser.click("#next")
        browser.click("#next")
        browser.click('[data-field="|charge|0|magnitude"]')
        browser.evaluate("document.activeElement.select()")
        browser.type_text("7")
        browser.click("#legend")  # leaving the field commits the edit
        # The edited level is solved, and the page stays on the frame it showed.
        wait_until(browser, ["ready", "solved", "unsaved edits", "3 of 4", "7"])
        browser.press_with_control("Z", 90)
        wait_until(browser, ["ready", "stuck", "saved", "3 of 3", "4"])
        browser.click("#redo")
        wait_until(browser, ["ready", "solved", "unsaved edits"])
        browser.click("#save")
        wait_until(browser, ["ready", "solved", "saved"])
        assert play_outcome(load_level(level_file)).outcome == "solved"
        assert level_file.read_text() == level_from_json(level_file.read_text()).to_json() + "\n"

        write_level(level_file, 6)  # another editor; nothing unsaved here, so it loads
        wait_until(browser, ["ready", "stuck", "saved", "3 of 3", "6"])
        browser.click(".add-charge")  # a new +1: 6 + 3 + 1
        wait_until(browser, ["ready", "solved", "unsaved edits"])
        write_level(level_file, 7)
        assert "drop your unsaved edits" in browser.answer_dialog(accept=False)
        assert browser.evaluate('document.querySelectorAll(".charge-row").length') == 3
        browser.click("#save")
        assert "changed on disk" in browser.answer_dialog(accept=True)
        wait_until(browser, ["ready", "solved", "saved", "3 of 4", "6"])
        assert len(load_level(level_file).charges) == 3


# 4 and 3 where the gate wants 12: of the hand, only the Multiply Magician opens it.
PUZZLE = {**LEVEL, "agents": [{**LEVEL["agents"][1], "target_value": 12.0}],
          "hand": [{"name": "Plus Magician", "visual_id": "plus"},
                   {"name": "Multiply Magician", "visual_id": "times"}]}
SOLUTIONS = 'document.getElementById("solutions")'
# What makes the solver's answers stale: each is followed by the panel being emptied.
STALE_AFTER = [("#click .add-charge", None), ("#click #undo", None), ("#click #redo", None),
               ("#click #undo", None), ("#disk", {**PUZZLE, "id": "hall_2"})]


def solved(browser):
    do(browser, "#click #solve")
    return wait_for(lambda: (text := browser.evaluate(SOLUTIONS + ".textContent"))
                    and "Solving" not in text and text, "the solver's answers")


@pytest.mark.skipif(CHROMIUM is None, reason="chromium is not installed")
def test_solve_shows_kinds_and_difficulty_previews_keeps_and_goes_stale(tmp_path):
    (tmp_path / "puzzle.json").write_text(json.dumps(PUZZLE))
    with running_studio(tmp_path / "puzzle.json") as (level_file, address), HeadlessChromium(
            tmp_path / "profile", environment_without_sanitizer()) as browser:
        browser.open(address)
        wait_until(browser, ["ready", "stuck", "saved"])
        assert solved(browser).startswith("1 solution of size 1 (unique) \u00B7 difficulty "
                                          "1.00 bitsMultiply Magician \u00D71 \u2192 hall "
                                          "(1 agent)")
        browser.click("#solutions .apply")
        wait_until(browser, ["ready", "solved", "saved; showing a solution's preview"])
        assert browser.evaluate("level") == PUZZLE  # the hand is kept
        browser.click("#keep-preview")
        wait_for(lambda: "Kept as" in browser.evaluate(
            'document.getElementById("preview-kept").textContent'), "the preview kept")
        kept = json.loads((tmp_path / "puzzle-solved.json").read_text())
        assert (kept["hand"], kept["agents"][-1]["visual_id"]) == ([PUZZLE["hand"][0]], "times")
        browser.click("#end-preview")
        wait_until(browser, ["ready", "stuck", "saved"])
        for action, on_disk in STALE_AFTER:
            solved(browser)
            if on_disk:
                level_file.write_text(json.dumps(on_disk))
            else:
                do(browser, action)
            wait_for(lambda: browser.evaluate(SOLUTIONS + ".hidden"),
                     f"no answers after {action}")
        assert browser.evaluate("level.id") == "hall_2"


def post(address, path, body, headers):
    base = address.split("/?")[0]
    request = urllib.request.Request(base + path, data=body, headers=headers, method="POST")
    try:
        with urllib.request.urlopen(request, timeout=30) as answer:
            return answer.status, json.loads(answer.read())
    except urllib.error.HTTPError as error:
        return error.code, json.loads(error.read())


def test_the_server_refuses_bad_levels_with_their_places_and_requests_not_from_its_page(studio):
    level_file, address = studio
    token = {"X-Orv-Token": address.split("token=")[1]}
    bad = json.dumps({**LEVEL, "charges": [{"magnitude": "4", "polarity": "up",
                                            "visual_id": "stone"}]}).encode()
    status, answer = post(address, "/api/save?revision=x&force=1", bad, token)
    assert (status, answer["problems"]) == (422, [
        {"place": "charges[0].magnitude", "problem": "expected a number or null, found a "
                                                     "string"},
        {"place": "charges[0].polarity", "problem": 'unknown polarity "up" (expected one of '
                                                    '"positive", "negative", "neutral")'}])
    assert post(address, "/api/save?revision=x&force=1", b"{", token)[0] == 422
    status, answer = post(address, "/api/playtest", level_file.read_bytes(), token)
    assert (status, answer["problems"][0]["place"]) == (422, "top zone")
    puzzle = json.dumps({**LEVEL, "title": "</script> hall",
                         "hand": [{"name": "Plus Magician", "visual_id": "extra"}]}).encode()
    request = urllib.request.Request(address.split("/?")[0] + "/api/playtest", data=puzzle,
                                     headers=token, method="POST")
    with urllib.request.urlopen(request, timeout=30) as answer:
        game = answer.read().decode()
    # The game page of this puzzle, its title inert.
    assert "OrvEngine" in game and "<title>&lt;/script&gt; hall</title>" in game
    good = level_file.read_bytes()
    for headers, status in [({}, 403), ({"X-Orv-Token": "guess"}, 403),
                            ({**token, "Origin": "http://attacker.example"}, 403),
                            ({**token, "Host": "attacker.example"}, 403), (token, 200)]:
        assert post(address, "/api/save?revision=x&force=1", good, headers)[0] == status
    assert post(address, "/api/save", b" " * (17 << 20), token)[0] == 413


def set_control(selector, value):
    """A script that picks ``value`` in the control ``selector`` finds, as a user would."""
    return (f"(c => {{ c.value = {json.dumps(value)}; c.dispatchEvent(new Event('change')); }})"
            f"(document.querySelector({json.dumps(selector)}))")


def add_zone(level):
    level["sub_environments"].append({"agents": [], "charges": [], "id": "zone_1",
                                      "sub_environments": []})


# Each edit of the panel, and what it does to the level: (what to do, change to the level).
EDITS = [
    (set_control('[data-field="|charge|1|polarity"]', "negative"),
     lambda level: level["charges"][1].update(polarity="negative")),
    ("#click .charge-row .delete", lambda level: level["charges"].pop(0)),
    (set_control('[data-field="|palette"]', "The Judge") + '; document.querySelector('
     '".add-agent").click()', lambda level: level["agents"].append(
        {"name": "The Judge", "visual_id": "judge_1", "target_value": 0, "rule": "<"})),
    (set_control('[data-field="|agent|2|rule"]', ">="),
     lambda level: level["agents"][2].update(rule=">=")),
    (set_control('[data-field="|agent|2|target"]', "-2.5"),
     lambda level: level["agents"][2].update(target_value=-2.5)),
    ("#click .agent-row .delete", lambda level: level["agents"].pop(0)),
    ("#click .add-zone", add_zone),
    ("#click .delete-zone", lambda level: level["sub_environments"].pop()),
]


@pytest.mark.skipif(CHROMIUM is None, reason="chromium is not installed")
def test_every_edit_of_the_panel_is_played_and_undone(studio, tmp_path):
    _, address = studio
    expected = json.loads(json.dumps(LEVEL))
    states = [json.loads(json.dumps(expected))]
    with HeadlessChromium(tmp_path / "profile", environment_without_sanitizer()) as browser:
        browser.open(address)
        wait_until(browser, ["ready"])
        for action, change in EDITS:
            if action.startswith("#click "):
                browser.click(action.removeprefix("#click "))
            else:
                browser.evaluate(action)
            change(expected)
            states.append(json.loads(json.dumps(expected)))
            wait_until(browser, ["ready"])
            # Played without a problem, and drawn: the viewer shows the new zones.
            assert browser.evaluate('[document.getElementById("problems").hidden, '
                                    'document.querySelectorAll("#tree .zone").length]') == [
                True, 1 + len(expected["sub_environments"])]
            assert browser.evaluate("level") == expected
        for state in reversed(states[:-1]):
            browser.press_with_control("Z", 90)
            wait_until(browser, ["ready"])
            assert browser.evaluate("level") == state
        browser.press_with_control("Y", 89)
        wait_until(browser, ["ready"])
        assert browser.evaluate("level") == states[1]


# A puzzle built in the page from nothing: two rooms below the top, whose totals must come
# to 19 in the top (4 * 3 + (2 + 5)), and a hand of three for the two rooms.
BUILD = ["#click .add-zone", "#click .add-zone", '#click [data-path="0"] .add-charge',
         '#click [data-path="0"] .add-charge', '#click [data-path="1"] .add-charge',
         '#click [data-path="1"] .add-charge',
         set_control('[data-field="0|charge|0|magnitude"]', "4"),
         set_control('[data-field="0|charge|1|magnitude"]', "3"),
         set_control('[data-field="1|charge|0|magnitude"]', "2"),
         set_control('[data-field="1|charge|1|magnitude"]', "5"),
         set_control('[data-field="|palette"]', "Equals Gate") + "; "
         'document.querySelector(".add-agent").click()',
         set_control('[data-field="|agent|0|target"]', "19"),
         "#click .add-hand", set_control('[data-field="|title"]', "Two rooms"),
         *[set_control('[data-field="|hand-palette"]', kind) + "; "
           'document.querySelector(".add-hand-agent").click()'
           for kind in ("Plus Magician", "Multiply Magician", "Minus Magician")],
         "#click .hand-row .move-down", "#click .slot input",
         set_control('[data-field="1|id"]', "room_b")]  # the slots follow a renamed zone
# Nothing runs off sideways, and every one of the viewer's controls is within the window.
NO_OVERFLOW = """document.scrollingElement.scrollWidth <= innerWidth &&
  [...document.querySelectorAll("nav > *")].every(control => control.getBoundingClientRect().right <= innerWidth)"""
PHONE = {"width": 390, "height": 844, "deviceScaleFactor": 1, "mobile": True}


def do(browser, action):
    if action.startswith("#click "):
        # On a phone the panel is below the viewer: brought into view as a finger would.
        selector = json.dumps(action.removeprefix("#click "))
        browser.evaluate(f"document.querySelector({selector}).scrollIntoViewIfNeeded()")
        browser.click(action.removeprefix("#click "))
    else:
        browser.evaluate(action)
    wait_until(browser, ["ready"])


@pytest.mark.skipif(CHROMIUM is None, reason="chromium is not installed")
def test_a_puzzle_built_from_a_new_file_saves_and_solves_as_orv_solve_does(tmp_path):
    with running_studio(tmp_path / "new.json") as (level_file, address), HeadlessChromium(
            tmp_path / "profile", environment_without_sanitizer()) as browser:
        browser.page("Emulation.setDeviceMetricsOverride", PHONE)
        browser.open(address)
        wait_until(browser, ["ready", "ended", "saved"])
        for action in BUILD:
            do(browser, action)
            assert browser.evaluate('document.getElementById("problems").hidden'), action
        assert browser.evaluate(NO_OVERFLOW)
        do(browser, "#click #save")
        wait_until(browser, ["ready", "stuck", "saved"])
        shown = [solved(browser), browser.evaluate(
            f'[...{SOLUTIONS}.querySelectorAll("li")].map(item => item.title)')]
    saved = load_level(level_file)
    assert level_from_json(level_file.read_text()).to_json() == saved.to_json()
    assert json.loads(level_file.read_text())["hand"][:2] == [
        {"name": "Multiply Magician", "visual_id": "multiply_magician_1"},
        {"name": "Plus Magician", "visual_id": "plus_magician_1"}]
    found = json.loads(run_orv("solve", str(level_file), "--json", cwd=tmp_path).stdout)
    assert f"difficulty {found['difficulty']:.2f} bits" in shown[0]
    assert shown[1] == ["; ".join(f"{place['zone']} \u2190 {', '.join(place['agents'])}"
                                  for place in solution["placement"])
                        for solution in found["solutions"]] != []


@pytest.mark.skipif(CHROMIUM is None, reason="chromium is not installed")
def test_the_plain_viewer_fits_a_phone(tmp_path):
    assert run_orv("view", "endless_ritual", "-o", "run.html", cwd=tmp_path).returncode == 0
    with HeadlessChromium(tmp_path / "profile", environment_without_sanitizer()) as browser:
        browser.page("Emulation.setDeviceMetricsOverride", PHONE)
        browser.open((tmp_path / "run.html").as_uri())
        wait_for(lambda: browser.evaluate('document.getElementById("position").textContent'),
                 "the viewer")
        assert browser.evaluate(NO_OVERFLOW)
