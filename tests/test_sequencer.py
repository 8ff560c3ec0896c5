"""Stepping a level through NarrativeSequencer: frame documents, the step budget,
changes made between frames, ownership of the tree and the text format of frames."""

import gc
import json

import pytest

import orv_engine as orv
from frame_shapes import (
    END_EVENT,
    agent,
    charge,
    collapse_event,
    compact,
    frame,
    spell_event,
    zone,
)

BUDGET_MESSAGE = "Max frame limit reached. Infinite loop detected."
DONE_MESSAGE = "Simulation complete. No further actions."


def document(tree, frame_index, status, message, last_event):
    doc = dict(tree)
    doc["meta"] = {
        "frame_index": frame_index,
        "last_event": last_event,
        "message": message,
        "status": status,
    }
    return compact(doc)


# --- the root/inner level: 3 + 4 worked out in an inner zone -------------------------------

ROOT_FRAME_1 = (
    '{"agents":[],"charges":[],"id":"root","is_time_frozen":true,"meta":{"frame_index":1,'
    '"last_event":{"agent_name":"Plus Magician","description":"Plus Magician executed operation '
    'in inner","type":"CAST_SPELL","visual_id":"p"},"message":"Plus Magician executed operation '
    'in inner","status":"RUNNING"},"sub_environments":[{"agents":[],"charges":[{"magnitude":7.0,'
    '"polarity":"positive","visual_id":"result_p"}],"id":"inner","is_time_frozen":false,'
    '"sub_environments":[]}]}'
)
ROOT_FRAME_2 = (
    '{"agents":[],"charges":[{"magnitude":7.0,"polarity":"positive","visual_id":"result_p"}],'
    '"id":"root","is_time_frozen":false,"meta":{"frame_index":2,"last_event":{"agent_name":'
    '"Chronomancer","description":"Zone inner has resolved and merged.","type":"COLLAPSE_ZONE",'
    '"visual_id":"shield_inner"},"message":"Zone inner has resolved and merged.","status":'
    '"RUNNING"},"sub_environments":[]}'
)
ROOT_FRAME_3 = (
    '{"agents":[],"charges":[{"magnitude":7.0,"polarity":"positive","visual_id":"result_p"}],'
    '"id":"root","is_time_frozen":false,"meta":{"frame_index":3,"last_event":{"agent_name":'
    '"System","description":"Equation Resolved.","type":"FINISHED","visual_id":"N/A"},'
    '"message":"Equation Resolved.","status":"FINISHED"},"sub_environments":[]}'
)
ROOT_FRAME_AFTER_END = (
    '{"agents":[],"charges":[{"magnitude":7.0,"polarity":"positive","visual_id":"result_p"}],'
    '"id":"root","is_time_frozen":false,"meta":{"frame_index":3,"last_event":null,'
    '"message":"Simulation complete. No further actions.","status":"FINISHED"},'
    '"sub_environments":[]}'
)
ROOT_FRAMES = [ROOT_FRAME_1, ROOT_FRAME_2, ROOT_FRAME_3, ROOT_FRAME_AFTER_END]


def build_root_level():
    root = orv.Environment("root")
    inner = orv.Environment("inner")
    inner.add_charge(3, orv.POSITIVE, "a")
    inner.add_charge(4, orv.POSITIVE, "b")
    inner.add_plus_magician("p")
    root.add_sub_environment(inner)
    return root, inner


@pytest.mark.parametrize(
    "call_count, expected",
    [
        pytest.param(1, ROOT_FRAME_1, id="frame1-spell"),
        pytest.param(2, ROOT_FRAME_2, id="frame2-collapse"),
        pytest.param(3, ROOT_FRAME_3, id="frame3-level-ends"),
        pytest.param(4, ROOT_FRAME_AFTER_END, id="frame4-after-end"),
        pytest.param(7, ROOT_FRAME_AFTER_END, id="frame7-after-end"),
    ],
)
def test_root_level_frames_are_byte_exact(call_count, expected):
    root, _ = build_root_level()
    sequencer = orv.NarrativeSequencer(root)
    for _ in range(call_count - 1):
        sequencer.next_frame()
    assert sequencer.next_frame() == expected


