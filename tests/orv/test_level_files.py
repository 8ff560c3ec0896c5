"""Level files: saving a zone tree as its JSON and building it again through the module."""

import copy
import json
import math

import pytest
from orv_test_support import frame_texts, nested_zones, two_room_level

import orv_engine
from orv import LevelError, level_from_json, level_to_json, load_level, save_level
from orv.levels.designer_keys import designer_text
from orv.levels.values import MAX_ZONE_DEPTH, NESTING_PROBLEM
from orv_engine import NEGATIVE, NEUTRAL, POSITIVE, Environment


def every_agent_kind() -> Environment:
    zone = Environment("menagerie")
    zone.add_charge(2, POSITIVE, "a")
    for method in ("plus_magician", "minus_magician", "multiply_magician", "divide_magician",
                   "power_sorcerer", "root_magician", "abs_magician", "factorial_magician",
                   "modulo_magician", "log_magician", "chronomancer"):
        getattr(zone, f"add_{method}")(method)
    zone.add_equals_gate("equals", -7)
    for number, rule in enumerate(("<", ">", "<=", ">=")):
        zone.add_inequality_gate(f"judge_{number}", number - 1.5, rule)
    return zone


def numbers_that_json_cannot_hold() -> Environment:
    zone = Environment("odd numbers")
    for number, magnitude in enumerate([math.nan, math.inf, -math.inf, -0.0, 1e-300, 1e300]):
        zone.add_charge(magnitude, NEUTRAL, f"c{number}")
    zone.add_equals_gate("nan_goal", math.nan)
    zone.add_inequality_gate("inf_goal", math.inf, ">")
    return zone


def unusual_text() -> Environment:
    zone = Environment('quote " backslash \\ newline \n tab \t')
    zone.add_charge(1, NEGATIVE, "ünïcödé ✓ 記号")
    zone.add_charge(1, POSITIVE, "")
    zone.add_plus_magician("</script>")
    top = Environment("")
    top.add_sub_environment(zone)
    return top


def frozen_flags() -> Environment:
    leaf = Environment("leaf")
    leaf.is_time_frozen = True  # a zone without sub-zones is written unfrozen all the same
    middle = Environment("middle")
    middle.add_sub_environment(leaf)
    middle.is_time_frozen = True
    top = Environment("top")
    top.add_sub_environment(middle)
    return top


def polarity_out_of_range() -> Environment:
    zone = Environment("z")
    zone.add_charge(3, orv_engine.ChargePolarity(7), "odd")  # written, and so read, as neutral
    return zone


def level_halfway_through_its_run() -> Environment:
    top = two_room_level()
    sequencer = orv_engine.NarrativeSequencer(top)
    for _ in range(3):
        sequencer.next_frame()
    return top


LEVELS = {
    "empty zone": lambda: Environment("empty"),
    "two rooms": two_room_level,
    "every agent kind": every_agent_kind,
    "NaN, infinities, signed zero": numbers_that_json_cannot_hold,
    "unusual text": unusual_text,
    "time-frozen flags": frozen_flags,
    "polarity out of range": polarity_out_of_range,
    "halfway through a run": level_halfway_through_its_run,
}


@pytest.mark.parametrize("build", LEVELS.values(), ids=LEVELS.keys())
def test_loading_the_json_of_a_level_gives_a_tree_with_the_same_json(build):
    text = level_to_json(build())
    assert level_from_json(text).to_json() == text
    assert level_from_json(text.encode()).to_json() == text


@pytest.mark.parametrize("build", LEVELS.values(), ids=LEVELS.keys())
def test_a_saved_level_file_loads_back_byte_for_byte(build, tmp_path):
    level = build()
    path = tmp_path / "level.json"
    save_level(level, path)
    assert path.read_bytes() == level.to_json().encode() + b"\n"
    assert load_level(path).to_json() == level.to_json()


@pytest.mark.parametrize("build", LEVELS.values(), ids=LEVELS.keys())
def test_a_loaded_level_plays_frame_for_frame_like_the_original(build):
    loaded = level_from_json(level_to_json(build()))
    assert frame_texts(loaded) == frame_texts(build())


