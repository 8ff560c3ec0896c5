"""The frame viewer in a real browser: headless Chromium loads the page, steps through a
level with the buttons and the arrow keys, and the test checks what is drawn.

A screenshot of each checked frame is kept in build/test-artifacts/.
"""

import random

import orv_engine
import pytest
from headless_chromium import CHROMIUM, HeadlessChromium
from orv_engine import POSITIVE
from orv_test_support import environment_without_sanitizer, nested_zones, run_orv

from test_arithmetic import NUMBERS

from orv.generating.levels import generate_level
from orv.levels.top_zone_keys import set_level_extras
from orv.levels.values import MAX_ZONE_DEPTH
from orv.playing.numbers import number
from orv.viewer.page import level_frames, viewer_page

pytestmark = pytest.mark.skipif(CHROMIUM is None, reason="chromium is not installed "
                                "(apt-get install chromium); the viewer needs a real browser")

# What the page shows, read from its DOM: the header and every zone box with its contents.
DRAWN = """(() => ({
  position: document.getElementById("position").textContent,
  frame: document.getElementById("frame-index").textContent,
  status: document.getElementById("status").textContent,
  message: document.getElementById("message").textContent,
  event: document.getElementById("event").textContent,
  hash: location.hash,
  nextDisabled: document.getElementById("next").disabled,
  previousDisabled: document.getElementById("prev").disabled,
  zones: [...document.querySelectorAll(".zone")].map(zone => ({
    id: zone.dataset.id,
    path: zone.dataset.path === undefined ? null : zone.dataset.path,
    frozen: zone.classList.contains("frozen"),
    changed: zone.classList.contains("changed"),
    collapsed: zone.classList.contains("collapsed"),
    charges: [...zone.querySelectorAll(":scope > .charges > .charge")].map(charge =>
      [charge.querySelector(".value").textContent, charge.dataset.polarity,
       charge.classList.contains("new")]),
    consumed: [...zone.querySelectorAll(":scope > .charges > .charge")].map(charge =>
      charge.classList.contains("consumed")),
    agents: [...zone.querySelectorAll(":scope > .agents > .agent")].map(agent =>
      agent.textContent.replace(/\\s+/g, " ").trim()),
  })),
}))()"""


@pytest.fixture(scope="module")
def workshop_page(tmp_path_factory):
    folder = tmp_path_factory.mktemp("viewer")
    result = run_orv("view", "workshop", "-o", "workshop.html", cwd=folder)
    assert result.returncode == 0, result.stderr
    return (folder / "workshop.html").as_uri()


@pytest.fixture(scope="module")
def browser(tmp_path_factory):
    profile = tmp_path_factory.mktemp("chromium-profile")
    with HeadlessChromium(profile, environment_without_sanitizer()) as chromium:
        yield chromium


@pytest.fixture(scope="module")
def artifacts(pytestconfig):
    folder = pytestconfig.rootpath / "build" / "test-artifacts"
    folder.mkdir(parents=True, exist_ok=True)
    return folder


def zone_named(drawn, zone_id, collapsed=False):
    return next(z for z in drawn["zones"] if z["id"] == zone_id and z["collapsed"] == collapsed)


def test_the_page_opens_on_the_level_as_loaded(browser, workshop_page):
    browser.open(workshop_page)
    drawn = browser.evaluate(DRAWN)
    assert (drawn["position"], drawn["frame"], drawn["status"]) == ("1 of 8", "frame 0", "START")
    assert drawn["previousDisabled"] and not drawn["nextDisabled"]
    assert [(z["id"], z["path"]) for z in drawn["zones"]] == [
        ("workshop", ""), ("adder", "0"), ("squarer", "1")]
    assert zone_named(drawn, "adder")["charges"] == [["+2", "positive", False]] * 2
    assert zone_named(drawn, "workshop")["agents"] == [
        "Equals Gate (goal) dormant closed target = 13 · now empty", "Plus Magician (sum) dormant"]
    assert not any(z["changed"] for z in drawn["zones"])