def test_root_level_counters_follow_the_frames():
    root, _ = build_root_level()
    sequencer = orv.NarrativeSequencer(root)
    assert (sequencer.current_frame, sequencer.is_finished) == (0, False)
    seen = []
    for _ in range(5):
        sequencer.next_frame()
        seen.append((sequencer.current_frame, sequencer.is_finished))
    assert seen == [(1, False), (2, False), (3, True), (3, True), (3, True)]


# --- the gate level: inner works out 4 + 6, the gate on top checks for 10 ------------------

GATE_CLOSED = {
    "is_open": False,
    "name": "Equals Gate",
    "priority": 0,
    "state": "dormant",
    "target_value": 10.0,
    "visual_id": "gate",
}
TEN = charge(10, "positive", "result_p")
GATE_LEVEL_FRAMES = [
    document(
        zone("top", agents=[GATE_CLOSED], frozen=True, subs=[zone("inner", charges=[TEN])]),
        1,
        "RUNNING",
        "Plus Magician executed operation in inner",
        spell_event("Plus Magician", "p", "inner"),
    ),
    document(
        zone("top", charges=[TEN], agents=[GATE_CLOSED]),
        2,
        "RUNNING",
        "Zone inner has resolved and merged.",
        collapse_event("inner"),
    ),
    document(
        zone("top", charges=[TEN]),
        3,
        "RUNNING",
        "Equals Gate executed operation in top",
        spell_event("Equals Gate", "gate", "top"),
    ),
    document(zone("top", charges=[TEN]), 4, "FINISHED", "Equation Resolved.", END_EVENT),
]


def build_gate_level():
    top = orv.Environment("top")
    top.add_equals_gate("gate", 10)
    inner = orv.Environment("inner")
    inner.add_plus_magician("p")
    inner.add_charge(4, orv.POSITIVE, "a")
    inner.add_charge(6, orv.POSITIVE, "b")
    top.add_sub_environment(inner)
    return top


@pytest.mark.parametrize(
    "index",
    [
        pytest.param(0, id="frame1-plus-casts-while-top-frozen"),
        pytest.param(1, id="frame2-gate-fails-inner-collapses"),
        pytest.param(2, id="frame3-gate-opens-and-leaves"),
        pytest.param(3, id="frame4-level-ends"),
    ],
)
def test_gate_level_frames(index):
    sequencer = orv.NarrativeSequencer(build_gate_level())
    texts = [sequencer.next_frame() for _ in range(index + 1)]
    assert texts[index] == GATE_LEVEL_FRAMES[index]


def test_gate_level_after_end_repeats_frame_four_without_event():
    sequencer = orv.NarrativeSequencer(build_gate_level())
    for _ in range(4):
        sequencer.next_frame()
    expected = document(zone("top", charges=[TEN]), 4, "FINISHED", DONE_MESSAGE, None)
    assert [sequencer.next_frame() for _ in range(3)] == [expected] * 3


# --- empty top zone ------------------------------------------------------------------------


def test_empty_top_zone_first_frame_ends_the_level():
    sequencer = orv.NarrativeSequencer(orv.Environment("void"))
    assert sequencer.next_frame() == (
        '{"agents":[],"charges":[],"id":"void","is_time_frozen":false,"meta":{"frame_index":1,'
        '"last_event":{"agent_name":"System","description":"Equation Resolved.","type":"FINISHED",'
        '"visual_id":"N/A"},"message":"Equation Resolved.","status":"FINISHED"},'
        '"sub_environments":[]}'
    )
    assert sequencer.is_finished is True


