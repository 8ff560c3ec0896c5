"""The outcome of a level: the fast route and the route over parsed frames agree, and both
agree with the classifier the package had in Python before the engine took it over."""

import math
import random
import struct
from collections import Counter

import orv_engine
import pytest
from orv_engine import NEGATIVE, POSITIVE
from orv_test_support import two_room_level
from outcome_reference import reference_outcome, told

from orv import _native, load_sample
from orv.generating.levels import generate_level
from orv.playing.outcome import Outcome, classify_frames, exit_status, play_outcome
from orv.viewer.page import level_frames, played_level


def zone(name, charges=(), subs=()):
    env = orv_engine.Environment(name)
    for index, value in enumerate(charges):
        env.add_charge(value, POSITIVE, f"{name}{index}")
    for sub in subs:
        env.add_sub_environment(sub)
    return env


def two_closed_gates():
    top = zone("hall", [3])
    top.add_equals_gate("door", 4)
    top.add_inequality_gate("judge", 10, ">")
    return top


def gate_carried_away():
    inner = zone("cell")
    inner.add_equals_gate("lost", 5)
    return zone("top", subs=[zone("outer", [1], subs=[inner])])


def frozen_two_deep():
    middle = zone("middle", [1], subs=[zone("pile", [2, 3])])
    middle.add_plus_magician("plus")
    top = zone("top", subs=[middle])
    top.add_equals_gate("keep", 6)
    return top


def east_door():
    lock = orv_engine.Environment("lock")
    lock.add_charge(48, NEGATIVE, "debt")
    lock.add_plus_magician("adder")
    lock.add_minus_magician("taker")
    door = zone("east_door", subs=[lock])
    door.add_equals_gate("east_gate", 0)
    return zone("hall", [1], subs=[door])


def not_a_number():
    top = zone("top", [math.nan])
    top.add_equals_gate("nan_total", 1)
    top.add_inequality_gate("nan_target", math.nan, "<")
    return top


def empty():
    top = zone("top")
    top.add_inequality_gate("void", -1, ">")
    return top


def no_gates():
    top = zone("top", [2, 2])
    top.add_plus_magician("plus")
    return top


def infinite_factorial():
    # 200! is infinite; the frames write it null, which every tool reads as NaN.
    top = zone("top", [200])
    top.add_factorial_magician("bang")
    top.add_equals_gate("huge", 1)
    return top


def overflowing_total():
    top = zone("top", [1e308, 1e308])
    top.add_inequality_gate("cap", 0, "<")
    return top


def endless():
    top = zone("top", [1])
    for index in range(1001):
        top.add_abs_magician(f"abs{index}")
    top.add_equals_gate("never", 1)
    return top


LEVELS = {
    "solved": (two_room_level, Outcome.SOLVED, []),
    "wrong total": (two_closed_gates, Outcome.STUCK, [
        ("wrong_total", 'gate "door" in zone hall (== 4): total 3, needs == 4 (difference -1)'),
        ("wrong_total", 'gate "judge" in zone hall (> 10): total 3, needs > 10 '
                        '(difference -7)')]),
    "left the level": (gate_carried_away, Outcome.STUCK, [
        ("left_level", 'gate "lost" in zone cell (== 5): left the level when zone outer '
                       'collapsed at frame 1')]),
    "empty": (empty, Outcome.STUCK, [("empty", 'gate "void" in zone top (> -1): no charge')]),
    "not a number": (not_a_number, Outcome.STUCK, [
        ("not_a_number", 'gate "nan_total" in zone top (== 1): total NaN, target 1: NaN '
                         'meets no rule'),
        ("not_a_number", 'gate "nan_target" in zone top (< NaN): total NaN, target NaN: NaN '
                         'meets no rule')]),
    "frozen two deep": (frozen_two_deep, Outcome.STUCK, [
        ("frozen", 'gate "keep" in zone top (== 6): no charge, but the zone stayed frozen, '
                   'held by zone middle (Plus Magician "plus": needs 2 charges, has 1), then '
                   'zone pile (2 charges and no agent left to combine them)')]),
    "east door": (east_door, Outcome.STUCK, [
        ("frozen", 'gate "east_gate" in zone east_door (== 0): no charge, but the zone stayed '
                   'frozen, held by zone lock (Plus Magician "adder": needs 2 charges, has 1; '
                   'Minus Magician "taker": needs 2 charges, has 1)')]),
    "frozen vault": (lambda: load_sample("chronomancer_vault"), Outcome.STUCK, [
        ("frozen", 'gate "vault_door" in zone vault (== 2): total 2, but the zone stayed '
                   'frozen, held by zone timelock (Chronomancer "keeper": never casts)')]),
    "no gates": (no_gates, Outcome.ENDED, []),
    "infinite factorial": (infinite_factorial, Outcome.STUCK, [
        ("not_a_number", 'gate "huge" in zone top (== 1): total NaN, target 1: NaN meets no '
                         'rule')]),
    "overflowing total": (overflowing_total, Outcome.STUCK, [
        ("wrong_total", 'gate "cap" in zone top (< 0): total inf, needs < 0 (difference inf)')]),
    "out of steps": (endless, Outcome.OUT_OF_STEPS, [
        ("out_of_steps", 'gate "never" in zone top (== 1): total 1, but the steps ran out '
                         'before the gate was tried on it')]),
}