def test_the_right_arrow_steps_to_a_spell_and_highlights_what_it_changed(browser, workshop_page,
                                                                        artifacts):
    browser.open(workshop_page)
    browser.press("ArrowRight", 39)
    drawn = browser.evaluate(DRAWN)
    assert (drawn["frame"], drawn["status"], drawn["hash"]) == ("frame 1", "RUNNING", "#frame=1")
    assert drawn["message"] == "Power Sorcerer in squarer: 3 ^ 2 → 9"
    assert drawn["event"] == "Power Sorcerer (power) cast a spell"
    squarer = zone_named(drawn, "squarer")
    assert squarer["changed"] and squarer["charges"] == [
        ["+3", "positive", False], ["+2", "positive", False], ["+9", "positive", True]]
    assert squarer["consumed"] == [True, True, False]
    assert squarer["agents"] == ["Power Sorcerer (power) cast"]
    assert zone_named(drawn, "workshop")["frozen"]
    assert not zone_named(drawn, "adder")["changed"]
    browser.screenshot(artifacts / "viewer-workshop-frame1.png")


def test_the_buttons_and_keys_walk_forward_and_back(browser, workshop_page):
    browser.open(workshop_page)
    browser.click("#next")
    browser.click("#next")
    assert browser.evaluate(DRAWN)["frame"] == "frame 2"
    browser.click("#prev")
    assert browser.evaluate(DRAWN)["frame"] == "frame 1"
    browser.press("End", 35)
    last = browser.evaluate(DRAWN)
    assert (last["frame"], last["status"], last["nextDisabled"]) == ("frame 7", "FINISHED", True)
    assert zone_named(last, "workshop")["charges"] == [["+13", "positive", False]]
    browser.press("ArrowLeft", 37)
    opened = zone_named(browser.evaluate(DRAWN), "workshop")
    assert opened["agents"] == ["Equals Gate (goal) target = 13 ✓ opened"]
    browser.click("#first")
    assert browser.evaluate(DRAWN)["status"] == "START"