@pytest.mark.parametrize("later_calls", [1, 2, 5], ids=["second-call", "third-call", "sixth-call"])
def test_empty_top_zone_later_frames_keep_frame_one(later_calls):
    sequencer = orv.NarrativeSequencer(orv.Environment("void"))
    sequencer.next_frame()
    texts = [sequencer.next_frame() for _ in range(later_calls)]
    expected = (
        '{"agents":[],"charges":[],"id":"void","is_time_frozen":false,"meta":{"frame_index":1,'
        '"last_event":null,"message":"Simulation complete. No further actions.",'
        '"status":"FINISHED"},"sub_environments":[]}'
    )
    assert texts == [expected] * later_calls
    assert sequencer.current_frame == 1


# --- step budget ---------------------------------------------------------------------------


def error_frame(tree_text, frame_index):
    return document(json.loads(tree_text), frame_index, "ERROR", BUDGET_MESSAGE, None)


@pytest.mark.parametrize(
    "start", [1000, 1001, 2**31 - 1], ids=["at-1000", "at-1001", "at-int32-max"]
)
def test_spent_budget_reports_error_and_leaves_tree_alone(start):
    root, inner = build_root_level()
    sequencer = orv.NarrativeSequencer(root)
    sequencer.current_frame = start
    tree_before = root.to_json()
    assert sequencer.next_frame() == error_frame(tree_before, start)
    assert sequencer.is_finished is True
    assert sequencer.current_frame == start
    assert root.to_json() == tree_before
    assert [c.visual_id for c in inner.charges] == ["a", "b"]


def test_clearing_is_finished_does_not_lift_a_spent_budget():
    root, _ = build_root_level()
    sequencer = orv.NarrativeSequencer(root)
    sequencer.current_frame = 1000
    first = sequencer.next_frame()
    sequencer.is_finished = False
    second = sequencer.next_frame()
    assert second == first == error_frame(root.to_json(), 1000)
    assert sequencer.is_finished is True


def test_spent_budget_wins_over_finished_level():
    sequencer = orv.NarrativeSequencer(orv.Environment("void"))
    sequencer.next_frame()
    sequencer.current_frame = 1000
    assert json.loads(sequencer.next_frame())["meta"] == {
        "frame_index": 1000,
        "last_event": None,
        "message": BUDGET_MESSAGE,
        "status": "ERROR",
    }


def test_step_999_still_steps_then_budget_is_spent():
    root, _ = build_root_level()
    sequencer = orv.NarrativeSequencer(root)
    sequencer.current_frame = 999
    step = frame(sequencer)
    assert step["meta"] == {
        "frame_index": 1000,
        "last_event": spell_event("Plus Magician", "p", "inner"),
        "message": "Plus Magician executed operation in inner",
        "status": "RUNNING",
    }
    assert sequencer.is_finished is False
    tree_after_step = root.to_json()
    assert sequencer.next_frame() == error_frame(tree_after_step, 1000)
    # the pending collapse of inner never happens
    assert root.to_json() == tree_after_step
    assert sequencer.is_finished is True


def test_finished_written_before_first_call_reports_frame_zero():
    root, _ = build_root_level()
    sequencer = orv.NarrativeSequencer(root)
    sequencer.is_finished = True
    tree_before = root.to_json()
    assert sequencer.next_frame() == document(
        json.loads(tree_before), 0, "FINISHED", DONE_MESSAGE, None
    )
    assert root.to_json() == tree_before
    assert sequencer.current_frame == 0
    # clearing the flag lets the level run from its first step
    sequencer.is_finished = False
    assert sequencer.next_frame() == ROOT_FRAME_1


def test_cleared_is_finished_lets_an_ended_level_step_again():
    sequencer = orv.NarrativeSequencer(orv.Environment("void"))
    sequencer.next_frame()
    sequencer.is_finished = False
    assert frame(sequencer)["meta"] == {
        "frame_index": 2,
        "last_event": END_EVENT,
        "message": "Equation Resolved.",
        "status": "FINISHED",
    }