def test_whitespace_and_key_order_in_a_hand_written_file_do_not_matter():
    level = two_room_level()
    document = json.loads(level.to_json())
    reordered = json.dumps(dict(reversed(document.items())), indent=4)
    assert level_from_json(reordered).to_json() == level.to_json()


def test_null_magnitudes_and_targets_load_as_nan_so_infinity_comes_back_as_nan():
    original = numbers_that_json_cannot_hold()
    loaded = level_from_json(original.to_json())
    magnitudes = [charge.magnitude for charge in loaded.charges]
    assert [math.isnan(m) for m in magnitudes] == [True, True, True, False, False, False]
    assert math.copysign(1, magnitudes[3]) == -1
    assert loaded.to_json() == original.to_json()


def test_shared_sub_zone_is_written_twice_and_loads_as_two_independent_copies():
    shared = Environment("shared")
    shared.add_charge(1, POSITIVE, "a")
    shared.add_charge(2, POSITIVE, "b")
    shared.add_plus_magician("p")
    original = Environment("top")
    original.add_sub_environment(shared)
    original.add_sub_environment(shared)
    loaded = level_from_json(original.to_json())
    assert loaded.to_json() == original.to_json()

    first_original = json.loads(orv_engine.NarrativeSequencer(original).next_frame())
    first_loaded = json.loads(orv_engine.NarrativeSequencer(loaded).next_frame())
    # The spell lands in the one shared zone, so both places show it...
    assert [len(z["agents"]) for z in first_original["sub_environments"]] == [0, 0]
    # ...while the loaded copies are separate zones and only the first one changes.
    assert [len(z["agents"]) for z in first_loaded["sub_environments"]] == [0, 1]


def base_document() -> dict:
    return json.loads(level_to_json(two_room_level()))


def mutated(change) -> str:
    document = copy.deepcopy(base_document())
    change(document)
    return json.dumps(document)


def first_agent_of_adder(document):
    return document["sub_environments"][0]["agents"][0]


def top_gate(document):
    return document["agents"][0]


def make_judge(document):
    top_gate(document).update(name="The Judge", rule=">=")