def test_a_frame_chosen_in_the_address_shows_a_collapse(browser, workshop_page, artifacts):
    browser.open(workshop_page + "#frame=4")
    drawn = browser.evaluate(DRAWN)
    assert drawn["position"] == "5 of 8"
    assert drawn["message"] == "Zone squarer collapsed: +9 moves up to workshop"
    top = zone_named(drawn, "workshop")
    assert top["changed"] and not top["frozen"]
    assert top["charges"] == [["+4", "positive", False], ["+9", "positive", True]]
    assert zone_named(drawn, "squarer", collapsed=True)["charges"] == [["+9", "positive", False]]
    assert [z["id"] for z in drawn["zones"] if not z["collapsed"]] == ["workshop"]
    browser.screenshot(artifacts / "viewer-workshop-frame4.png")
    assert (artifacts / "viewer-workshop-frame4.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


def many_rooms():
    top = orv_engine.Environment("hall")
    for number in range(40):
        room = orv_engine.Environment(f"room{number}")
        room.add_charge(1, POSITIVE, "a")
        room.add_charge(1, POSITIVE, "b")
        room.add_plus_magician(f"p{number}")
        top.add_sub_environment(room)
    top.add_plus_magician("sum")
    top.add_equals_gate("goal", 80)
    return top


# Whether the first thing the step highlighted lies below the sticky header and on screen.
CHANGE_IN_VIEW = """(() => {
  const target = document.querySelector(".charge.new, .agent.departed, .zone.changed");
  const box = target.getBoundingClientRect();
  const top = document.querySelector("header").getBoundingClientRect().bottom;
  return box.top >= top && box.bottom <= window.innerHeight;
})()"""

PLAYED_TO_THE_END = """new Promise(resolve => {
  const check = () => document.getElementById("play").textContent.includes("Play")
      ? resolve(location.hash) : setTimeout(check, 50);
  setTimeout(check, 50);
})"""


def test_the_slider_autoplay_and_scrolling_follow_the_changes(browser, tmp_path, artifacts):
    page = tmp_path / "rooms.html"
    page.write_text(viewer_page(level_frames(many_rooms()), "rooms"), encoding="utf-8")
    browser.open(page.as_uri())
    browser.evaluate('(s => { s.value = 40; s.dispatchEvent(new Event("input")); })'
                     '(document.getElementById("slider"))')
    drawn = browser.evaluate(DRAWN)
    assert (drawn["frame"], drawn["position"]) == ("frame 40", "41 of 84")
    assert browser.evaluate("window.scrollY") > 0 and browser.evaluate(CHANGE_IN_VIEW)
    browser.screenshot(artifacts / "viewer-rooms-frame40.png")
    browser.evaluate('document.getElementById("speed").value = "100"')
    browser.click("#play")
    assert browser.evaluate(PLAYED_TO_THE_END) == "#frame=83"
    assert browser.evaluate(DRAWN)["status"] == "FINISHED"
    assert browser.evaluate('document.getElementById("outcome").textContent') == "solved"


@pytest.fixture(scope="module")
def big_page(tmp_path_factory):
    """The level of ``orv generate --count 1 --seed 3 --zones 60``: 60 zones, 22 gates."""
    page = tmp_path_factory.mktemp("big") / "big.html"
    page.write_text(viewer_page(level_frames(generate_level(3, 0, 60)), "big"), encoding="utf-8")
    return page.as_uri()


def test_a_big_level_keeps_its_tree_in_view_and_a_click_on_a_chart_shows_that_frame(
        browser, big_page, artifacts):
    browser.open(big_page)
    assert browser.evaluate('document.querySelectorAll(".chart").length') == 22
    tree_top = browser.evaluate('document.getElementById("tree").getBoundingClientRect().top')
    assert tree_top < 0.6 * browser.evaluate("window.innerHeight")
    browser.screenshot(artifacts / "viewer-big-level.png")
    for frame in (10, 47, 0):
        across = browser.evaluate(f"frameX({frame}) / CHART.width")
        browser.click(".chart:nth-of-type(5) svg", across=across)
        assert browser.evaluate(DRAWN)["frame"] == f"frame {frame}"
    assert browser.evaluate('document.querySelector(".chart:nth-of-type(5) .now")'
                            '.getAttribute("x1")') == browser.evaluate("String(frameX(0))")


OUTCOME_LIST = """(() => ({
  note: document.getElementById("outcome-note").textContent,
  hidden: document.getElementById("outcome-details").hidden,
  items: [...document.querySelectorAll("#outcome-details li")].map(item => item.textContent),
}))()"""


def test_and_n_more_unfolds_every_closed_gate_and_idle_agent(browser, big_page):
    browser.open(big_page)
    folded = browser.evaluate(OUTCOME_LIST)
    assert folded["hidden"] and folded["note"].endswith("(and 79 more)")
    browser.click("#outcome-more")
    unfolded = browser.evaluate(OUTCOME_LIST)
    assert not unfolded["hidden"] and unfolded["note"].endswith("(show less)")
    assert len(unfolded["items"]) == 80 and folded["note"].startswith(unfolded["items"][0])
    assert sum(item.startswith("closed gate") for item in unfolded["items"]) == 22 - 12
    browser.click("#outcome-more")
    assert browser.evaluate(OUTCOME_LIST)["hidden"]


def js_number(value):
    return {"inf": "Infinity", "-inf": "-Infinity", "nan": "NaN"}.get(repr(value), repr(value))


def test_the_page_writes_numbers_as_the_narration_does(browser, workshop_page):
    spread = random.Random(7)
    values = [value for value, _ in NUMBERS] + [
        spread.choice((1, -1)) * spread.random() * 10 ** spread.randint(-12, 22)
        for _ in range(400)] + [spread.randint(0, 10 ** 6) / 8 for _ in range(100)]
    browser.open(workshop_page)
    shown = browser.evaluate(f"[{', '.join(map(js_number, values))}].map(v => formatNumber(v))")
    assert shown == [number(value) for value in values]
    assert browser.evaluate("[formatNumber(-0, true), formatNumber(0, true)]") == ["-0", "0"]
    legend = browser.evaluate('document.getElementById("legend").textContent')
    assert "±7 neutral: counts negative for Plus, Minus and the gates" in legend


def test_the_deepest_level_the_tools_accept_is_drawn_whole(browser, tmp_path):
    (tmp_path / "deep.json").write_text(nested_zones(MAX_ZONE_DEPTH))
    assert run_orv("view", "deep.json", "-o", "deep.html", cwd=tmp_path).returncode == 0
    browser.open((tmp_path / "deep.html").as_uri())
    assert browser.evaluate('document.querySelectorAll(".zone").length') == MAX_ZONE_DEPTH


CAUSES_DRAWN = """(() => ({
  blocking: [...document.querySelectorAll(".zone.blocking")].map(zone =>
    zone.querySelector(":scope > h2").textContent),
  reasons: [...document.querySelectorAll(".agent.blocking")].map(agent =>
    [agent.dataset.visualId, agent.querySelector(".badge.reason").textContent]),
  causes: [...document.querySelectorAll(".agent.closed-cause .badge.cause")].map(badge =>
    badge.textContent),
}))()"""


def test_the_last_frame_of_a_stuck_level_marks_what_held_each_gate_closed(browser, tmp_path,
                                                                           artifacts):
    pile = orv_engine.Environment("pile")
    for value in (2, 3):
        pile.add_charge(value, POSITIVE, "stone")
    middle = orv_engine.Environment("middle")
    middle.add_charge(1, POSITIVE, "one")
    middle.add_plus_magician("plus")
    middle.add_sub_environment(pile)
    vault = orv_engine.Environment("vault")
    vault.add_sub_environment(middle)
    vault.add_equals_gate("door", 6)
    set_level_extras(vault, {"title": "The <b>vault</b>", "hint": "count to 6"})
    page = tmp_path / "stuck.html"
    page.write_text(viewer_page(level_frames(vault), "stuck"), encoding="utf-8")
    browser.open(page.as_uri())
    assert browser.evaluate(CAUSES_DRAWN) == {"blocking": [], "reasons": [], "causes": []}
    assert browser.evaluate('[document.getElementById("designer").textContent, '
                            'document.querySelectorAll("header b").length]') == [
        "The <b>vault</b>count to 6", 0]
    browser.press("End", 35)
    assert browser.evaluate(CAUSES_DRAWN) == {
        "blocking": ["▾middletime-frozen",
                     "▾pileno agent left to combine its charges"],
        "reasons": [["plus", "needs 2 charges, has 1"]], "causes": ["frozen"]}
    browser.screenshot(artifacts / "viewer-stuck-causes.png")


AGENTS_DRAWN = """[...document.querySelectorAll("#tree .zone[data-path='']  > .agents > li")]
  .map(item => item.dataset.visualId || item.textContent)"""


def test_a_zone_of_many_agents_draws_the_first_ones_gates_and_changed_until_asked(browser,
                                                                                    tmp_path):
    top = orv_engine.Environment("crowd")
    top.add_charge(1, POSITIVE, "a")
    for number in range(45):
        top.add_plus_magician(f"p{number}")
    top.add_equals_gate("goal", 1)
    page = tmp_path / "crowd.html"
    page.write_text(viewer_page(level_frames(top), "crowd"), encoding="utf-8")
    browser.open(page.as_uri())
    first = [f"p{number}" for number in range(40)]
    assert browser.evaluate(AGENTS_DRAWN) == [*first, "goal", "show 5 more agents"]
    browser.evaluate('document.querySelector(".more-agents button").click()')
    assert browser.evaluate(AGENTS_DRAWN) == [*first, *(f"p{n}" for n in range(40, 45)), "goal"]