@pytest.mark.parametrize(
    "build, start, steps",
    [
        pytest.param(lambda: orv.Environment("void"), 999, 1, id="empty-level-from-999"),
        pytest.param(lambda: build_root_level()[0], 997, 3, id="root-level-from-997"),
    ],
)
def test_level_ending_on_step_1000_finishes_then_errors(build, start, steps):
    top = build()
    sequencer = orv.NarrativeSequencer(top)
    sequencer.current_frame = start
    for _ in range(steps - 1):
        assert frame(sequencer)["meta"]["status"] == "RUNNING"
    last = frame(sequencer)
    assert last["meta"] == {
        "frame_index": 1000,
        "last_event": END_EVENT,
        "message": "Equation Resolved.",
        "status": "FINISHED",
    }
    assert sequencer.next_frame() == error_frame(top.to_json(), 1000)


@pytest.mark.parametrize(
    "bad_value",
    [
        pytest.param(6.0, id="whole-float"),
        pytest.param(5.5, id="fractional-float"),
        pytest.param(2**31, id="two-to-the-31"),
        pytest.param(-(2**31) - 1, id="below-int32-min"),
        pytest.param("6", id="text"),
    ],
)
def test_current_frame_rejects_unconvertible_values(bad_value):
    sequencer = orv.NarrativeSequencer(orv.Environment("void"))
    sequencer.current_frame = 5
    with pytest.raises(TypeError):
        sequencer.current_frame = bad_value
    assert sequencer.current_frame == 5
    assert frame(sequencer)["meta"]["frame_index"] == 6


@pytest.mark.parametrize(
    "written, next_index",
    [
        pytest.param(5, 6, id="five"),
        pytest.param(0, 1, id="zero"),
        pytest.param(-3, -2, id="negative"),
        pytest.param(998, 999, id="just-below-budget"),
    ],
)
def test_written_current_frame_is_continued_by_the_next_step(written, next_index):
    root, _ = build_root_level()
    sequencer = orv.NarrativeSequencer(root)
    sequencer.current_frame = written
    assert sequencer.current_frame == written
    indices = [frame(sequencer)["meta"]["frame_index"] for _ in range(2)]
    assert indices == [next_index, next_index + 1]


def test_is_finished_rejects_text():
    sequencer = orv.NarrativeSequencer(orv.Environment("void"))
    with pytest.raises(TypeError):
        sequencer.is_finished = "yes"
    assert sequencer.is_finished is False


# --- changes between frames ----------------------------------------------------------------


def build_side_level():
    """top holds 1 and a Plus Magician; its sub-zone 'side' multiplies 2 by 3."""
    top = orv.Environment("top")
    top.add_charge(1, orv.POSITIVE, "one")
    top.add_plus_magician("p")
    side = orv.Environment("side")
    side.add_charge(2, orv.POSITIVE, "two")
    side.add_charge(3, orv.POSITIVE, "three")
    side.add_multiply_magician("m")
    top.add_sub_environment(side)
    return top, side


def test_level_left_alone_collapses_side_in_second_frame():
    top, _ = build_side_level()
    sequencer = orv.NarrativeSequencer(top)
    sequencer.next_frame()
    second = frame(sequencer)
    assert second["meta"]["last_event"] == collapse_event("side")


def test_charge_added_between_frames_takes_part_in_next_step():
    top, _ = build_side_level()
    sequencer = orv.NarrativeSequencer(top)
    sequencer.next_frame()
    top.add_charge(4, orv.POSITIVE, "four")
    second = frame(sequencer)
    assert second["meta"]["last_event"] == spell_event("Plus Magician", "p", "top")
    assert second["charges"] == [charge(5, "positive", "result_p")]
    assert second["sub_environments"] == [
        zone("side", charges=[charge(6, "positive", "result_product_m")])
    ]