BROKEN_DOCUMENTS = {
    "misspelt agent name": (
        lambda d: first_agent_of_adder(d).update(name="Plus Magican"),
        "sub_environments[0].agents[0]",
        'unknown agent name "Plus Magican" (did you mean "Plus Magician"?)'),
    "agent name far from any": (
        lambda d: first_agent_of_adder(d).update(name="Wizard"),
        "sub_environments[0].agents[0]", 'unknown agent name "Wizard"'),
    "agent without a name": (
        lambda d: first_agent_of_adder(d).pop("name"),
        "sub_environments[0].agents[0]", 'missing key "name"'),
    "zone without charges": (
        lambda d: d["sub_environments"][1].pop("charges"),
        "sub_environments[1]", 'missing key "charges"'),
    "frame document": (
        lambda d: d.update(meta={}), "top zone", 'unknown key "meta"'),
    "id that is a number": (
        lambda d: d.update(id=3), "id", "expected a string, found the number 3"),
    "misspelt polarity": (
        lambda d: d["sub_environments"][0]["charges"][1].update(polarity="postive"),
        "sub_environments[0].charges[1].polarity",
        'unknown polarity "postive" (expected one of "positive", "negative", "neutral")'),
    "magnitude as text": (
        lambda d: d["sub_environments"][1]["charges"][0].update(magnitude="5"),
        "sub_environments[1].charges[0].magnitude",
        "expected a number or null, found a string"),
    "magnitude true": (
        lambda d: d["sub_environments"][1]["charges"][0].update(magnitude=True),
        "sub_environments[1].charges[0].magnitude", "expected a number or null, found true"),
    "charge that is a list": (
        lambda d: d["charges"].append([1, "positive", "x"]),
        "charges[0]", "expected a JSON object, found a list"),
    "priority of another kind": (
        lambda d: first_agent_of_adder(d).update(priority=50),
        "sub_environments[0].agents[0].priority",
        "50 does not match the fixed priority 10 of Plus Magician"),
    "fractional priority": (
        lambda d: first_agent_of_adder(d).update(priority=10.0),
        "sub_environments[0].agents[0].priority",
        "expected a whole number, found the number 10.0"),
    "active agent": (
        lambda d: first_agent_of_adder(d).update(state="active"),
        "sub_environments[0].agents[0].state",
        '"active" cannot be restored: agents are only ever placed dormant'),
    "frozen agent": (
        lambda d: top_gate(d).update(state="frozen"),
        "agents[0].state", '"frozen" cannot be restored: agents are only ever placed dormant'),
    "unknown state": (
        lambda d: top_gate(d).update(state="asleep"),
        "agents[0].state",
        'unknown state "asleep" (expected one of "dormant", "active", "frozen")'),
    "open gate": (
        lambda d: top_gate(d).update(is_open=True),
        "agents[0].is_open", "an open gate cannot be restored: gates are only ever placed closed"),
    "gate target as text": (
        lambda d: top_gate(d).update(target_value="15"),
        "agents[0].target_value", "expected a number or null, found a string"),
    "unknown rule": (
        lambda d: (make_judge(d), top_gate(d).update(rule="=<")),
        "agents[0].rule", 'unknown rule "=<" (expected one of "<", ">", "<=", ">=")'),
    "judge without a rule": (
        lambda d: top_gate(d).update(name="The Judge"), "agents[0]", 'missing key "rule"'),
    "equals gate with a rule": (
        lambda d: top_gate(d).update(rule="<"), "agents[0]", 'unknown key "rule"'),
    "magician with a target": (
        lambda d: first_agent_of_adder(d).update(target_value=1.0),
        "sub_environments[0].agents[0]", 'unknown key "target_value"'),
    "sub-zones as an object": (
        lambda d: d.update(sub_environments={}),
        "sub_environments", "expected a list, found an object"),
    "sub-zone that is text": (
        lambda d: d["sub_environments"].append("zone"),
        "sub_environments[2]", "expected a JSON object, found a string"),
    "misspelt key of an agent": (
        lambda d: first_agent_of_adder(d).update(priorty=10),
        "sub_environments[0].agents[0]", 'unknown key "priorty" (did you mean "priority"?)'),
    "misspelt designer key": (
        lambda d: d.update(titel="Vault"), "top zone",
        'unknown key "titel" (did you mean "title"?)'),
    "designer key below the top": (
        lambda d: d["sub_environments"][0].update(hint="add"), "sub_environments[0]",
        'unknown key "hint"'),
    "title that is not text": (
        lambda d: d.update(title=7), "title", "expected a string, found the number 7"),
    "freeze flag as text": (
        lambda d: d.update(is_time_frozen="yes"),
        "is_time_frozen", "expected true or false, found a string"),
}


@pytest.mark.parametrize("change, place, problem", BROKEN_DOCUMENTS.values(),
                         ids=BROKEN_DOCUMENTS.keys())
def test_a_malformed_level_is_refused_with_the_place_and_the_problem(change, place, problem):
    with pytest.raises(LevelError) as refused:
        level_from_json(mutated(change))
    assert (refused.value.place, refused.value.problem) == (place, problem)
    assert str(refused.value) == f"{place}: {problem}"


BROKEN_TEXTS = {
    "not JSON": ('{"id": "x",\n  "charges": [}', "line 2 column 15", "Expecting value"),
    "top zone is a list": ("[]", "top zone", "expected a JSON object, found a list"),
    "NaN written out": (
        '{"agents":[],"charges":[{"magnitude":NaN,"polarity":"positive","visual_id":"v"}],'
        '"id":"z","is_time_frozen":false,"sub_environments":[]}',
        "charges[0].magnitude",
        "NaN is not JSON; write null for a number that is not a number"),
    "Infinity as an id": (
        '{"agents":[],"charges":[],"id":Infinity,"is_time_frozen":false,'
        '"sub_environments":[]}',
        "id", "expected a string, found Infinity (which is not JSON)"),
    "key given twice": (
        '{"agents":[],"charges":[],"charges":[],"id":"z","is_time_frozen":false,'
        '"sub_environments":[]}',
        "top zone", 'key "charges" appears more than once'),
}


@pytest.mark.parametrize("text, place, problem", BROKEN_TEXTS.values(), ids=BROKEN_TEXTS.keys())
def test_text_that_is_no_level_is_refused_with_the_place_and_the_problem(text, place, problem):
    with pytest.raises(LevelError) as refused:
        level_from_json(text)
    assert (refused.value.place, refused.value.problem) == (place, problem)