@pytest.mark.parametrize("build, outcome, closed", LEVELS.values(), ids=LEVELS.keys())
def test_playing_and_classifying_parsed_frames_agree_on_the_outcome_and_causes(build, outcome,
                                                                                closed):
    documents = level_frames(build())
    fast = play_outcome(build())
    assert fast.to_dict() == classify_frames(documents[0], documents[1:]).to_dict()
    assert fast.outcome == outcome
    assert [(gate.cause, gate.describe()) for gate in fast.closed_gates] == closed
    assert fast.exit_status == exit_status(outcome) == {"solved": 0, "ended": 0,
                                                        "out of steps": 1, "stuck": 3}[outcome]


def test_every_zone_that_still_holds_charges_is_in_the_final_charges():
    final = play_outcome(east_door()).final_charges
    assert [(zone.zone, zone.path, [charge["magnitude"] for charge in zone.charges])
            for zone in final] == [("hall", "", [1.0]), ("lock", "0.0", [48.0])]


COMPARED = {**{f"generated {index}": lambda index=index: generate_level(2026, index, index % 7)
               for index in range(300)},
            **{name: build for name, (build, _, _) in LEVELS.items()}}


def test_the_engine_classifies_runs_as_the_python_classifier_did():
    causes = Counter()
    for name, build in COMPARED.items():
        played = played_level(build())
        start, documents, records = played.documents[0], played.documents[1:], played.records[1:]
        expected = reference_outcome(start, documents, records)
        assert told(play_outcome(build())) == expected, name
        assert told(classify_frames(start, documents, records)) == expected, name
        # Without records the step of each frame is read from its event.
        assert told(classify_frames(start, documents)) == reference_outcome(
            start, documents, [None] * len(documents)), name
        causes.update(gate["cause"] for gate in expected[0]["closed_gates"])
    assert set(causes) == {"wrong_total", "frozen", "empty", "left_level", "not_a_number",
                           "out_of_steps"}, causes


def test_exact_numbers_are_written_as_python_writes_a_float():
    spread = random.Random(11)
    values = [struct.unpack("<d", spread.randbytes(8))[0] for _ in range(20000)]
    values += [spread.choice([1, -1]) * 10 ** spread.uniform(-330, 308) for _ in range(20000)]
    values += [10.0 ** power for power in range(-323, 309)] + [
        0.0, -0.0, 5e-324, 1e16, 9999999999999998.0, 1e-4, 9.999999999999999e-05, 0.1, 1 / 3]
    for value in values:
        assert _native.exact_number(value) == ("NaN" if math.isnan(value) else repr(value)
                                               if math.isfinite(value) else str(value)), value


@pytest.mark.parametrize("start, steps, last, message", [
    ("{", "[]", "{}", "the start is not JSON"),
    ('{"id": "top"}', "[]", "{}", "level"),
    (orv_engine.Environment("top").to_json(), "[3]", "{}", "step 0 is neither"),
    (orv_engine.Environment("top").to_json(), "[]", "{}", "no \"meta\" object"),
    (orv_engine.Environment("top").to_json(),
     '[{"step": "collapse", "frame": 1e300, "zone": {"id": "z"}, "agent": null}]', "{}",
     "step 0: a frame number must be a whole number from 0 to 2147483647, not 1e"),
    (orv_engine.Environment("top").to_json(), "[]",
     '{"meta": {"frame_index": -1, "status": "FINISHED", "message": ""}}',
     "the last frame: a frame number must be .* not -1$"),
])
def test_classifying_documents_that_are_not_a_run_is_refused(start, steps, last, message):
    with pytest.raises(ValueError, match=message):
        _native.classify(start, steps, last)


def test_a_run_has_no_outcome_before_its_first_frame():
    with pytest.raises(RuntimeError, match="before its first frame"):
        _native.RecordingSequencer(orv_engine.Environment("top").to_json()).outcome()