def test_agent_added_between_frames_takes_part_in_next_step():
    root, _ = build_root_level()
    sequencer = orv.NarrativeSequencer(root)
    sequencer.next_frame()
    sequencer.next_frame()
    root.add_factorial_magician("f")
    third = frame(sequencer)
    assert third["meta"]["status"] == "RUNNING"
    assert third["meta"]["last_event"] == spell_event("The Replicator", "f", "root")
    assert third["charges"] == [charge(5040, "positive", "result_factorial_f")]
    assert third["agents"] == []


def test_charge_and_agent_added_to_inner_zone_between_frames():
    root, inner = build_root_level()
    sequencer = orv.NarrativeSequencer(root)
    sequencer.next_frame()
    inner.add_charge(2, orv.NEGATIVE, "minus_two")
    inner.add_multiply_magician("m")
    second = frame(sequencer)
    assert second["is_time_frozen"] is True
    assert second["meta"]["last_event"] == spell_event("Multiply Magician", "m", "inner")
    assert second["sub_environments"] == [
        zone("inner", charges=[charge(14, "negative", "result_product_m")])
    ]


def test_sub_zone_added_between_frames_takes_part_in_next_step():
    root, _ = build_root_level()
    sequencer = orv.NarrativeSequencer(root)
    sequencer.next_frame()
    sequencer.next_frame()
    late = orv.Environment("late")
    late.add_charge(2, orv.POSITIVE, "x")
    late.add_charge(5, orv.POSITIVE, "y")
    late.add_minus_magician("mm")
    root.add_sub_environment(late)
    third = frame(sequencer)
    assert third["is_time_frozen"] is True
    assert third["meta"]["last_event"] == spell_event("Minus Magician", "mm", "late")
    fourth = frame(sequencer)
    assert fourth["meta"]["last_event"] == collapse_event("late")
    assert fourth["charges"] == [
        charge(7, "positive", "result_p"),
        charge(3, "negative", "result_mm"),
    ]


def test_two_sequencers_on_one_tree_see_each_others_steps():
    root, _ = build_root_level()
    first = orv.NarrativeSequencer(root)
    second = orv.NarrativeSequencer(env=root)
    a1 = frame(first)
    b1 = frame(second)
    a2 = frame(first)
    b2 = frame(second)
    assert (a1["meta"]["frame_index"], a1["meta"]["last_event"]) == (
        1,
        spell_event("Plus Magician", "p", "inner"),
    )
    assert (b1["meta"]["frame_index"], b1["meta"]["last_event"]) == (1, collapse_event("inner"))
    assert (a2["meta"]["frame_index"], a2["meta"]["last_event"]) == (2, END_EVENT)
    assert (b2["meta"]["frame_index"], b2["meta"]["last_event"]) == (2, END_EVENT)
    assert first.is_finished is True and second.is_finished is True


def make_orphaned_sequencer():
    root, inner = build_root_level()
    sequencer = orv.NarrativeSequencer(root)
    del root, inner
    return sequencer


def test_sequencer_keeps_its_tree_alive():
    sequencer = make_orphaned_sequencer()
    gc.collect()
    assert [sequencer.next_frame() for _ in range(4)] == ROOT_FRAMES


@pytest.mark.parametrize(
    "args",
    [
        pytest.param((None,), id="none"),
        pytest.param((5,), id="int"),
        pytest.param(("root",), id="text"),
        pytest.param((orv.Charge(1, orv.POSITIVE, "c"),), id="charge"),
        pytest.param((), id="no-argument"),
    ],
)
def test_sequencer_needs_an_environment(args):
    with pytest.raises(TypeError):
        orv.NarrativeSequencer(*args)


# --- text format of every frame ------------------------------------------------------------


def frames_of_root_level():
    root, _ = build_root_level()
    sequencer = orv.NarrativeSequencer(root)
    return [sequencer.next_frame() for _ in range(5)]


def frames_of_gate_level():
    sequencer = orv.NarrativeSequencer(build_gate_level())
    return [sequencer.next_frame() for _ in range(6)]


def frames_of_empty_level():
    sequencer = orv.NarrativeSequencer(orv.Environment(""))
    return [sequencer.next_frame() for _ in range(3)]