def test_bytes_that_are_not_utf8_are_refused_at_their_position():
    with pytest.raises(LevelError, match=r"^byte 10: the file is not UTF-8 text$"):
        level_from_json(b'{"id": "ab\xff"}')


def test_zones_nested_deeper_than_python_can_follow_are_refused_not_crashed():
    with pytest.raises(LevelError, match=rf"^top zone: {NESTING_PROBLEM}$"):
        level_from_json(nested_zones(100_000))
    assert level_from_json(nested_zones(MAX_ZONE_DEPTH)).to_json() == nested_zones(MAX_ZONE_DEPTH)


def test_a_level_file_error_names_the_file_first(tmp_path):
    path = tmp_path / "broken.json"
    path.write_text(mutated(lambda d: first_agent_of_adder(d).update(name="Plus Magican")))
    with pytest.raises(LevelError) as refused:
        load_level(path)
    assert str(refused.value).startswith(f"{path}: sub_environments[0].agents[0]: unknown agent")


def test_level_errors_are_value_errors_so_callers_can_treat_them_as_bad_input():
    with pytest.raises(ValueError):
        level_from_json("{}")


MINIMAL_LEVEL = """{"id": "top", "charges": [],
 "agents": [{"name": "The Judge", "visual_id": "judge", "target_value": 6, "rule": ">="}],
 "sub_environments": [{"id": "room", "agents": [{"name": "Plus Magician", "visual_id": "p"}],
   "charges": [{"magnitude": 3, "polarity": "positive", "visual_id": "a"},
               {"magnitude": 4, "polarity": "positive", "visual_id": "b"}],
   "sub_environments": []}]}"""


@pytest.mark.parametrize("prefix", [b"", b"\xef\xbb\xbf"], ids=["plain", "byte-order mark"])
def test_a_hand_written_level_may_leave_out_keys_that_have_one_legal_value(prefix, tmp_path):
    room = Environment("room")
    room.add_charge(3, POSITIVE, "a")
    room.add_charge(4, POSITIVE, "b")
    room.add_plus_magician("p")
    expected = Environment("top")
    expected.add_inequality_gate("judge", 6, ">=")
    expected.add_sub_environment(room)
    (tmp_path / "hand.json").write_bytes(prefix + MINIMAL_LEVEL.encode())
    save_level(load_level(tmp_path / "hand.json"), tmp_path / "saved.json")
    assert (tmp_path / "saved.json").read_text() == expected.to_json() + "\n"
    assert load_level(tmp_path / "saved.json").to_json() == expected.to_json()


@pytest.mark.parametrize("designer", [
    {"title": "The Vault", "hint": "count to 2", "notes": "line one\nline two ✓"},
    {"hint": "</script><b>not markup</b>"},
], ids=["all three", "hint only"])
def test_designer_text_survives_a_round_trip_after_the_engine_members(designer, tmp_path):
    engine_text = two_room_level().to_json()
    written = json.dumps({**json.loads(engine_text), **designer}, ensure_ascii=False)
    (tmp_path / "designed.json").write_text(written, encoding="utf-8")
    loaded = load_level(tmp_path / "designed.json")
    assert designer_text(loaded) == designer and loaded.to_json() == engine_text
    save_level(loaded, tmp_path / "saved.json")
    saved = (tmp_path / "saved.json").read_text(encoding="utf-8")
    assert saved.startswith(engine_text[:-1]) and json.loads(saved) == json.loads(written)
    assert level_to_json(load_level(tmp_path / "saved.json")) + "\n" == saved


def test_every_problem_of_a_file_is_reported_at_once_with_its_place():
    def three_problems(document):
        first_agent_of_adder(document).update(name="Plus Magican")
        document["sub_environments"][1]["charges"][0].update(magnitude="5")
        top_gate(document).pop("target_value")
    with pytest.raises(LevelError) as refused:
        level_from_json(mutated(three_problems))
    assert refused.value.problems == [
        ("agents[0]", 'missing key "target_value"'),
        ("sub_environments[0].agents[0]",
         'unknown agent name "Plus Magican" (did you mean "Plus Magician"?)'),
        ("sub_environments[1].charges[0].magnitude", "expected a number or null, found a string"),
    ]