def frames_into_the_budget():
    root, _ = build_root_level()
    sequencer = orv.NarrativeSequencer(root)
    sequencer.current_frame = 998
    return [sequencer.next_frame() for _ in range(4)]


def frames_after_finished_written():
    root, _ = build_root_level()
    sequencer = orv.NarrativeSequencer(root)
    sequencer.is_finished = True
    return [sequencer.next_frame() for _ in range(2)]


@pytest.mark.parametrize(
    "make_frames",
    [
        pytest.param(frames_of_root_level, id="root-level"),
        pytest.param(frames_of_gate_level, id="gate-level"),
        pytest.param(frames_of_empty_level, id="empty-level"),
        pytest.param(frames_into_the_budget, id="budget-error"),
        pytest.param(frames_after_finished_written, id="finished-written"),
    ],
)
def test_every_frame_is_one_compact_line_with_sorted_keys(make_frames):
    for text in make_frames():
        assert type(text) is str
        assert "\n" not in text and "\r" not in text
        pairs = json.loads(text, object_pairs_hook=list)
        assert [key for key, _ in pairs] == [
            "agents",
            "charges",
            "id",
            "is_time_frozen",
            "meta",
            "sub_environments",
        ]
        meta = dict(pairs)["meta"]
        assert [key for key, _ in meta] == ["frame_index", "last_event", "message", "status"]
        assert compact(json.loads(text)) == text


def test_frame_index_is_written_as_integer():
    root, _ = build_root_level()
    sequencer = orv.NarrativeSequencer(root)
    text = sequencer.next_frame()
    assert '"meta":{"frame_index":1,"last_event":' in text


def test_empty_zone_id_appears_in_spell_message():
    top = orv.Environment("")
    top.add_charge(1, orv.POSITIVE, "x")
    top.add_charge(2, orv.POSITIVE, "y")
    top.add_plus_magician("p")
    first = frame(orv.NarrativeSequencer(top))
    assert first["meta"]["message"] == "Plus Magician executed operation in "
    assert first["meta"]["last_event"]["description"] == "Plus Magician executed operation in "


# --- determinism ---------------------------------------------------------------------------


def build_workshop():
    top = orv.Environment("workshop")
    top.add_equals_gate("goal", 13)
    top.add_inequality_gate("judge", 13, ">=")
    top.add_plus_magician("sum")
    adder = orv.Environment("adder")
    adder.add_charge(2, orv.POSITIVE, "two")
    adder.add_charge(2, orv.POSITIVE, "two_again")
    adder.add_plus_magician("plus")
    squarer = orv.Environment("squarer")
    squarer.add_charge(3, orv.NEGATIVE, "three")
    squarer.add_charge(2, orv.POSITIVE, "exponent")
    squarer.add_abs_magician("abs")
    squarer.add_power_sorcerer("power")
    top.add_sub_environment(adder)
    top.add_sub_environment(squarer)
    return top


def play_to_end(top, extra_calls=2):
    sequencer = orv.NarrativeSequencer(top)
    texts = []
    while not sequencer.is_finished:
        texts.append(sequencer.next_frame())
    texts.extend(sequencer.next_frame() for _ in range(extra_calls))
    return texts


def test_same_level_built_twice_gives_same_frames():
    first = play_to_end(build_workshop())
    second = play_to_end(build_workshop())
    assert first == second
    events = [json.loads(text)["meta"]["last_event"] for text in first]
    assert events == [
        spell_event("The Purifier", "abs", "squarer"),
        spell_event("Power Sorcerer", "power", "squarer"),
        spell_event("Plus Magician", "plus", "adder"),
        collapse_event("adder"),
        collapse_event("squarer"),
        spell_event("Plus Magician", "sum", "workshop"),
        spell_event("Equals Gate", "goal", "workshop"),
        spell_event("The Judge", "judge", "workshop"),
        END_EVENT,
        None,
        None,
    ]
